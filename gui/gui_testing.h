// Test hooks of the Gui front: only the module that defines them and the tests include this header.
#pragma once

#include "gui/gui.h"

namespace Gui {

// Forgets the installed back end, the texts and the pointer flag, so a test can open a fresh one.
void reset_for_tests();

} // namespace Gui
