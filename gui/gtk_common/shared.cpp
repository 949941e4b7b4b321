// GtkShared: window, menus, canvas events, timer and picture files of both GTK back ends.
#include "gui/gtk_common/shared.h"

#include "base/data_dir.h"
#include "base/support.h"
#include "game/game.h"
#include "gui/title.h"
#include "gui/xpm_data.h"
#include "sound/sound.h"

#include <gdk/gdkkeysyms.h>

#include <cstring>

namespace {
guint timer_id = 0;              // 0 while no timer runs
GtkWidget *pause_item = nullptr; // null until the main window is built
GtkWidget *sound_item = nullptr; // the same
GdkPixbuf *default_icon = nullptr; // every window's icon, when its picture could be read
} // namespace

namespace {

// The pause key is a bare P: dialogs are windows of their own, so typing a P into a
// dialog's entry never reaches the main window's shortcuts.
struct MenuShortcut {
    int id;
    guint key;
    GdkModifierType modifiers;
};

const MenuShortcut MENU_SHORTCUTS[] = {
    {DIALOG_NEW_GAME, GDK_KEY_n, GDK_CONTROL_MASK},
    {DIALOG_PAUSE, GDK_KEY_p, GdkModifierType(0)},
    {DIALOG_WARP, GDK_KEY_w, GDK_CONTROL_MASK},
    {DIALOG_HIGH_SCORES, GDK_KEY_h, GDK_CONTROL_MASK},
    {DIALOG_QUIT, GDK_KEY_q, GDK_CONTROL_MASK},
    {DIALOG_RULES, GDK_KEY_F1, GdkModifierType(0)},
};

// The Sound entry's key, bare like the pause key: it only turns sound on or off.
constexpr guint SOUND_KEY = GDK_KEY_s;

gboolean on_window_delete(GtkWidget *, GdkEvent *, gpointer)
{
    Game::quit();
}

// A shortcut key, or a menu opened from the keyboard, never takes the pointer off the
// canvas, and a game may be running while the pointer is elsewhere (one started from the
// keyboard or the command line). So an entry pauses a running game itself, as the pointer
// leaving would; the pointer coming back to the canvas resumes it. After a real leave
// this second one changes nothing.
void on_menu_entry(gpointer id, GtkMenuItem *)
{
    Gui::pointer_left();
    GtkShared::show_dialog(GPOINTER_TO_INT(id));
}

// The Sound entry was toggled by the player (mouse or key): the game turns sound on or
// off and remembers it. No dialog, so nothing to pause.
void on_sound_toggled(GtkCheckMenuItem *item, gpointer)
{
    Sound::choose(gtk_check_menu_item_get_active(item) ? 1 : 0);
}

// Coordinates arrive as doubles relative to the canvas, in its own (logical) pixels; the
// display keeps them within 16 bits, so the truncation to int is always defined.
gboolean on_button_press(GtkWidget *, GdkEventButton *event, gpointer)
{
    Game::button_press(static_cast<int>(event->x), static_cast<int>(event->y));
    return FALSE;
}

gboolean on_button_release(GtkWidget *, GdkEventButton *event, gpointer)
{
    Game::button_release(static_cast<int>(event->x), static_cast<int>(event->y));
    return FALSE;
}

// Crossings caused by a menu or a modal dialog taking the pointer count like any other:
// that is what pauses the game while a dialog is up.
gboolean on_pointer_enter(GtkWidget *, GdkEventCrossing *, gpointer)
{
    Gui::pointer_entered();
    return FALSE;
}

gboolean on_pointer_leave(GtkWidget *, GdkEventCrossing *, gpointer)
{
    Gui::pointer_left();
    return FALSE;
}

gboolean on_tick(gpointer)
{
    Game::tick();
    return TRUE;
}

// One menu of the bar: a tear-off item, then one entry per dialog id from first to last.
GtkWidget *add_menu(GtkWidget *bar, GtkAccelGroup *accels, const char *title, int first, int last)
{
    GtkWidget *title_item = gtk_menu_item_new_with_label(title);
    GtkWidget *menu = gtk_menu_new();
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_tearoff_menu_item_new());
    for (int id = first; id <= last; id++) {
        GtkWidget *item = gtk_menu_item_new_with_label(Gui::menu_label(id));
        g_signal_connect_swapped(item, "activate", G_CALLBACK(on_menu_entry), GINT_TO_POINTER(id));
        for (const MenuShortcut &shortcut : MENU_SHORTCUTS)
            if (shortcut.id == id)
                gtk_widget_add_accelerator(item, "activate", accels, shortcut.key, shortcut.modifiers,
                                           GTK_ACCEL_VISIBLE);
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
        if (id == DIALOG_PAUSE)
            pause_item = item;
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(bar), title_item);
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(title_item), menu);
    return menu;
}

// The Sound check entry, below a separator after the dialog entries of the Game menu.
void add_sound_item(GtkWidget *menu, GtkAccelGroup *accels)
{
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
    sound_item = gtk_check_menu_item_new_with_label(Gui::SOUND_ITEM_LABEL);
    g_signal_connect(sound_item, "toggled", G_CALLBACK(on_sound_toggled), nullptr);
    gtk_widget_add_accelerator(sound_item, "activate", accels, SOUND_KEY, GdkModifierType(0),
                               GTK_ACCEL_VISIBLE);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), sound_item);
}
} // namespace

