// Test hooks of the Game module: only the module that defines them and the tests include this header.
#pragma once

#include "game/game.h"

namespace Game {

// Back to the state of a fresh process; a distro still held is freed.
void reset_for_tests();
void set_score_for_tests(int score);
void set_ticks_for_tests(int ticks, int efficiency);

} // namespace Game
