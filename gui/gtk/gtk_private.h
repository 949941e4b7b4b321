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

// A cursor, made again at another factor of the field from its bitmap.
struct PointerCursor {
    GdkCursor *cursor;
    const char *name;   // its bitmap's
    int self_masked;
};

namespace GtkGui {

// What the cursor unit needs from the main window; valid once it is shown.
GdkWindow *canvas_window();
const GdkColor *cursor_foreground();   // black
const GdkColor *cursor_background();   // white
// The cursor the canvas shows.
extern PointerCursor *shown_cursor;
// Every cursor made again with each pixel a factor x factor block, as the field's.
void enlarge_cursors(int factor);

} // namespace GtkGui
