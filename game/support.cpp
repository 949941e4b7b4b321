// fatal and xalloc.
#include "game/support.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

void fatal(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fputc('\n', stderr);
    exit(1);
}

void *xalloc(int size)
{
    void *block = malloc(size > 0 ? static_cast<size_t>(size) : 1);
    if (!block)
        fatal("out of memory");
    return block;
}
