// GtkShared: window, menus, canvas events, timer and picture files of both GTK back ends.
#include "gui/gtk_common/shared.h"

#include "base/support.h"
#include "gui/drawing.h"
#include "gui/title.h"
#include "gui/view.h"
#include "gui/xpm_data.h"

#include <gdk/gdkkeysyms.h>

#include <algorithm>
#include <cstring>

namespace {
GtkWidget *toplevel = nullptr;   // the main window, made by open
GtkWidget *canvas = nullptr;     // the play field's drawing area, made by fill_main_window
guint timer_id = 0;              // 0 while no timer runs
GtkWidget *pause_item = nullptr; // null until the main window is built
GtkWidget *sound_item = nullptr; // the same
GtkWidget *full_screen_item = nullptr; // the same
GdkPixbuf *default_icon = nullptr; // every window's icon, when its picture could be read

// The field in the canvas widget: its side in the game's pixels, its factor and place; the
// widget is the field and the quiet surround around it (View).
int field_size = 0;
View::Place place = {1, 0, 0};
int most_factor = 1 << 30;       // the largest the back end can show
bool on_field = false;           // the pointer is over the field
bool pressed = false;            // a press went to the game and its release has not
bool full_screen = false;        // the window shows full screen
bool full_screen_wanted = false; // the player asked for it; the window follows
gint64 last_input = 0;           // when the player last did something (monotonic, microseconds)
} // namespace