namespace GtkShared {

void connect_main_window(GtkWidget *toplevel)
{
    gtk_window_set_title(GTK_WINDOW(toplevel), Gui::MAIN_TITLE);
    g_signal_connect(toplevel, "delete-event", G_CALLBACK(on_window_delete), nullptr);
}

GtkWidget *menu_bar(GtkWidget *toplevel)
{
    GtkAccelGroup *accels = gtk_accel_group_new();
    gtk_window_add_accel_group(GTK_WINDOW(toplevel), accels);
    GtkWidget *bar = gtk_menu_bar_new();
    add_sound_item(add_menu(bar, accels, "Game", DIALOG_NEW_GAME, DIALOG_QUIT), accels);
    add_menu(bar, accels, "Info", DIALOG_STORY, DIALOG_ABOUT);
    return bar;
}

void enable_pause_item(int enabled)
{
    if (pause_item)
        gtk_widget_set_sensitive(pause_item, enabled);
}

void check_sound_item(int on)
{
    if (!sound_item)
        return;
    // Only shown: the game already knows, so the toggle is not reported back.
    g_signal_handlers_block_by_func(sound_item, reinterpret_cast<gpointer>(on_sound_toggled), nullptr);
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(sound_item), on ? TRUE : FALSE);
    g_signal_handlers_unblock_by_func(sound_item, reinterpret_cast<gpointer>(on_sound_toggled), nullptr);
}

void connect_canvas(GtkWidget *canvas)
{
    g_signal_connect(canvas, "button-press-event", G_CALLBACK(on_button_press), nullptr);
    g_signal_connect(canvas, "button-release-event", G_CALLBACK(on_button_release), nullptr);
    g_signal_connect(canvas, "enter-notify-event", G_CALLBACK(on_pointer_enter), nullptr);
    g_signal_connect(canvas, "leave-notify-event", G_CALLBACK(on_pointer_leave), nullptr);
    gtk_widget_add_events(canvas, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                      GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK);
}

void start_timer(int period_ms)
{
    // A running timer keeps its period: repeated starts never add a second one.
    if (timer_id == 0)
        timer_id = g_timeout_add(static_cast<guint>(period_ms), on_tick, nullptr);
}

void stop_timer()
{
    if (timer_id != 0)
        g_source_remove(timer_id);
    timer_id = 0;
}

int timer_running() { return timer_id != 0; }

std::string picture_path(const char *name) { return std::string(DataDir::path()) + "/pixmaps/" + name + ".xpm"; }

GdkPixbuf *read_picture(const std::string &path)
{
    // The decoder gets only what was read and checked: it never opens a FIFO or a device,
    // nor reads past a row.
    std::vector<std::string> strings;
    if (!XpmData::load(path.c_str(), strings))
        return nullptr;
    std::vector<const char *> data;
    for (const std::string &s : strings)
        data.push_back(s.c_str());
    return gdk_pixbuf_new_from_xpm_data(data.data());
}

void set_default_icon()
{
    GdkPixbuf *icon = read_picture(picture_path("icon"));
    if (!icon)
        return;
    gtk_window_set_default_icon(icon);
    default_icon = icon; // our reference, kept for is_default_icon
}

bool is_default_icon(GdkPixbuf *picture)
{
    if (!default_icon || gdk_pixbuf_get_width(picture) != gdk_pixbuf_get_width(default_icon) ||
        gdk_pixbuf_get_height(picture) != gdk_pixbuf_get_height(default_icon) ||
        gdk_pixbuf_get_n_channels(picture) != gdk_pixbuf_get_n_channels(default_icon) ||
        gdk_pixbuf_get_bits_per_sample(picture) != 8 || gdk_pixbuf_get_bits_per_sample(default_icon) != 8)
        return false;
    int row_bytes = gdk_pixbuf_get_width(picture) * gdk_pixbuf_get_n_channels(picture);
    for (int y = 0; y < gdk_pixbuf_get_height(picture); y++)
        if (memcmp(gdk_pixbuf_get_pixels(picture) + static_cast<size_t>(y) * gdk_pixbuf_get_rowstride(picture),
                   gdk_pixbuf_get_pixels(default_icon) +
                       static_cast<size_t>(y) * gdk_pixbuf_get_rowstride(default_icon),
                   static_cast<size_t>(row_bytes)) != 0)
            return false;
    return true;
}

void paint_paused_view(cairo_t *cr, int size)
{
    cairo_set_source_rgba(cr, 0, 0, 0, 0.5);
    cairo_paint(cr);
    PangoLayout *layout = pango_cairo_create_layout(cr);
    PangoFontDescription *font_description = pango_font_description_from_string("Sans Bold 11");
    pango_layout_set_font_description(layout, font_description);
    pango_font_description_free(font_description);
    pango_layout_set_width(layout, (size - 20) * PANGO_SCALE);
    pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
    pango_layout_set_text(layout, Gui::PAUSED_TEXT, -1);
    int text_width = 0, text_height = 0;
    pango_layout_get_pixel_size(layout, &text_width, &text_height);
    double top = (size - text_height) / 2;
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_rectangle(cr, 0, top - 10, size, text_height + 20);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_move_to(cr, 10, top);
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
}

} // namespace GtkShared
