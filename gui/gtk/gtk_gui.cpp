// GtkGui: the GTK 2 back end's window, menus, off-screen canvas, pictures and timer.
#include "gui/gtk/gtk_gui.h"
#include "gui/gtk/gtk_private.h"

#include "game/data_dir.h"
#include "game/game.h"
#include "game/support.h"
#include "sound/sound.h"
#include "gui/xpm_data.h"

#include <gdk/gdkkeysyms.h>

#include <string>
#include <vector>

namespace {
GtkWidget *toplevel = nullptr;
GtkWidget *canvas = nullptr;
GtkWidget *pause_item = nullptr;     // null until the main window is built
GtkWidget *sound_item = nullptr;     // the same
int canvas_size = 0;
GdkPixmap *offscreen = nullptr;      // every frame is composed here, then copied whole
GdkGC *canvas_gc = nullptr;
GdkFont *font = nullptr;
guint timer_id = 0;                  // 0 while no timer runs
const char *data_dir = ".";
GdkColor black, white;               // cursor colours only, never allocated
bool paused = false;                 // the field shows as paused (see present_canvas)
GdkPixmap *paused_frame = nullptr;   // the paused view, made the first time it is shown
} // namespace

namespace {

// Keyboard shortcuts of the menu entries; they open the same dialogs as the mouse.
// The pause key is a bare P: dialogs are windows of their own, so typing a P into
// a dialog's entry never reaches the main window's shortcuts.
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

const GdkEventMask CANVAS_EVENTS = GdkEventMask(
    GDK_EXPOSURE_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
    GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK);

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
    GtkGui::show_dialog(GPOINTER_TO_INT(id));
}

// Coordinates arrive as doubles relative to the canvas; X keeps them within 16 bits,
// so the truncation to int is always defined.
// The Sound entry was toggled by the player (mouse or key): the game turns sound on or
// off and remembers it. No dialog, so nothing to pause.
void on_sound_toggled(GtkCheckMenuItem *item, gpointer)
{
    Sound::choose(gtk_check_menu_item_get_active(item) ? 1 : 0);
}

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

gboolean on_expose(GtkWidget *, GdkEventExpose *, gpointer)
{
    Gui::present_canvas();
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

// The paused view, composed over a copy of the frame: the frame dimmed, and across its
// middle a dark band with the line that says why nothing moves. The off-screen canvas
// itself is left alone, so the next tick draws exactly what it would have drawn.
void compose_paused_frame()
{
    if (!paused_frame)
        paused_frame = gdk_pixmap_new(offscreen, canvas_size, canvas_size, -1);
    gdk_draw_drawable(paused_frame, canvas_gc, offscreen, 0, 0, 0, 0, canvas_size, canvas_size);
    cairo_t *cr = gdk_cairo_create(paused_frame);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.5);
    cairo_paint(cr);
    PangoLayout *layout = pango_cairo_create_layout(cr);
    PangoFontDescription *font_description = pango_font_description_from_string("Sans Bold 11");
    pango_layout_set_font_description(layout, font_description);
    pango_font_description_free(font_description);
    pango_layout_set_width(layout, (canvas_size - 20) * PANGO_SCALE);
    pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
    pango_layout_set_text(layout, Gui::PAUSED_TEXT, -1);
    int text_width = 0, text_height = 0;
    pango_layout_get_pixel_size(layout, &text_width, &text_height);
    double top = (canvas_size - text_height) / 2;
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_rectangle(cr, 0, top - 10, canvas_size, text_height + 20);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_move_to(cr, 10, top);
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
    cairo_destroy(cr);
}

// The icon for every window of the program, dialogs included, set before the first of
// them exists: a window manager that reads the icon only when a window is first shown
// has it then. Without a readable icon picture the windows simply come up without one;
// loading "icon" later says what is wrong with it.
void set_default_icon(const char *dir)
{
    // Read and checked as every picture is, so that nothing planted under its name can
    // make the start-up wait or feed the decoder a broken picture.
    std::string path = std::string(dir) + "/pixmaps/icon.xpm";
    std::vector<std::string> strings;
    if (!XpmData::load(path.c_str(), strings))
        return;
    std::vector<const char *> data;
    for (const std::string &s : strings)
        data.push_back(s.c_str());
    GdkPixbuf *icon = gdk_pixbuf_new_from_xpm_data(data.data());
    if (!icon)
        return;
    gtk_window_set_default_icon(icon);
    g_object_unref(icon);
}