namespace {


gboolean on_window_delete(GtkWidget *, GdkEvent *, gpointer)
{
    Gui::close_requested();
}

// The front pauses a running game, as the pointer leaving would, and shows the dialog.
void on_menu_entry(gpointer id, GtkMenuItem *)
{
    GtkShared::player_acted();
    Gui::menu_entry_chosen(GPOINTER_TO_INT(id));
}

// The keys the game may take while a recording is watched. Taken, a key goes no further:
// no menu shortcut sees it.
gboolean on_key_press(GtkWidget *, GdkEventKey *event, gpointer)
{
    GtkShared::player_acted();
    int key = KEY_OTHER;
    switch (event->keyval) {
    case GDK_KEY_space:
        key = KEY_SPACE;
        break;
    case GDK_KEY_plus:
    case GDK_KEY_equal: // + without Shift on many keyboards
    case GDK_KEY_KP_Add:
        key = KEY_PLUS;
        break;
    case GDK_KEY_minus:
    case GDK_KEY_KP_Subtract:
        key = KEY_MINUS;
        break;
    case GDK_KEY_Escape:
        key = KEY_ESCAPE;
        break;
    default:
        break;
    }
    return Gui::key_pressed(key) ? TRUE : FALSE;
}

// Every Gui::IDLE_MS without input the front hears that the player is idle; each input
// starts the wait again.
gboolean on_idle_check(gpointer)
{
    gint64 quiet_ms = (g_get_monotonic_time() - last_input) / 1000;
    if (quiet_ms >= Gui::IDLE_MS) {
        GtkShared::player_acted(); // the next report comes IDLE_MS later
        Gui::player_idle();
        quiet_ms = 0;
    }
    g_timeout_add(static_cast<guint>(Gui::IDLE_MS - quiet_ms), on_idle_check, nullptr);
    return G_SOURCE_REMOVE;
}

// The Sound entry was toggled by the player (mouse or key): the game turns sound on or
// off and remembers it. No dialog, so nothing to pause.
void on_sound_toggled(GtkCheckMenuItem *item, gpointer)
{
    Gui::sound_toggled(gtk_check_menu_item_get_active(item) ? 1 : 0);
}

// The Game menu is coming up, or the Sound key is about to act: the entry is brought up to
// date with what the sound player found (the default answer then looks at it anew).
void on_menu_show(GtkWidget *, gpointer) { Gui::menu_shown(); }

gboolean on_sound_key(GtkWidget *, guint, gpointer)
{
    Gui::menu_shown();
    return FALSE;
}

// The field's pixel under a point of the canvas widget, and whether it is on the field.
// Coordinates arrive as doubles relative to the widget, in its own (logical) pixels; the
// display keeps them within 16 bits, so the truncation to int is always defined.
bool field_point(double x, double y, int *fx, int *fy)
{
    return View::to_field(place, field_size, static_cast<int>(x), static_cast<int>(y), fx, fy);
}

// A press on the field goes to the game; one on the surround, where the game is paused,
// does not, nor its release. A release after a press on the field goes to the game
// wherever it is, in the field's pixels, as the game's drags need.
gboolean on_button_press(GtkWidget *, GdkEventButton *event, gpointer)
{
    GtkShared::player_acted();
    int x = 0, y = 0;
    if (field_point(event->x, event->y, &x, &y)) {
        pressed = true;
        Gui::button_pressed(x, y);
    } else {
        Gui::clicked_off_field();
    }
    return FALSE;
}

gboolean on_button_release(GtkWidget *, GdkEventButton *event, gpointer)
{
    GtkShared::player_acted();
    int x = 0, y = 0;
    field_point(event->x, event->y, &x, &y);
    if (pressed) {
        pressed = false;
        Gui::button_released(x, y);
    }
    return FALSE;
}

// The pointer rule sees the field, not the widget: moving from the field onto the surround
// leaves it, and back enters it. Crossings caused by a menu or a modal dialog taking the
// pointer count like any other: that is what pauses the game while a dialog is up.
gboolean on_pointer_enter(GtkWidget *, GdkEventCrossing *event, gpointer)
{
    GtkShared::player_acted();
    int x = 0, y = 0;
    on_field = field_point(event->x, event->y, &x, &y);
    if (on_field)
        Gui::pointer_entered();
    return FALSE;
}

gboolean on_pointer_leave(GtkWidget *, GdkEventCrossing *, gpointer)
{
    GtkShared::player_acted();
    on_field = false;
    Gui::pointer_left();
    return FALSE;
}

gboolean on_pointer_motion(GtkWidget *, GdkEventMotion *event, gpointer)
{
    GtkShared::player_acted();
    int x = 0, y = 0;
    bool now = field_point(event->x, event->y, &x, &y);
    if (now != on_field) {
        on_field = now;
        if (now)
            Gui::pointer_entered();
        else
            Gui::pointer_left();
    }
    return FALSE;
}

// The widget got its size: the field takes the largest whole factor that fits, centred.
// The factor of a window (not full screen) is kept for the next game.
void on_canvas_allocated(GtkWidget *, GtkAllocation *allocation, gpointer)
{
    View::Place fitted = View::fit(field_size, allocation->width, allocation->height, most_factor);
    if (fitted.factor == place.factor && fitted.x == place.x && fitted.y == place.y)
        return;
    View::Place before = place;
    place = fitted;
    GtkToolkit::place_changed(before);
    if (!full_screen && !full_screen_wanted)
        View::remember({place.factor, false});
}

void on_full_screen_toggled(GtkCheckMenuItem *item, gpointer)
{
    full_screen_wanted = gtk_check_menu_item_get_active(item) != FALSE;
    if (full_screen_wanted)
        gtk_window_fullscreen(GTK_WINDOW(toplevel));
    else
        gtk_window_unfullscreen(GTK_WINDOW(toplevel));
}

// The window went full screen or came back (the player, or the window manager): the entry
// shows it, and it is kept for the next game with the factor the window had.
gboolean on_window_state(GtkWidget *, GdkEventWindowState *event, gpointer)
{
    if (!(event->changed_mask & GDK_WINDOW_STATE_FULLSCREEN))
        return FALSE;
    full_screen = (event->new_window_state & GDK_WINDOW_STATE_FULLSCREEN) != 0;
    full_screen_wanted = full_screen;
    g_signal_handlers_block_by_func(full_screen_item, reinterpret_cast<gpointer>(on_full_screen_toggled), nullptr);
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(full_screen_item), full_screen ? TRUE : FALSE);
    g_signal_handlers_unblock_by_func(full_screen_item, reinterpret_cast<gpointer>(on_full_screen_toggled),
                                      nullptr);
    View::Choice choice = View::remembered();
    choice.full_screen = full_screen;
    View::remember(choice);
    return FALSE;
}

gboolean on_tick(gpointer)
{
    Gui::timer_expired();
    return TRUE;
}

gboolean make_canvas_now(gpointer)
{
    Drawing::make_canvas();
    return G_SOURCE_REMOVE;
}

// The menu entry's shortcut, from the front's table.
void add_shortcut(GtkWidget *item, GtkAccelGroup *accels, int id)
{
    int count = 0;
    const MenuKey *keys = Gui::menu_keys(&count);
    for (int k = 0; k < count; k++)
        if (keys[k].id == id)
            gtk_widget_add_accelerator(item, "activate", accels, gdk_keyval_from_name(keys[k].key),
                                       keys[k].ctrl ? GDK_CONTROL_MASK : GdkModifierType(0), GTK_ACCEL_VISIBLE);
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
        add_shortcut(item, accels, id);
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
        if (id == DIALOG_PAUSE)
            pause_item = item;
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(bar), title_item);
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(title_item), menu);
    return menu;
}

