// Counts the heap allocations of the benchmark program, to show what a frame allocates.
#pragma once

namespace AllocCount {

// Calls of malloc, calloc and realloc (operator new goes through malloc) since the start.
long allocations();

} // namespace AllocCount
