// Watch: a recorded game played again in the window at its pace, or faster. Space pauses,
// + and - change the speed (1x, 2x, 4x, 8x), Escape ends. The game's own dialogs come up as
// they did, but never the name entry or the table, so the high-score table is never touched.
#pragma once

#include "recording/recording.h"

#include <string>

namespace Watch {

enum Mode {
    COMMAND_LINE, // glimpwatch --replay FILE: the program ends with the recording
    ATTRACT,      // on the title screen, silently, until any input
    FROM_TABLE    // picked in the High Scores dialog: back to the title at the end
};

// Starts watching the recording (of the window's field size), read from `source` (named in
// messages). Any game in play must have been left first.
void begin(const Recording &recording, int mode, const std::string &source);
bool active();
int mode();
// A timer expiry: the next tick of the recording.
void tick();
// A Key while watching: whether it was taken. In ATTRACT mode every key ends the watch.
int key(int key);
// A click or the pointer crossing the field: ends ATTRACT mode, changes nothing else.
void input();
// A dialog of the menu came up (held) or went: the recording waits meanwhile.
void hold(bool held);
// Ends watching for the title screen, wherever the recording is.
void stop();

} // namespace Watch