// The Sound and Full Screen check entries, below a separator after the dialog entries of
// the Game menu.
void add_check_items(GtkWidget *menu, GtkAccelGroup *accels)
{
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
    sound_item = gtk_check_menu_item_new_with_label(Gui::SOUND_ITEM_LABEL);
    g_signal_connect(sound_item, "toggled", G_CALLBACK(on_sound_toggled), nullptr);
    g_signal_connect(sound_item, "can-activate-accel", G_CALLBACK(on_sound_key), nullptr);
    g_signal_connect(menu, "show", G_CALLBACK(on_menu_show), nullptr);
    add_shortcut(sound_item, accels, Gui::SOUND_ITEM);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), sound_item);
    full_screen_item = gtk_check_menu_item_new_with_label(View::FULL_SCREEN_LABEL);
    g_signal_connect(full_screen_item, "toggled", G_CALLBACK(on_full_screen_toggled), nullptr);
    add_shortcut(full_screen_item, accels, Gui::FULL_SCREEN_ITEM);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), full_screen_item);
}

// The GdkWindow under the pointer if it is one of ours, else null, and where the pointer is
// in window; false when the display has no pointer to ask about (a Wayland seat without one).
bool pointer_in(GdkWindow *window, GdkWindow **under, int *x, int *y)
{
#if GTK_CHECK_VERSION(3, 0, 0)
    GdkSeat *seat = gdk_display_get_default_seat(gdk_display_get_default());
    GdkDevice *pointer = seat ? gdk_seat_get_pointer(seat) : nullptr;
    if (!pointer)
        return false;
    *under = gdk_device_get_window_at_position(pointer, nullptr, nullptr);
    gdk_window_get_device_position(window, pointer, x, y, nullptr);
#else
    *under = gdk_display_get_window_at_pointer(gdk_display_get_default(), nullptr, nullptr);
    gdk_window_get_pointer(window, x, y, nullptr);
#endif
    return true;
}

// Slot build_main_window: the toolkit's window, then where the pointer is. It may already
// be over the field, and no crossing will say so: the front must know before a game that
// the command line asked for starts.
void build_main_window(int size)
{
    GtkToolkit::build_main_window(size);
    GtkShared::report_pointer_place();
}

// A dialog went. While another waits (the dialogs at the end of a game come one after the
// other) the pointer is the dialog's; when none is left, where is it?
gboolean report_after_dialogs(gpointer)
{
    if (!GtkShared::dialog_waiting())
        GtkShared::report_pointer_place();
    return G_SOURCE_REMOVE;
}

constexpr GuiMethods make_methods()
{
    GuiMethods m{};
    m.set_cursor = GtkToolkit::set_cursor;
    m.load_cursor = GtkToolkit::load_cursor;
    m.load_image = GtkToolkit::load_image;
    m.set_icon = GtkToolkit::set_icon;
    m.image_width = GtkToolkit::image_width;
    m.image_height = GtkToolkit::image_height;
    m.prepare_canvas = GtkToolkit::prepare_canvas;
    m.build_main_window = build_main_window;
    Drawing::fill_slots(m);
    m.open = GtkShared::open;
    m.start_timer = GtkShared::start_timer;
    m.stop_timer = GtkShared::stop_timer;
    m.timer_running = GtkShared::timer_running;
    m.show_dialog = GtkShared::show_dialog;
    m.build_dialogs = GtkShared::build_dialogs;
    m.enable_pause_item = GtkShared::enable_pause_item;
    m.set_dialog_text = GtkShared::set_dialog_text;
    m.check_sound_item = GtkShared::check_sound_item;
    m.run_event_loop = gtk_main;
    return m;
}

constexpr GuiMethods METHODS = make_methods();

// A slot added to GuiMethods must be filled above as well.
static_assert(sizeof(GuiMethods) == 24 * sizeof(void (*)()), "GuiMethods gained a slot");

} // namespace

