// Counts the heap allocations of the benchmark program, to show what a frame allocates.
#pragma once

namespace AllocCount {

// Calls of malloc, calloc and realloc (operator new goes through malloc) since the start.
long allocations();

// While one lives, allocations are not counted: what the null back end's font allocates is
// the toolkit's, not the game's.
class NotCounted {
public:
    NotCounted();
    ~NotCounted();
    NotCounted(const NotCounted &) = delete;
    NotCounted &operator=(const NotCounted &) = delete;
};

} // namespace AllocCount
