// Test hooks of the Swarm: only the module that defines them and the tests include this header.
#pragma once

#include "field/swarm.h"

namespace Swarm {

// Frees every record and zeroes the counters.
void reset_for_tests();

} // namespace Swarm