// Our window and picture calls all happen at start-up, so a round trip per check is cheap;
// without the trap an X error (say, no memory for a huge pixmap) would abort inside GDK.
bool x_error_since_trap()
{
    gdk_flush();
    return gdk_error_trap_pop() != 0;
}

} // namespace

namespace GtkGui {

namespace {

constexpr GuiMethods make_methods()
{
    GuiMethods m{};
    m.set_cursor = set_cursor;
    m.load_cursor = load_cursor;
    m.load_image = load_image;
    m.set_icon = set_icon;
    m.image_width = image_width;
    m.image_height = image_height;
    m.prepare_canvas = prepare_canvas;
    m.clear_canvas = clear_canvas;
    m.present_canvas = present_canvas;
    m.draw_image = draw_image;
    m.draw_line = draw_line;
    m.draw_text = draw_text;
    m.start_timer = start_timer;
    m.stop_timer = stop_timer;
    m.timer_running = timer_running;
    m.show_dialog = show_dialog;
    m.run_event_loop = run_event_loop;
    m.open = open;
    m.build_main_window = build_main_window;
    m.build_dialogs = build_dialogs;
    m.enable_pause_item = enable_pause_item;
    m.set_dialog_text = set_dialog_text;
    m.check_sound_item = check_sound_item;
    m.show_paused = show_paused;
    return m;
}

constexpr GuiMethods METHODS = make_methods();

// A slot added to GuiMethods must be filled above as well.
static_assert(sizeof(GuiMethods) == 24 * sizeof(void (*)()), "GuiMethods gained a slot");

} // namespace

void install(const GuiMethods **out) { *out = &METHODS; }

void open(int *argc, char **argv)
{
    char **args = argv;   // GTK takes its own options out of this vector
    gtk_init(argc, &args);
    // The pictures come from the installed directory when it exists, else from below the
    // working directory; the icon among them is every window's from the start.
    data_dir = DataDir::path();
    set_default_icon(data_dir);
    toplevel = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    timer_id = 0;
    gtk_window_set_title(GTK_WINDOW(toplevel), "Glimpwatch - An Ombrax Modification");
    g_signal_connect(toplevel, "delete_event", G_CALLBACK(on_window_delete), nullptr);
}

void build_main_window(int size)
{
    canvas_size = size;
    GtkWidget *box = gtk_vbox_new(FALSE, 0);
    gtk_container_add(GTK_CONTAINER(toplevel), box);

    GtkAccelGroup *accels = gtk_accel_group_new();
    gtk_window_add_accel_group(GTK_WINDOW(toplevel), accels);
    GtkWidget *bar = gtk_menu_bar_new();
    add_sound_item(add_menu(bar, accels, "Game", DIALOG_NEW_GAME, DIALOG_QUIT), accels);
    add_menu(bar, accels, "Info", DIALOG_STORY, DIALOG_ABOUT);
    gtk_box_pack_start(GTK_BOX(box), bar, FALSE, FALSE, 0);

    canvas = gtk_drawing_area_new();
    gtk_drawing_area_size(GTK_DRAWING_AREA(canvas), size, size);
    gtk_box_pack_start(GTK_BOX(box), canvas, FALSE, FALSE, 0);
    g_signal_connect(canvas, "button-press-event", G_CALLBACK(on_button_press), nullptr);
    g_signal_connect(canvas, "button-release-event", G_CALLBACK(on_button_release), nullptr);
    g_signal_connect(canvas, "enter-notify-event", G_CALLBACK(on_pointer_enter), nullptr);
    g_signal_connect(canvas, "leave-notify-event", G_CALLBACK(on_pointer_leave), nullptr);
    g_signal_connect(canvas, "expose-event", G_CALLBACK(on_expose), nullptr);
    gtk_widget_set_events(canvas, CANVAS_EVENTS);

    gdk_error_trap_push();
    gtk_widget_show_all(toplevel);
    if (x_error_since_trap())
        fatal("the display cannot hold a %d x %d play field", size, size);

    // The window keeps the size it was shown with.
    GdkGeometry geometry = {};
    gint width = 0, height = 0;
    gdk_drawable_get_size(gtk_widget_get_window(toplevel), &width, &height);
    geometry.min_width = geometry.max_width = geometry.base_width = width;
    geometry.min_height = geometry.max_height = geometry.base_height = height;
    geometry.width_inc = geometry.height_inc = 0;
    gdk_window_set_geometry_hints(gtk_widget_get_window(toplevel), &geometry,
                                  GdkWindowHints(GDK_HINT_MIN_SIZE | GDK_HINT_MAX_SIZE |
                                                 GDK_HINT_BASE_SIZE | GDK_HINT_RESIZE_INC));

    gdk_color_parse("white", &white);
    gdk_color_parse("black", &black);
}

void prepare_canvas()
{
    gdk_error_trap_push();
    offscreen = gdk_pixmap_new(gtk_widget_get_window(canvas), canvas_size, canvas_size, -1);
    if (x_error_since_trap())
        fatal("the display cannot hold a %d x %d play field", canvas_size, canvas_size);
    canvas_gc = gdk_gc_new(offscreen);
    gdk_gc_set_exposures(canvas_gc, FALSE);
    gdk_gc_set_line_attributes(canvas_gc, 2, GDK_LINE_SOLID, GDK_CAP_ROUND, GDK_JOIN_MITER);
    font = gdk_font_load("fixed");
}

void load_image(const char *name, int, Image **out)
{
    Image *image = static_cast<Image *>(xalloc(sizeof(Image)));
    std::string path = std::string(data_dir) + "/pixmaps/" + name + ".xpm";
    // The toolkit decodes from memory what was read and checked here: it never opens a
    // FIFO or a device, nor reads past a row.
    std::vector<std::string> strings;
    if (!XpmData::load(path.c_str(), strings))
        fatal("error reading %s", path.c_str());
    std::vector<gchar *> data;
    for (std::string &s : strings)
        data.push_back(&s[0]);
    // A picture too large for the server fails like an unreadable one, not with an X abort.
    gdk_error_trap_push();
    GdkBitmap *mask = nullptr;
    image->pixmap = gdk_pixmap_create_from_xpm_d(gtk_widget_get_window(toplevel), &mask, nullptr, data.data());
    bool x_error = x_error_since_trap();
    if (!image->pixmap || x_error)
        fatal("error reading %s", path.c_str());
    image->mask = mask;
    image->gc = gdk_gc_new(gtk_widget_get_window(toplevel));
    gdk_gc_set_exposures(image->gc, FALSE);
    gdk_gc_set_clip_mask(image->gc, mask);
    gdk_drawable_get_size(image->pixmap, &image->width, &image->height);
    *out = image;
}

void set_icon(Image *image)
{
    gdk_window_set_icon(gtk_widget_get_window(toplevel), nullptr, image->pixmap, image->mask);
}

int image_width(Image *image) { return image->width; }
int image_height(Image *image) { return image->height; }

void set_cursor(PointerCursor *cursor)
{
    // Over the canvas only: the menu bar keeps the default pointer.
    gdk_window_set_cursor(gtk_widget_get_window(canvas), cursor->cursor);
}

void clear_canvas()
{
    gdk_draw_rectangle(offscreen, gtk_widget_get_style(canvas)->white_gc, TRUE, 0, 0,
                       canvas_size, canvas_size);
}

void present_canvas()
{
    // An expose can arrive before the off-screen canvas exists; there is nothing to show yet.
    if (!offscreen)
        return;
    GdkPixmap *shown = offscreen;
    if (paused) {
        compose_paused_frame();
        shown = paused_frame;
    }
    gdk_draw_drawable(gtk_widget_get_window(canvas), canvas_gc, shown, 0, 0, 0, 0, canvas_size, canvas_size);
}

void show_paused(int shown)
{
    paused = shown != 0;
    present_canvas();
}

void draw_image(Image *image, int x, int y)
{
    gdk_gc_set_clip_origin(image->gc, x, y);
    gdk_draw_drawable(offscreen, image->gc, image->pixmap, 0, 0, x, y, image->width, image->height);
}

void draw_line(int x1, int y1, int x2, int y2)
{
    gdk_draw_line(offscreen, canvas_gc, x1, y1, x2, y2);
}

void draw_text(const char *text, int x, int y)
{
    // Without the "fixed" font there is simply no text, rather than a warning every frame.
    if (font)
        gdk_draw_string(offscreen, font, canvas_gc, x, y, text);
}

void start_timer(int period_ms)
{
    // A running timer keeps its period: repeated starts never add a second one.
    if (timer_id == 0)
        timer_id = gtk_timeout_add(static_cast<guint32>(period_ms), on_tick, nullptr);
}

void stop_timer()
{
    if (timer_id != 0)
        gtk_timeout_remove(timer_id);
    timer_id = 0;
}

int timer_running() { return timer_id != 0; }

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

void run_event_loop() { gtk_main(); }

GtkWidget *main_window() { return toplevel; }
GdkWindow *canvas_window() { return gtk_widget_get_window(canvas); }
const GdkColor *cursor_foreground() { return &black; }
const GdkColor *cursor_background() { return &white; }

} // namespace GtkGui
