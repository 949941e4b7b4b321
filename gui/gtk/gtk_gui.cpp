// GtkGui: the GTK 2 back end's window, menus, off-screen canvas, pictures and timer.
#include "gui/gtk/gtk_gui.h"
#include "gui/gtk/gtk_private.h"

#include "base/support.h"
#include "gui/damage.h"
#include "gui/gtk_common/shared.h"
#include "gui/xpm_data.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {
GtkWidget *toplevel = nullptr;
GtkWidget *canvas = nullptr;
int canvas_size = 0;
GdkPixmap *offscreen = nullptr;      // every frame is composed here, then copied whole
GdkDrawable *target = nullptr;       // where changes are redrawn: offscreen, or at first the window
GdkGC *canvas_gc = nullptr;
GdkFont *font = nullptr;
GdkColor black, white;               // cursor colours only, never allocated
bool paused = false;                 // the field shows as paused (see present_canvas)
GdkPixmap *paused_frame = nullptr;   // the paused view, made the first time it is shown

// Redrawing only what changed. The calls of a frame are recorded, not drawn; at present
// time they are compared with the frame that offscreen holds, and only the changed
// rectangles are restored to white, redrawn and copied to the window. With
// GLIMPWATCH_FULL_REDRAW set (to anything but 0) every call is drawn at once and every
// present copies the whole canvas, as a fallback and for comparison.
bool full_redraw = false;
Damage::Canvas damage;               // the calls since the last clear, and what offscreen holds
bool window_stale = true;            // the window needs the whole canvas at the next present
GdkGC *clip_gc = nullptr;            // lines and text, clipped to one changed rectangle

// A line 2 pixels wide with round ends colours pixels up to one pixel beyond its ends
// and its centre line; one more keeps the box safe from rounding.
constexpr int LINE_WIDTH = 2;
constexpr int LINE_REACH = LINE_WIDTH / 2 + 1;
} // namespace

