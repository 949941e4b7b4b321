// Helpers every module uses: the fatal exit, the checked allocation and whole numbers.
#pragma once

#include "base/fatal.h"

// malloc that never returns null: a failed allocation is fatal ("out of memory").
// A size below 1 allocates one byte, so the result is always a block the caller frees.
void *xalloc(int size);

// A whole base-10 number as strtol reads it (leading blanks and a sign allowed) that fits
// an int; false for trailing text, no digits at all, or a value out of range.
bool parse_int(const char *text, int *out);

// v clamped to the int range: sums and far-off positions saturate instead of overflowing.
int saturate(long long v);
