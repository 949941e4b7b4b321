// Gtk3Gui internals shared by the window and cursor units of the GTK 3 back end.
#pragma once

#include "gui/gui.h"

#include <gtk/gtk.h>

// A picture in logical pixels: a client-side image, and a copy beside the canvas (in the X
// server on X11) with the pattern that copies it pixel for pixel (nearest neighbour) at any
// scale factor.
struct Image {
    int width;
    int height;
    GdkPixbuf *pixbuf;          // for the window icon
    cairo_surface_t *surface;   // ARGB, transparent where the file says "None"
    cairo_surface_t *copy;      // surface, where the canvas is
    cairo_pattern_t *pattern;   // over copy, nearest-neighbour filter
    unsigned long picture;      // on X11, copy's XRender picture (0 elsewhere)
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
