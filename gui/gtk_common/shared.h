// GtkShared: the parts of the user interface the GTK 2 and GTK 3 back ends share. The
// calls used here mean the same in both toolkits, so this code is compiled into whichever
// program is built; what differs lives in gui/gtk/ and gui/gtk3/ behind GtkToolkit.
#pragma once

#include "gui/gui.h"

#include <gtk/gtk.h>

#include <string>
#include <vector>

namespace GtkShared {

// Titles the top-level window and makes its close request quit the game.
void connect_main_window(GtkWidget *toplevel);
// The menu bar with its "Game" and "Info" menus and their shortcuts (the Game menu ends
// with the Sound entry), added to the window.
GtkWidget *menu_bar(GtkWidget *toplevel);
// Menu slots.
void enable_pause_item(int enabled);
void check_sound_item(int on);
// Hands the canvas's button presses, releases and crossings up to the game.
void connect_canvas(GtkWidget *canvas);

// Timer slots.
void start_timer(int period_ms);
void stop_timer();
int timer_running();

// Dialog slots (gui/gtk_common/dialogs.cpp).
void build_dialogs(Image *logo, Image *icon, Image *about);
void show_dialog(int id);
void set_dialog_text(int id, const char *text);

// Fills the slots that both GTK back ends serve with the code above.
constexpr void fill_shared_slots(GuiMethods &m)
{
    m.start_timer = start_timer;
    m.stop_timer = stop_timer;
    m.timer_running = timer_running;
    m.show_dialog = show_dialog;
    m.build_dialogs = build_dialogs;
    m.enable_pause_item = enable_pause_item;
    m.set_dialog_text = set_dialog_text;
    m.check_sound_item = check_sound_item;
    m.run_event_loop = gtk_main;
}

// <data dir>/pixmaps/<name>.xpm
std::string picture_path(const char *name);
// The picture file at path as the toolkit's pixels, read and checked with XpmData first; a
// new reference, or null when the file is not a whole picture.
GdkPixbuf *read_picture(const std::string &path);
// Makes the "icon" picture every window's default icon, before any window exists: a window
// manager that reads the icon only when a window is first shown has it then. Without a
// readable icon picture the windows simply come up without one; loading "icon" later says
// what is wrong with it.
void set_default_icon();
// Whether the picture has the pixels of the default icon (false when there is none).
bool is_default_icon(GdkPixbuf *picture);

// Paints the paused view over a size x size frame (logical pixels): the frame dimmed, and
// across its middle a dark band with the line that says why nothing moves.
void paint_paused_view(cairo_t *cr, int size);

} // namespace GtkShared

// What each GTK back end provides to the shared parts.
namespace GtkToolkit {

GtkWidget *main_window();
// A new widget showing the picture.
GtkWidget *picture(Image *image);
// Shows the dialog centred over the main window (see show_dialog in gui/README).
void show_centred(GtkWidget *dialog);

} // namespace GtkToolkit
