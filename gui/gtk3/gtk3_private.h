// Gtk3Gui internals shared by the window and cursor units of the GTK 3 back end.
#pragma once

#include "gui/gui.h"

#include <gtk/gtk.h>

// A picture as a client-side image in logical pixels, with the pattern that copies it
// pixel for pixel (nearest neighbour) at any scale factor.
struct Image {
    int width;
    int height;
    GdkPixbuf *pixbuf;          // for the window icon
    cairo_surface_t *surface;   // ARGB, transparent where the file says "None"
    cairo_pattern_t *pattern;   // over surface, nearest-neighbour filter
};

struct PointerCursor {
    GdkCursor *cursor;
};

namespace Gtk3Gui {

// Cursors (cursors.cpp).
void load_cursor(const char *name, int self_masked, PointerCursor **out);

// The display and the scale factor cursors are made for; valid once the window is shown.
GdkDisplay *display();
int scale_factor();

} // namespace Gtk3Gui