namespace {

// A covered or newly mapped window gets the whole canvas back.
gboolean on_expose(GtkWidget *, GdkEventExpose *, gpointer)
{
    window_stale = true;
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

void set_line_style(GdkGC *gc)
{
    gdk_gc_set_exposures(gc, FALSE);
    gdk_gc_set_line_attributes(gc, LINE_WIDTH, GDK_LINE_SOLID, GDK_CAP_ROUND, GDK_JOIN_MITER);
}

GdkRectangle rectangle(const Damage::Box &b) { return GdkRectangle{b.x, b.y, b.w, b.h}; }

// One recorded call drawn into target, only inside the changed rectangle r.
void draw_clipped(const Damage::Call &call, const Damage::Box &r)
{
    if (call.kind == Damage::PICTURE) {
        // The picture's own GC clips to its mask, so the rectangle limits the copied part.
        Image *image = const_cast<Image *>(call.image);
        int x0 = std::max(call.x1, r.x), y0 = std::max(call.y1, r.y);
        int x1 = std::min(call.x1 + image->width, r.x + r.w);
        int y1 = std::min(call.y1 + image->height, r.y + r.h);
        if (x0 >= x1 || y0 >= y1)
            return;
        gdk_gc_set_clip_origin(image->gc, call.x1, call.y1);
        gdk_draw_drawable(target, image->gc, image->pixmap, x0 - call.x1, y0 - call.y1, x0, y0,
                          x1 - x0, y1 - y0);
        return;
    }
    if (call.kind == Damage::LINE)
        gdk_draw_line(target, clip_gc, call.x1, call.y1, call.x2, call.y2);
    else
        gdk_draw_text(target, font, clip_gc, call.x1, call.y1, Damage::text_of(damage.composing, call),
                      call.text_len);
}

// Brings target from the frame it shows to the one composed, redrawing only the changed
// rectangles (all of it when what it shows is not known).
void redraw_changes()
{
    GdkGC *white_gc = gtk_widget_get_style(canvas)->white_gc;
    Damage::redraw(
        damage,
        [&](const Damage::Box &r) {
            GdkRectangle clip = rectangle(r);
            gdk_gc_set_clip_rectangle(clip_gc, &clip);
            gdk_draw_rectangle(target, white_gc, TRUE, r.x, r.y, r.w, r.h);
        },
        draw_clipped);
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
    // The canvas is its own buffer: an expose copies from it (or, before it exists, redraws
    // the frame) over the whole window, so GTK need neither clear the window first nor
    // paint through a buffer of the window's size.
    gtk_widget_set_double_buffered(canvas, FALSE);
    gtk_widget_set_app_paintable(canvas, TRUE);

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

// The off-screen canvas: a pixmap the size of the field in the X server. On a large field
// making it costs the server more than everything else at start-up (a 4000 field's is 64 MB,
// and each page is the kernel's to clear), so when only what changed is redrawn it is made
// once the first frame shows; until then frames are drawn straight onto the window.
void make_offscreen()
{
    gdk_error_trap_push();
    offscreen = gdk_pixmap_new(gtk_widget_get_window(canvas), canvas_size, canvas_size, -1);
    if (x_error_since_trap())
        fatal("the display cannot hold a %d x %d play field", canvas_size, canvas_size);
    target = offscreen;
    // The frame the window shows is drawn on it whole.
    if (!full_redraw) {
        Damage::forget(damage);
        redraw_changes();
    }
}

gboolean make_offscreen_when_idle(gpointer)
{
    if (!offscreen)
        make_offscreen();
    return G_SOURCE_REMOVE;
}

void prepare_canvas()
{
    GdkWindow *window = gtk_widget_get_window(canvas);
    canvas_gc = gdk_gc_new(window);
    set_line_style(canvas_gc);
    clip_gc = gdk_gc_new(window);
    set_line_style(clip_gc);
    font = gdk_font_load("fixed");
    full_redraw = Damage::full_redraw_requested();
    Damage::prepare(damage, canvas_size, canvas_size);
    if (full_redraw) {
        make_offscreen();
        return;
    }
    target = window;
    g_idle_add_full(G_PRIORITY_LOW, make_offscreen_when_idle, nullptr, nullptr);
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
    if (!full_redraw) {
        Damage::clear(damage.composing);
        return;
    }
    gdk_draw_rectangle(offscreen, gtk_widget_get_style(canvas)->white_gc, TRUE, 0, 0,
                       canvas_size, canvas_size);
}

void present_canvas()
{
    // An expose can arrive before the canvas is prepared; there is nothing to show yet.
    if (!target)
        return;
    // The paused view is composed from the off-screen canvas.
    if (paused && !offscreen)
        make_offscreen();
    GdkWindow *window = gtk_widget_get_window(canvas);
    if (!offscreen) {
        // No off-screen canvas yet: the window itself is brought to this frame, whole when
        // what it shows is not known (after an expose).
        if (window_stale)
            Damage::forget(damage);
        redraw_changes();
        window_stale = false;
        return;
    }
    if (!full_redraw)
        redraw_changes();
    if (paused) {
        // The paused view covers the whole canvas; once it goes, the window needs the
        // frame whole again.
        compose_paused_frame();
        gdk_draw_drawable(window, canvas_gc, paused_frame, 0, 0, 0, 0, canvas_size, canvas_size);
        window_stale = true;
        return;
    }
    if (!full_redraw && !window_stale) {
        for (const Damage::Box &r : damage.changes.rects)
            gdk_draw_drawable(window, canvas_gc, offscreen, r.x, r.y, r.x, r.y, r.w, r.h);
        return;
    }
    gdk_draw_drawable(window, canvas_gc, offscreen, 0, 0, 0, 0, canvas_size, canvas_size);
    window_stale = false;
}

void show_paused(int shown)
{
    paused = shown != 0;
    present_canvas();
}

void draw_image(Image *image, int x, int y)
{
    if (!full_redraw) {
        Damage::add_picture(damage.composing, image, x, y, image->width, image->height);
        return;
    }
    gdk_gc_set_clip_origin(image->gc, x, y);
    gdk_draw_drawable(offscreen, image->gc, image->pixmap, 0, 0, x, y, image->width, image->height);
}

void draw_line(int x1, int y1, int x2, int y2)
{
    if (!full_redraw) {
        Damage::add_line(damage.composing, x1, y1, x2, y2, LINE_REACH);
        return;
    }
    gdk_draw_line(offscreen, canvas_gc, x1, y1, x2, y2);
}

void draw_text(const char *text, int x, int y)
{
    // Without the "fixed" font there is simply no text, rather than a warning every frame.
    if (!font)
        return;
    if (!full_redraw) {
        // The box of the ink, and never less than the font's full height.
        gint lbearing, rbearing, width, ascent, descent;
        gint length = static_cast<gint>(strlen(text));
        gdk_text_extents(font, text, length, &lbearing, &rbearing, &width, &ascent, &descent);
        int left = x + std::min(lbearing, 0);
        int right = x + std::max(rbearing, width);
        int top = y - std::max(ascent, font->ascent);
        int bottom = y + std::max(descent, font->descent);
        Damage::add_text(damage.composing, text, x, y, {left, top, right - left, bottom - top});
        return;
    }
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
