// Headless: a back end without a display, for replaying recorded games as fast as they go.
// It draws nothing, shows no dialog and has no timer; its pictures have the sizes of the
// picture files (which the play field's rules depend on).
#pragma once

#include "gui/gui.h"

namespace Headless {

// The table; Gui::open_table installs it.
const GuiMethods *methods();

} // namespace Headless
