// GtkGui: the GTK 2 back end's window, menus, off-screen canvas, pictures and timer.
#include "gui/gtk/gtk_gui.h"
#include "gui/gtk/gtk_private.h"

#include "game/support.h"
#include "gui/gtk_common/shared.h"
#include "gui/xpm_data.h"

#include <string>
#include <vector>

namespace {
GtkWidget *toplevel = nullptr;
GtkWidget *canvas = nullptr;
int canvas_size = 0;
GdkPixmap *offscreen = nullptr;      // every frame is composed here, then copied whole
GdkGC *canvas_gc = nullptr;
GdkFont *font = nullptr;
GdkColor black, white;               // cursor colours only, never allocated
bool paused = false;                 // the field shows as paused (see present_canvas)
GdkPixmap *paused_frame = nullptr;   // the paused view, made the first time it is shown
} // namespace

namespace {

gboolean on_expose(GtkWidget *, GdkEventExpose *, gpointer)
{
    Gui::present_canvas();
    return FALSE;
}

// The paused view, composed over a copy of the frame; the off-screen canvas itself is left
// alone, so the next tick draws exactly what it would have drawn.
void compose_paused_frame()
{
    if (!paused_frame)
        paused_frame = gdk_pixmap_new(offscreen, canvas_size, canvas_size, -1);
    gdk_draw_drawable(paused_frame, canvas_gc, offscreen, 0, 0, 0, 0, canvas_size, canvas_size);
    cairo_t *cr = gdk_cairo_create(paused_frame);
    GtkShared::paint_paused_view(cr, canvas_size);
    cairo_destroy(cr);
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
    m.open = open;
    m.build_main_window = build_main_window;
    GtkShared::fill_shared_slots(m);
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
    GtkShared::set_default_icon();
    toplevel = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkShared::connect_main_window(toplevel);
}

void build_main_window(int size)
{
    canvas_size = size;
    GtkWidget *box = gtk_vbox_new(FALSE, 0);
    gtk_container_add(GTK_CONTAINER(toplevel), box);

    gtk_box_pack_start(GTK_BOX(box), GtkShared::menu_bar(toplevel), FALSE, FALSE, 0);

    canvas = gtk_drawing_area_new();
    gtk_drawing_area_size(GTK_DRAWING_AREA(canvas), size, size);
    gtk_box_pack_start(GTK_BOX(box), canvas, FALSE, FALSE, 0);
    GtkShared::connect_canvas(canvas);
    g_signal_connect(canvas, "expose-event", G_CALLBACK(on_expose), nullptr);

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
    std::string path = GtkShared::picture_path(name);
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

GdkWindow *canvas_window() { return gtk_widget_get_window(canvas); }
const GdkColor *cursor_foreground() { return &black; }
const GdkColor *cursor_background() { return &white; }

} // namespace GtkGui

namespace GtkToolkit {

GtkWidget *main_window() { return toplevel; }

GtkWidget *picture(Image *image) { return gtk_pixmap_new(image->pixmap, image->mask); }

void show_centred(GtkWidget *dialog)
{
    // The dialog's window still has the size of its last showing; a text set since then
    // (the scores) may make it grow as it comes up, and it is centred by that new size.
    // Like GTK, a dialog grows but never shrinks.
    gint ox = 0, oy = 0, w = 0, h = 0, dw = 0, dh = 0;
    gdk_window_get_origin(gtk_widget_get_window(toplevel), &ox, &oy);
    gdk_drawable_get_size(gtk_widget_get_window(toplevel), &w, &h);
    gdk_drawable_get_size(gtk_widget_get_window(dialog), &dw, &dh);
    GtkRequisition natural;
    gtk_widget_size_request(dialog, &natural);
    dw = MAX(dw, natural.width);
    dh = MAX(dh, natural.height);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_NONE);
    int x = ox + (w - dw) / 2, y = oy + (h - dh) / 2;
    // A dialog taller or wider than the window may reach past the screen's edge when the
    // window sits near it; it is moved back so that all of it, its buttons above all, shows.
    GdkScreen *screen = gtk_widget_get_screen(dialog);
    x = MAX(0, MIN(x, gdk_screen_get_width(screen) - dw));
    y = MAX(0, MIN(y, gdk_screen_get_height(screen) - dh));
    gtk_widget_set_uposition(dialog, x, y);
    gtk_widget_show_all(dialog);
    // The first showing of a dialog realized at start-up ignores the position set above.
    gtk_window_move(GTK_WINDOW(dialog), x, y);
}

} // namespace GtkToolkit
