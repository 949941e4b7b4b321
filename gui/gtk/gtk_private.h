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

// Window, canvas and timer (gtk_gui.cpp).
void set_cursor(PointerCursor *cursor);
void load_image(const char *name, int flag, Image **out);
void set_icon(Image *image);
int image_width(Image *image);
int image_height(Image *image);
void prepare_canvas();
void clear_canvas();
void present_canvas();
void draw_image(Image *image, int x, int y);
void draw_line(int x1, int y1, int x2, int y2);
void draw_text(const char *text, int x, int y);
void open(int *argc, char **argv);
void build_main_window(int size);
void show_paused(int paused);

// Cursors (cursors.cpp).
void load_cursor(const char *name, int self_masked, PointerCursor **out);

// What the cursor unit needs from the main window; valid once it is shown.
GdkWindow *canvas_window();
const GdkColor *cursor_foreground();   // black
const GdkColor *cursor_background();   // white

} // namespace GtkGui
