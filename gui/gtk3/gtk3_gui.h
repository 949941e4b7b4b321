// Gtk3Gui: the GTK 3 back end behind the GuiMethods table (X11 and Wayland, HiDPI aware).
#pragma once

#include "gui/gui.h"

namespace Gtk3Gui {

// Stores the back end's table through out; the registry row "gtk3" names it.
void install(const GuiMethods **out);

} // namespace Gtk3Gui
