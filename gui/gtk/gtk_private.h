// GtkGui internals shared by the window and cursor units of the GTK 2 back end.
#pragma once

#include "gui/gui.h"

#include <gtk/gtk.h>

// A picture as a server-side pixmap, with the GC that copies it through its mask.
struct Image {
    int width;
    int height;
    GdkPixmap *pixmap;
    GdkBitmap *mask;   // null when the file has no transparent pixels
    GdkGC *gc;         // clip mask = mask, graphics exposures off
};

struct PointerCursor {
    GdkCursor *cursor;
};

namespace GtkGui {

// What the cursor unit needs from the main window; valid once it is shown.
GdkWindow *canvas_window();
const GdkColor *cursor_foreground();   // black
const GdkColor *cursor_background();   // white

} // namespace GtkGui
