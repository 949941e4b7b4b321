// Counting allocator: the program's malloc family forwards to glibc's own after counting.
#include "bench/alloc_count.h"

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<long> count{0};
std::atomic<int> paused{0};

void counted()
{
    if (paused.load(std::memory_order_relaxed) == 0)
        count.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

// glibc's allocator under its internal names; defining malloc here replaces it for the
// whole program, and free, calloc and realloc go with it so that every block stays
// glibc's. aligned_alloc and posix_memalign are not replaced: glibc frees them alike.
extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *block, size_t size);
void __libc_free(void *block);

void *malloc(size_t size) noexcept
{
    counted();
    return __libc_malloc(size);
}

void *calloc(size_t n, size_t size) noexcept
{
    counted();
    return __libc_calloc(n, size);
}

void *realloc(void *block, size_t size) noexcept
{
    counted();
    return __libc_realloc(block, size);
}

void free(void *block) noexcept { __libc_free(block); }
}

namespace AllocCount {

long allocations() { return count.load(std::memory_order_relaxed); }

NotCounted::NotCounted() { paused.fetch_add(1, std::memory_order_relaxed); }
NotCounted::~NotCounted() { paused.fetch_sub(1, std::memory_order_relaxed); }

} // namespace AllocCount
