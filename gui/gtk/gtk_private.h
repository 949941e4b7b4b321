// GtkGui internals shared by the window, cursor and dialog units of the GTK back end.
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
void start_timer(int period_ms);
void stop_timer();
int timer_running();
void run_event_loop();
void open(int *argc, char **argv);
void build_main_window(int size);
void enable_pause_item(int enabled);
void check_sound_item(int on);
void show_paused(int paused);

// Cursors (cursors.cpp).
void load_cursor(const char *name, int self_masked, PointerCursor **out);

// Dialogs (dialogs.cpp).
void build_dialogs(Image *logo, Image *icon, Image *about);
void show_dialog(int id);
void set_dialog_text(int id, const char *text);

// What the cursor and dialog units need from the main window; valid once it is shown.
GtkWidget *main_window();
GdkWindow *canvas_window();
const GdkColor *cursor_foreground();   // black
const GdkColor *cursor_background();   // white

} // namespace GtkGui
