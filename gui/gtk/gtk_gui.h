// GtkGui: the GTK 2 back end behind the GuiMethods table.
#pragma once

#include "gui/gui.h"

namespace GtkGui {

// Stores the back end's table through out; the registry row "gtk" names it.
void install(const GuiMethods **out);

} // namespace GtkGui
