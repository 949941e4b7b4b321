// A recording sound player for in-process tests: what the game asked to hear, in order.
#pragma once

#include "sound/sound.h"

#include <string>
#include <vector>

namespace FakeSound {

// The calls so far, one line each: "set_on 1", "play whack".
std::vector<std::string> &calls();
// Only the names of the effects played, in order.
std::vector<std::string> played();
// Installs the fake as the game's player with nothing recorded.
void install();

} // namespace FakeSound