namespace GtkShared {

void install(const GuiMethods **out) { *out = &METHODS; }

void open(int *argc, char **argv)
{
    char **args = argv; // the toolkit takes its own options out of this vector
    // GTK 3 would make an OpenGL context for nothing: the field is drawn without it, and a
    // software renderer weighs tens of megabytes. A setting of the player's wins; GTK 2
    // never reads it.
    g_setenv("GDK_GL", "disable", FALSE);
    gtk_init(argc, &args);
    set_default_icon();
    toplevel = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(toplevel), Gui::MAIN_TITLE);
    g_signal_connect(toplevel, "delete-event", G_CALLBACK(on_window_delete), nullptr);
    g_signal_connect(toplevel, "key-press-event", G_CALLBACK(on_key_press), nullptr);
    player_acted();
    g_timeout_add(static_cast<guint>(Gui::IDLE_MS), on_idle_check, nullptr);
}

void player_acted() { last_input = g_get_monotonic_time(); }

GtkWidget *main_window() { return toplevel; }

void make_canvas_when_idle() { g_idle_add_full(G_PRIORITY_LOW, make_canvas_now, nullptr, nullptr); }

GdkRectangle work_area()
{
    GdkWindow *main = gtk_widget_get_window(toplevel);
    GdkRectangle area = {0, 0, 0, 0};
#if GTK_CHECK_VERSION(3, 22, 0)
    gdk_monitor_get_workarea(gdk_display_get_monitor_at_window(gdk_window_get_display(main), main), &area);
#else
    // The desktop's work area (_NET_WORKAREA: the screen less its panels) on the monitor of
    // the main window; the monitor whole where the window manager does not say.
    GdkScreen *screen = gdk_window_get_screen(main);
    gdk_screen_get_monitor_geometry(screen, gdk_screen_get_monitor_at_window(screen, main), &area);
    GdkAtom type = GDK_NONE;
    gint format = 0, length = 0;
    guchar *data = nullptr;
    if (gdk_property_get(gdk_screen_get_root_window(screen), gdk_atom_intern("_NET_WORKAREA", FALSE),
                         gdk_atom_intern("CARDINAL", FALSE), 0, 4 * 4, FALSE, &type, &format, &length, &data) &&
        format == 32 && length >= static_cast<gint>(4 * sizeof(long))) {
        // The first desktop's; format 32 comes as longs (the length asked for is in bytes).
        const long *v = reinterpret_cast<const long *>(data);
        GdkRectangle desktop = {static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]),
                                static_cast<int>(v[3])};
        GdkRectangle both;
        if (gdk_rectangle_intersect(&area, &desktop, &both))
            area = both;
    }
    g_free(data);
#endif
    return area;
}

GdkRectangle room_for_dialogs()
{
    // A dialog's frame is taken to be like the main window's.
    GdkWindow *main = gtk_widget_get_window(toplevel);
    GdkRectangle frame = {0, 0, 0, 0};
    gdk_window_get_frame_extents(main, &frame);
    int frame_w = MAX(0, frame.width - gdk_window_get_width(main));
    int frame_h = MAX(0, frame.height - gdk_window_get_height(main));
    GdkRectangle area = work_area();
    return GdkRectangle{area.x, area.y, MAX(1, area.width - frame_w), MAX(1, area.height - frame_h)};
}

GdkRectangle centred_place(int ox, int oy, int w, int h, int dw, int dh, const GdkRectangle &screen)
{
    int x = ox + (w - dw) / 2, y = oy + (h - dh) / 2;
    // A dialog taller or wider than the window may reach past the screen's edge when the
    // window sits near it; it is moved back so that all of it, its buttons above all, shows.
    x = MAX(screen.x, MIN(x, screen.x + screen.width - dw));
    y = MAX(screen.y, MIN(y, screen.y + screen.height - dh));
    return GdkRectangle{x, y, dw, dh};
}

