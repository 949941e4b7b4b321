// The back-end registry of the GTK 2 program: the GTK 2 back end (also answering to "gtk2"),
// then the end row.
#include "gui/gui.h"
#include "gui/gtk/gtk_gui.h"

const GuiBackend gui_backends[] = {
    {"gtk", GtkGui::install},
    {"gtk2", GtkGui::install},
    {nullptr, nullptr},
};
