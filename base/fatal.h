// The fatal exit, for every module and back end: the one way a program that cannot go on ends.
#pragma once

// Prints the message and a newline to standard error and ends the process with status 1.
[[noreturn]] void fatal(const char *format, ...) __attribute__((format(printf, 1, 2)));
