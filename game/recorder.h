// Recorder: every game played is recorded, from its start to its end (lost, left for a new
// game, or quit), and saved among the player's recordings. The calls below are the
// player's actions and the ticks of a game played, each passed on to the game.
#pragma once

#include <string>

namespace Recorder {

// A new game at the level (New Game, a warp from outside play, -l): a game still recorded
// is saved as left for a new one, and the new one gets a random stream of its own.
void start(int level);
// Warp: during play a recorded input, from anywhere else a new game (as Game::warp_to_level).
void warp_to_level(int level);
// One tick of the game; a game lost in it is saved at once.
void tick();
void button_press(int x, int y);
void button_release(int x, int y);
// The pointer leaving or entering the field, the Pause entry: INPUT_LEAVE, INPUT_ENTER,
// INPUT_PAUSE.
void note(int input);
// The name entered for the table after a game: the game's recording keeps it, so that the
// table's entry can be matched with it.
void add_high_score(const char *name);
// Saves a game still recorded as quit.
void quit();
// Saves a game still recorded as left for something else (watching a recording).
void leave();
// Whether a game is being recorded.
bool recording();
// The file the last game was saved to; empty when none was.
const std::string &last_saved();

} // namespace Recorder
