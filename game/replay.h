// Replay: a recorded game played again through the game's own calls, tick by tick, with
// each input fed in before the tick it came before.
#pragma once

#include "recording/recording.h"

#include <string>

namespace Replay {

enum Step {
    REPLAYING,   // more to come
    FINISHED,    // the last tick and the inputs after it are in, and the game ended as recorded
    WENT_ASTRAY  // the game did not play as the recording says
};

// Whether this program can play the recording: its field size is one it plays. False with
// the reason otherwise.
bool playable(const Recording &recording, std::string *reason);
// Starts the recorded game on a field of the recording's size (a window must have that
// size): the game's own random stream from the recorded seed, then a new game at the
// recorded level. The recording must stay as it is until the replay ends.
void begin(const Recording &recording);
// Feeds the inputs of the next tick and runs the tick; after the last one, the inputs that
// came after it, and the check of the outcome. Only while REPLAYING.
Step step();
// The ticks replayed so far.
int ticks_done();
// Why the replay went astray: what the recording says and what the replay came to.
std::string astray_reason();

// The whole recording as fast as it goes: true with the final line ("Final score: N at
// level L"), or false with the reason it cannot be played or went astray.
bool run(const Recording &recording, std::string *final_line, std::string *reason);

} // namespace Replay
