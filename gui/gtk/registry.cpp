// The back-end registry of the program: the GTK back end, then the end row.
#include "gui/gui.h"
#include "gui/gtk/gtk_gui.h"

const GuiBackend gui_backends[] = {
    {"gtk", GtkGui::install},
    {nullptr, nullptr},
};
