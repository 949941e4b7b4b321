// Random: the play field's draws. They are the standard library's rand() until a game is
// given a stream of its own, which the same seed makes the same on every platform and
// which nothing else in the process can draw from or reseed.
#pragma once

namespace Random {

// The next draw: rand(), or the next number of the game's own stream once one is seeded.
int draw();
// From now on draws come from a stream of the game's own, the numbers that glibc's rand()
// gives after srand(seed): the program seeds one for every game it records or replays.
// The process's shared generator is left alone, and libraries that draw from it or
// reseed it (graphics and audio libraries do, some on threads of their own) cannot
// change the game.
void seed(unsigned seed);
// Back to the standard library's rand() (a fresh process; the tests).
void use_standard();
// Whether the draws come from the game's own stream.
bool seeded();

} // namespace Random
