// Gtk3Gui internals shared by the window, cursor and painter units of the GTK 3 back end.
#pragma once

#include "gui/gui.h"
#include "gui/painter.h"

#include <gtk/gtk.h>

// A picture in logical pixels: a client-side image, and a copy where the canvas is (in the X
// server on X11), enlarged pixel for pixel to the canvas's scale factor.
struct Image {
    int width;
    int height;
    GdkPixbuf *pixbuf;          // for the window icon
    cairo_surface_t *surface;   // ARGB, transparent where the file says "None"
    cairo_surface_t *copy;      // surface at the scale factor, made like the canvas
    cairo_pattern_t *pattern;   // over copy, nearest-neighbour filter
    unsigned long picture;      // the X11 painter's XRender picture of copy; 0 elsewhere
};

// A cursor, made again at another factor of the field from its bitmap.
struct PointerCursor {
    GdkCursor *cursor;
    const char *name;   // its bitmap's
    int self_masked;
};

// A GTK 3 painter: the drawing layer's table and what the back end asks of it besides.
struct Gtk3Painter {
    Painter painter;
    // Whether it can draw the first frames on the window, before the canvas is made.
    bool window_first;
    // The picture's copy is new (loaded, or made again at a new scale factor): what the
    // painter draws it from is made; release frees that before the copy goes.
    void (*adopt)(Image *image);
    void (*release)(Image *image);
    // The canvas surface was made anew at a new scale factor (Gtk3Gui::canvas_surface).
    void (*canvas_remade)();
};

// The painters, one chosen when the canvas is prepared: XRender pictures and the X server's
// lines on X11 (null when the display is not X11 or has no XRender), cairo everywhere else.
namespace X11Painter {
const Gtk3Painter *start(GdkDisplay *display);
// Copies the rectangles from the canvas, an X pixmap, to the window inside the X server.
void copy_canvas(const Damage::Box *rects, int count);
}
// On an X server without XRender the cairo painter's canvas is still an X pixmap, and
// GTK 3 itself cannot paint there: the changed rectangles are then copied by the X server.
namespace CairoPainter {
const Gtk3Painter *start(bool copied_by_x_server);
}

namespace Gtk3Gui {

// Cursors (cursors.cpp), as large as the field's pixels.
GdkDisplay *display();
int scale_factor();
extern PointerCursor *shown_cursor;   // the one the canvas shows
void enlarge_cursors(int factor);

// What the painters share with the window unit.
GtkWidget *canvas_widget();
int canvas_size();                  // logical pixels
int canvas_scale();                 // device pixels per logical pixel
// Makes the canvas surface (gdk_window_create_similar_surface) at canvas_scale, or anew at
// a new one; the painters draw on it.
void make_canvas_surface();
cairo_surface_t *canvas_surface();  // null until made
// The X window the canvas is shown in, and the canvas's place in it in logical pixels.
GdkWindow *native_window(int *ox, int *oy);
void set_line_style(cairo_t *cr);

// The status line: the text laid out in its font, with the box of every pixel it colours
// relative to its baseline's left end (logical pixels)...
Damage::Box lay_out_text(const char *text, int length);
// ...a surface for it, made like `like` at its scale factor and kept while the text's size
// and the scale factor stay (true when t.surface is new)...
struct TextSurface {
    cairo_surface_t *surface;
    int width, height;
    double scale;
};
bool fit_text_surface(TextSurface &t, cairo_surface_t *like, const Damage::Box &box);
// ...and the laid-out text drawn on it, on a clear background.
void draw_laid_out_text(cairo_surface_t *surface, const Damage::Box &box);

[[noreturn]] void field_too_large();

} // namespace Gtk3Gui
