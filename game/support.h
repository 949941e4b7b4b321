// Helpers every module uses: the fatal exit and the checked allocation.
#pragma once

// Prints the message and a newline to standard error and ends the process with status 1.
[[noreturn]] void fatal(const char *format, ...) __attribute__((format(printf, 1, 2)));

// malloc that never returns null: a failed allocation is fatal ("out of memory").
// A size below 1 allocates one byte, so the result is always a block the caller frees.
void *xalloc(int size);
