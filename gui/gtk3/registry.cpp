// The back-end registry of the GTK 3 program: the GTK 3 back end (also answering to "gtk",
// the name the GTK 2 program uses), then the end row.
#include "gui/gui.h"
#include "gui/gtk3/gtk3_gui.h"

const GuiBackend gui_backends[] = {
    {"gtk3", Gtk3Gui::install},
    {"gtk", Gtk3Gui::install},
    {nullptr, nullptr},
};
