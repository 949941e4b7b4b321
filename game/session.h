// Session: what the player's actions and the timer do, for the Gui front to call. A game
// played is recorded (game/recorder.h); a recording can be watched instead (game/watch.h):
// from the command line, from the High Scores dialog, or on the title screen when the
// player leaves the game alone (the player's best game, or the demo that ships with it).
#pragma once

#include "gui/gui.h"

#include <string>

namespace Session {

// The game's calls, for Gui::set_game.
const GameCalls *calls();
// glimpwatch --replay FILE: reads the recording before the window opens; a file that is no
// recording this program plays ends the program with one line naming it and the reason.
// Returns the recording's field size.
int read_for_watching(const char *path);
// Then, once the window is up, starts watching it.
void watch_what_was_read();
// The High Scores dialog offers the player's own entries that have a recording of this
// field's size.
void refresh_table_choices();

} // namespace Session
