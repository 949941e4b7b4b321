// The back-end registry of the GTK 2 program: the GTK 2 back end (also answering to "gtk2"),
// then the end row.
#include "gui/gtk_common/shared.h"

const GuiBackend gui_backends[] = {
    {"gtk", GtkShared::install},
    {"gtk2", GtkShared::install},
    {nullptr, nullptr},
};
