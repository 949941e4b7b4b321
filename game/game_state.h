// The game's state, for the modules that only ask which one holds (the Gui front's paused view).
#pragma once

enum { PLAYING = 1, BETWEEN_LEVELS = 2, GAME_OVER = 3, WAITING = 4 };

namespace Game {

int state();

} // namespace Game
