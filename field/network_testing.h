// Test hooks of the network and the sparks: only the module that defines them and the tests include this header.
#pragma once

#include "field/network.h"

namespace Network {

// Installs a hand-made network: computers as given, counters from their distros, no wires.
void set_for_tests(const Computer *computers, int count);
// Adds a wire between two computers.
void add_wire_for_tests(int from, int to);
// No computers, no wires, counters at 0.
void reset_for_tests();

} // namespace Network

namespace Spark {

// Sets the spark size without pictures.
void set_size_for_tests(int w, int h);

} // namespace Spark
