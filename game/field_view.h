// What the play field reads of the game: the level, the field's size and its scale.
#pragma once

namespace Game {

int level();
int screen_size();
// (screen_size / 400) to the power n; 1.0 for n <= 0.
double scale(int n);

} // namespace Game
