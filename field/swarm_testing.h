// Test hooks of the Swarm; the game itself never includes this header.
#pragma once

#include "field/swarm.h"

namespace Swarm {

// Frees every record and zeroes the counters.
void reset_for_tests();

} // namespace Swarm
