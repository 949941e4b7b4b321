// The back-end registry of the GTK 3 program: the GTK 3 back end (also answering to "gtk",
// the name the GTK 2 program uses), then the end row.
#include "gui/gtk_common/shared.h"

const GuiBackend gui_backends[] = {
    {"gtk3", GtkShared::install},
    {"gtk", GtkShared::install},
    {nullptr, nullptr},
};