GtkWidget *fill_main_window(int size)
{
    GtkWidget *box = gtk_vbox_new(FALSE, 0);
    gtk_container_add(GTK_CONTAINER(toplevel), box);
    GtkAccelGroup *accels = gtk_accel_group_new();
    gtk_window_add_accel_group(GTK_WINDOW(toplevel), accels);
    GtkWidget *bar = gtk_menu_bar_new();
    add_check_items(add_menu(bar, accels, "Game", DIALOG_NEW_GAME, DIALOG_QUIT), accels);
    add_menu(bar, accels, "Info", DIALOG_STORY, DIALOG_ABOUT);
    gtk_box_pack_start(GTK_BOX(box), bar, FALSE, FALSE, 0);

    // The canvas takes the room the window gives it; the field is never smaller than 1x.
    field_size = size;
    canvas = gtk_drawing_area_new();
    gtk_widget_set_size_request(canvas, size, size);
    gtk_box_pack_start(GTK_BOX(box), canvas, TRUE, TRUE, 0);
    g_signal_connect(canvas, "button-press-event", G_CALLBACK(on_button_press), nullptr);
    g_signal_connect(canvas, "button-release-event", G_CALLBACK(on_button_release), nullptr);
    g_signal_connect(canvas, "enter-notify-event", G_CALLBACK(on_pointer_enter), nullptr);
    g_signal_connect(canvas, "leave-notify-event", G_CALLBACK(on_pointer_leave), nullptr);
    g_signal_connect(canvas, "motion-notify-event", G_CALLBACK(on_pointer_motion), nullptr);
    g_signal_connect(canvas, "size-allocate", G_CALLBACK(on_canvas_allocated), nullptr);
    gtk_widget_add_events(canvas, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_ENTER_NOTIFY_MASK |
                                      GDK_LEAVE_NOTIFY_MASK | GDK_POINTER_MOTION_MASK);
    g_signal_connect(toplevel, "window-state-event", G_CALLBACK(on_window_state), nullptr);
    return canvas;
}

void report_pointer_place()
{
    GdkWindow *under = nullptr;
    int x = 0, y = 0, fx = 0, fy = 0;
    if (!canvas || !pointer_in(gtk_widget_get_window(canvas), &under, &x, &y))
        return;
    on_field = under && under == gtk_widget_get_window(canvas) && field_point(x, y, &fx, &fy);
    Gui::pointer_found(on_field ? 1 : 0);
}

void report_pointer_place_soon()
{
    constexpr int REPORT_DELAY_MS = 50;
    // Soon, not at once: a window manager takes the dialog's frame away a moment after the
    // dialog itself. Before the first tick of a game the dialog may have started, though.
    static_assert(REPORT_DELAY_MS < Gui::TICK_MS, "reported before a new game's first tick");
    g_timeout_add_full(G_PRIORITY_HIGH, REPORT_DELAY_MS, report_after_dialogs, nullptr, nullptr);
}

const View::Place &field_place() { return place; }
void limit_factor(int most) { most_factor = most; }

void show_remembered_view(int width, int height)
{
    View::Choice choice = View::remembered();
    // No larger than the screen takes (it may be another screen than last time).
    GdkScreen *screen = gtk_widget_get_screen(toplevel);
    int around = height - field_size; // the menu bar
    choice.factor = std::min(choice.factor, View::fit(field_size, gdk_screen_get_width(screen),
                                                      gdk_screen_get_height(screen) - around, most_factor)
                                                .factor);
    if (choice.factor > 1) {
        long long grow = static_cast<long long>(field_size) * (choice.factor - 1);
        gtk_window_resize(GTK_WINDOW(toplevel), static_cast<int>(std::min<long long>(width + grow, 1 << 15)),
                          static_cast<int>(std::min<long long>(height + grow, 1 << 15)));
    }
    if (choice.full_screen)
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(full_screen_item), TRUE);
}

void enable_pause_item(int enabled)
{
    if (pause_item)
        gtk_widget_set_sensitive(pause_item, enabled);
}

void check_sound_item(int on, const char *unavailable)
{
    if (!sound_item)
        return;
    // Without sound the entry says why, in its tooltip, and cannot be chosen.
    gtk_widget_set_sensitive(sound_item, unavailable == nullptr);
    gtk_widget_set_tooltip_text(sound_item, unavailable);
    // Only shown: the game already knows, so the toggle is not reported back.
    g_signal_handlers_block_by_func(sound_item, reinterpret_cast<gpointer>(on_sound_toggled), nullptr);
    gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(sound_item), on ? TRUE : FALSE);
    g_signal_handlers_unblock_by_func(sound_item, reinterpret_cast<gpointer>(on_sound_toggled), nullptr);
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

GdkPixbuf *read_picture(const std::string &path, std::string *reason)
{
    // The decoder gets only what was read and checked: it never opens a FIFO or a device,
    // nor reads past a row.
    std::vector<std::string> strings;
    if (!XpmData::load(path.c_str(), strings, reason))
        return nullptr;
    std::vector<const char *> data;
    for (const std::string &s : strings)
        data.push_back(s.c_str());
    GdkPixbuf *picture = gdk_pixbuf_new_from_xpm_data(data.data());
    if (!picture && reason)
        *reason = "the toolkit cannot decode it";
    return picture;
}

void set_default_icon()
{
    GdkPixbuf *icon = read_picture(XpmData::picture_path("icon"));
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
