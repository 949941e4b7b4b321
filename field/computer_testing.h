// Test hooks of the computers and distros: only the module that defines them and the tests include this header.
#pragma once

#include "field/computer.h"

namespace ComputerTesting {

// Sets the computer size without pictures.
void set_size(int w, int h);
// Nonzero: placement compares a candidate with every placed computer in turn, the plain
// reference that the placement index must agree with.
void set_plain_scan(int on);

} // namespace ComputerTesting

namespace Distro {

// Sets the distro size without pictures.
void set_size_for_tests(int w, int h);

} // namespace Distro
