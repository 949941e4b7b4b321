// fatal, xalloc and the whole-number helpers.
#include "base/support.h"

#include <cerrno>
#include <climits>
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

bool parse_int(const char *text, int *out)
{
    errno = 0;
    char *end = nullptr;
    long value = strtol(text, &end, 10);
    if (*end != '\0' || errno == ERANGE || value < INT_MIN || value > INT_MAX)
        return false;
    *out = static_cast<int>(value);
    return true;
}

int saturate(long long v)
{
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}
