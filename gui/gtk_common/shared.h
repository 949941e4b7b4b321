// GtkShared: the parts of the user interface the GTK 2 and GTK 3 back ends share. The
// calls used here mean the same in both toolkits, so this code is compiled into whichever
// program is built; what differs lives in gui/gtk/ and gui/gtk3/ behind GtkToolkit.
#pragma once

#include "gui/gui.h"
#include "gui/view.h"

#include <gtk/gtk.h>

#include <string>
#include <vector>

namespace GtkShared {

// The back end's table, for the registry: the slots below, the toolkit's own (GtkToolkit)
// and the drawing layer's.
void install(const GuiMethods **out);

// Slot open: the toolkit started with the command line, the default icon, and the main
// window, titled, whose close request quits the game and whose keys go to the front; and
// the wait for the player to be idle (Gui::player_idle).
void open(int *argc, char **argv);
// The player did something (a key, a click, the pointer moving, a dialog closed): the
// wait for the player to be idle starts again.
void player_acted();
GtkWidget *main_window();
// Fills the main window: the menu bar with its "Game" and "Info" menus and their shortcuts
// (the Game menu ends with the Sound entry), and below it the canvas, size x size, whose
// presses, releases and crossings go to the Gui front. Returns the canvas.
GtkWidget *fill_main_window(int size);
// Tells the front where the pointer is (Gui::pointer_found), where no crossing says it: at
// start-up, and soon after a dialog goes (the keyboard may have chosen and confirmed it,
// the pointer far away on the menu bar or beyond the window). Nothing on a display without
// a pointer.
void report_pointer_place();
void report_pointer_place_soon();
// The field's place in the canvas: its factor and top-left corner (View). A back end that
// cannot show the field larger than some factor says so before the window is shown.
const View::Place &field_place();
void limit_factor(int most);
// The window, whose contents ask for width x height with the field at 1x, is given the
// factor and full screen the player chose last time.
void show_remembered_view(int width, int height);
// Menu slots.
void enable_pause_item(int enabled);
void check_sound_item(int on, const char *unavailable);

// Timer slots.
void start_timer(int period_ms);
void stop_timer();
int timer_running();

// Dialog slots (gui/gtk_common/dialogs.cpp).
void build_dialogs(Image *logo, Image *icon, Image *about);
void show_dialog(int id);
void set_dialog_text(int id, const char *text);
// Whether a dialog is up and waited for.
bool dialog_waiting();

// The drawing layer makes the canvas once the program is first idle (see Drawing::prepare).
void make_canvas_when_idle();

// Where a dialog of dw x dh goes, centred over the main window's w x h at (ox, oy), moved
// back onto the screen's area if it would reach past an edge.
GdkRectangle centred_place(int ox, int oy, int w, int h, int dw, int dh, const GdkRectangle &screen);
// The desktop's work area on the main window's monitor: the monitor less its panels.
GdkRectangle work_area();
// The room a dialog's window has: the work area less its frame (taken to be like the main
// window's). A dialog taller than this scrolls; placed, it stays inside.
GdkRectangle room_for_dialogs();

// The picture file at path as the toolkit's pixels, read and checked with XpmData first; a
// new reference, or null when the file is not a whole picture, with the reason when asked.
GdkPixbuf *read_picture(const std::string &path, std::string *reason = nullptr);
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

// What each GTK back end provides to the shared parts: the slots that differ between the
// toolkits (see gui/README), a widget for a picture and the placing of a dialog.
namespace GtkToolkit {

void set_cursor(PointerCursor *cursor);
void load_cursor(const char *name, int self_masked, PointerCursor **out);
void load_image(const char *name, int flag, Image **out);
void set_icon(Image *image);
int image_width(Image *image);
int image_height(Image *image);
void prepare_canvas();
void build_main_window(int size);
// The field's place in the canvas changed from `before` (GtkShared::field_place is the new).
void place_changed(const View::Place &before);

// A new widget showing the picture.
GtkWidget *picture(Image *image);
// Shows the dialog centred over the main window (see show_dialog in gui/README).
void show_centred(GtkWidget *dialog);

} // namespace GtkToolkit
