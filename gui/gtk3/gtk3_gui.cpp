// Gtk3Gui: the GTK 3 back end's window, canvas surface, pictures and scale factor. What is
// drawn on the canvas is the painters' (x11_painter.cpp, cairo_painter.cpp): one is chosen
// when the canvas is prepared.
//
// The field is laid out in logical pixels. The canvas holds scale x scale device pixels for
// each of them (the window's scale factor: 2 on a 2x screen) and pictures are copied onto it
// with nearest-neighbour filtering, so pixel art stays crisp at any scale.
//
// The canvas and the pictures live where the window does: on X11 they are pixmaps in the X
// server, so a frame is composed and shown by the server alone and nothing the size of the
// field crosses the connection; on Wayland they are images in our memory.
#include "gui/gtk3/gtk3_private.h"

#include "base/support.h"
#include "gui/drawing.h"
#include "gui/gtk3/status_text.h"
#include "gui/gtk_common/shared.h"
#include "gui/xpm_data.h"

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {
GtkWidget *canvas = nullptr;
int size = 0;                               // logical pixels
int scale = 1;                              // device pixels per logical pixel
const Gtk3Painter *painter = nullptr;       // chosen when the canvas is prepared
cairo_surface_t *offscreen = nullptr;       // the canvas; null until the painter makes it
cairo_pattern_t *offscreen_pattern = nullptr;   // presents it pixel for pixel
struct Loaded {
    Image *image;
    std::string path;
};
std::vector<Loaded> images;                 // every picture, for a new scale factor
PangoLayout *status_layout = nullptr;       // the status line's font and text
int status_baseline = 0;                    // from the layout's top, whole pixels

// The largest side of a cairo image surface, in device pixels.
constexpr std::int64_t MAX_SURFACE_SIDE = 32767;
} // namespace

namespace {

// X reports a window or picture it has no room for asynchronously; the trap turns that into
// our one-line message instead of GDK's abort. Wayland has no such errors: a buffer too large
// for the compositor is caught before it is made (see make_canvas_surface).
void trap_display_errors()
{
#ifdef GDK_WINDOWING_X11
    GdkDisplay *d = gdk_display_get_default();
    if (GDK_IS_X11_DISPLAY(d))
        gdk_x11_display_error_trap_push(d);
#endif
}

bool display_error_since_trap()
{
#ifdef GDK_WINDOWING_X11
    GdkDisplay *d = gdk_display_get_default();
    if (GDK_IS_X11_DISPLAY(d))
        return gdk_x11_display_error_trap_pop(d) != 0;
#endif
    return false;
}

[[noreturn]] void unreadable(const std::string &path, const std::string &reason)
{
    fatal("error reading %s: %s", path.c_str(), reason.c_str());
}

// The picture's copy where the canvas is, enlarged once to the scale factor.
void make_copy(Image *image, const std::string &path)
{
    trap_display_errors();
    image->copy = gdk_window_create_similar_surface(gtk_widget_get_window(GtkShared::main_window()),
                                                    CAIRO_CONTENT_COLOR_ALPHA, image->width, image->height);
    cairo_t *cr = cairo_create(image->copy);
    cairo_set_source_surface(cr, image->surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(image->copy);
    if (cairo_surface_status(image->copy) != CAIRO_STATUS_SUCCESS || display_error_since_trap())
        unreadable(path, "too large for the display");
    image->pattern = cairo_pattern_create_for_surface(image->copy);
    cairo_pattern_set_filter(image->pattern, CAIRO_FILTER_NEAREST);
    painter->adopt(image);
}

// The surround, and the field at its place and factor, each of its pixels a block.
gboolean on_draw(GtkWidget *widget, cairo_t *cr, gpointer)
{
    const View::Place &place = GtkShared::field_place();
    int side = size * place.factor;
    if (gtk_widget_get_allocated_width(widget) > side || gtk_widget_get_allocated_height(widget) > side) {
        cairo_set_source_rgb(cr, (View::SURROUND >> 16 & 0xff) / 255.0, (View::SURROUND >> 8 & 0xff) / 255.0,
                             (View::SURROUND & 0xff) / 255.0);
        cairo_paint(cr);
    }
    // A draw can be asked for before the canvas is prepared; there is nothing to show yet.
    if (!painter)
        return TRUE;
    // GTK's first paint may come before the idle time the canvas waits for.
    Drawing::make_canvas();
    // The painter may have drawn on it without cairo.
    cairo_surface_mark_dirty(offscreen);
    cairo_rectangle(cr, place.x, place.y, side, side);
    cairo_clip(cr);
    cairo_translate(cr, place.x, place.y);
    cairo_scale(cr, place.factor, place.factor);
    cairo_set_source(cr, offscreen_pattern);
    cairo_paint(cr);
    // The paused view is painted over the copy: the canvas is left alone, so the next tick
    // draws exactly what it would have drawn.
    if (Drawing::paused())
        GtkShared::paint_paused_view(cr, size);
    return TRUE;
}

// A window moved to a screen of another scale factor: the canvas and the pictures' copies
// are made again at it.
void on_scale_changed(GObject *, GParamSpec *, gpointer)
{
    int factor = gtk_widget_get_scale_factor(canvas);
    if (!painter || factor == scale)
        return;
    scale = factor;
    for (const Loaded &loaded : images) {
        painter->release(loaded.image);
        cairo_pattern_destroy(loaded.image->pattern);
        cairo_surface_destroy(loaded.image->copy);
        make_copy(loaded.image, loaded.path);
    }
    if (Drawing::canvas_made()) {
        Gtk3Gui::make_canvas_surface();
        painter->canvas_remade();
        Drawing::canvas_remade();
    } else {
        Drawing::make_canvas();
    }
    gtk_widget_queue_draw(canvas);
}

} // namespace

namespace Gtk3Gui {

GtkWidget *canvas_widget() { return canvas; }
int canvas_size() { return size; }
int canvas_scale() { return scale; }
cairo_surface_t *canvas_surface() { return offscreen; }
GdkDisplay *display() { return gtk_widget_get_display(GtkShared::main_window()); }
int scale_factor() { return gtk_widget_get_scale_factor(GtkShared::main_window()); }

[[noreturn]] void field_too_large() { fatal("the display cannot hold a %d x %d play field", size, size); }

void make_canvas_surface()
{
    std::int64_t side = static_cast<std::int64_t>(size) * scale;
    if (side > MAX_SURFACE_SIDE)
        field_too_large();
    // Made like the window, at the window's scale factor (which is the one asked for: a
    // new scale factor is reported once the window has it).
    trap_display_errors();
    cairo_surface_t *surface =
        gdk_window_create_similar_surface(gtk_widget_get_window(canvas), CAIRO_CONTENT_COLOR, size, size);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
        field_too_large();
    cairo_surface_set_device_scale(surface, scale, scale);
    cairo_pattern_t *pattern = cairo_pattern_create_for_surface(surface);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
    if (offscreen) {
        // A new scale factor: the last frame is kept, enlarged or reduced, until the next
        // one is drawn.
        cairo_t *cr = cairo_create(surface);
        cairo_set_source(cr, offscreen_pattern);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_pattern_destroy(offscreen_pattern);
        cairo_surface_destroy(offscreen);
    }
    cairo_surface_flush(surface);
    if (display_error_since_trap())
        field_too_large();
    offscreen = surface;
    offscreen_pattern = pattern;
    if (status_layout) {
        // The text is measured anew at the new scale factor.
        cairo_t *cr = cairo_create(offscreen);
        pango_cairo_update_layout(cr, status_layout);
        cairo_destroy(cr);
    }
}

GdkWindow *native_window(int *ox, int *oy)
{
    GdkWindow *window = gtk_widget_get_window(canvas);
    double dx = 0, dy = 0;
    while (!gdk_window_has_native(window)) {
        gdk_window_coords_to_parent(window, dx, dy, &dx, &dy);
        window = gdk_window_get_parent(window);
    }
    *ox = static_cast<int>(dx);
    *oy = static_cast<int>(dy);
    return window;
}

void set_line_style(cairo_t *cr)
{
    cairo_set_line_width(cr, 2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    // Wires are drawn hard-edged, as the pixel art around them is (and as GTK 2 draws them):
    // a pixel is the line's or not, so a wire redrawn inside a changed rectangle gives
    // exactly the pixels it gives drawn whole.
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
}

Damage::Box lay_out_text(const char *text, int length)
{
    pango_layout_set_text(status_layout, text, length);
    status_baseline = StatusText::baseline(status_layout);
    return StatusText::box(status_layout);
}

bool fit_text_surface(TextSurface &t, cairo_surface_t *like, const Damage::Box &box)
{
    double sx = 0, sy = 0;
    cairo_surface_get_device_scale(like, &sx, &sy);
    if (t.surface && t.width == box.w && t.height == box.h && t.scale == sx)
        return false;
    if (t.surface)
        cairo_surface_destroy(t.surface);
    t.surface = cairo_surface_create_similar(like, CAIRO_CONTENT_COLOR_ALPHA, box.w, box.h);
    t.width = box.w;
    t.height = box.h;
    t.scale = sx;
    return true;
}

void draw_laid_out_text(cairo_surface_t *surface, const Damage::Box &box)
{
    cairo_t *cr = cairo_create(surface);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, -box.x, -box.y - status_baseline);
    pango_cairo_show_layout(cr, status_layout);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
}

} // namespace Gtk3Gui

namespace GtkToolkit {

void build_main_window(int field_size)
{
    size = field_size;
    GtkWidget *toplevel = GtkShared::main_window();
    canvas = GtkShared::fill_main_window(size);
    g_signal_connect(canvas, "draw", G_CALLBACK(on_draw), nullptr);
    g_signal_connect(canvas, "notify::scale-factor", G_CALLBACK(on_scale_changed), nullptr);

    // The window is never smaller than with the field at 1x; larger, the field takes the
    // largest whole factor that fits.
    gtk_widget_realize(toplevel);
    bool x11 = false;
#ifdef GDK_WINDOWING_X11
    x11 = GDK_IS_X11_DISPLAY(gtk_widget_get_display(toplevel));
#endif
    // On X11 GTK paints the window once the event loop runs, after the pictures are loaded;
    // until then the X server fills it white (as the first frame is) rather than leaving it
    // black. Under Wayland the window's surface holds its shadow too, which must stay clear.
    const GdkRGBA white = {1, 1, 1, 1};
    if (x11)
        gdk_window_set_background_rgba(gtk_widget_get_window(toplevel), &white);
    trap_display_errors();
    gtk_widget_show_all(toplevel);
    // On X11 the sizes are settled now rather than when the event loop first runs, so that
    // the first frame can be drawn in its place on the window before that. Under Wayland,
    // where nothing is drawn on the window before GTK paints it, settling them before the
    // compositor has configured the window gives it a wrong size: part of it is cut off.
    if (x11)
        gtk_container_check_resize(GTK_CONTAINER(toplevel));
    if (display_error_since_trap())
        Gtk3Gui::field_too_large();
    // The window's contents as they ask to be, the field at 1x.
    GtkRequisition natural;
    gtk_widget_get_preferred_size(gtk_bin_get_child(GTK_BIN(toplevel)), nullptr, &natural);
    GtkShared::show_remembered_view(natural.width, natural.height);
}

// The field moved in the canvas or took another factor: GTK paints it again whole (the
// first frames drawn straight onto the window are 1x, in its corner, so from now on frames
// go by way of the canvas), with cursors of the field's new size.
void place_changed(const View::Place &before)
{
    const View::Place &place = GtkShared::field_place();
    if (painter && (place.factor != 1 || place.x != 0 || place.y != 0))
        Drawing::make_canvas();
    if (place.factor != before.factor)
        Gtk3Gui::enlarge_cursors(place.factor);
    gtk_widget_queue_draw(canvas);
}

// The painter is chosen for the display: on X11 with XRender the X server draws and shows
// the frames itself, and until the canvas is made (once the first frame shows: on a large
// field it costs the server more than everything else at start-up) they are drawn straight
// onto the window; elsewhere cairo draws them on a canvas made at once.
void prepare_canvas()
{
    scale = gtk_widget_get_scale_factor(canvas);
    GdkDisplay *display = gtk_widget_get_display(canvas);
    painter = X11Painter::start(display);
    if (!painter) {
#ifdef GDK_WINDOWING_X11
        painter = CairoPainter::start(GDK_IS_X11_DISPLAY(display));
#else
        painter = CairoPainter::start(false);
#endif
    }
    // The layout is made for a surface like the canvas, at its scale factor.
    cairo_surface_t *like = gdk_window_create_similar_surface(gtk_widget_get_window(canvas), CAIRO_CONTENT_COLOR, 1, 1);
    cairo_t *cr = cairo_create(like);
    status_layout = StatusText::new_layout(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(like);
    const View::Place &place = GtkShared::field_place();
    Drawing::prepare(&painter->painter, size,
                     painter->window_first && place.factor == 1 && place.x == 0 && place.y == 0);
    if (!Drawing::canvas_made())
        GtkShared::make_canvas_when_idle();
}

void load_image(const char *name, int, Image **out)
{
    Image *image = static_cast<Image *>(xalloc(sizeof(Image)));
    std::string path = XpmData::picture_path(name);
    std::string reason;
    GdkPixbuf *pixbuf = GtkShared::read_picture(path, &reason);
    if (!pixbuf)
        unreadable(path, reason);
    image->pixbuf = pixbuf;
    image->width = gdk_pixbuf_get_width(pixbuf);
    image->height = gdk_pixbuf_get_height(pixbuf);
    // Decoded once into the form cairo copies fastest; transparent pixels keep alpha 0.
    image->surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image->width, image->height);
    if (cairo_surface_status(image->surface) != CAIRO_STATUS_SUCCESS)
        unreadable(path, "out of memory");
    cairo_t *cr = cairo_create(image->surface);
    gdk_cairo_set_source_pixbuf(cr, pixbuf, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    image->picture = 0;
    make_copy(image, path);
    images.push_back({image, path});
    *out = image;
}

void set_icon(Image *image)
{
    // The window has shown the default icon since before it was first mapped; the same
    // picture set again would only make the window manager read it anew.
    if (!GtkShared::is_default_icon(image->pixbuf))
        gtk_window_set_icon(GTK_WINDOW(GtkShared::main_window()), image->pixbuf);
}

int image_width(Image *image) { return image->width; }
int image_height(Image *image) { return image->height; }

void set_cursor(PointerCursor *cursor)
{
    // Over the canvas only: the menu bar keeps the default pointer.
    gdk_window_set_cursor(gtk_widget_get_window(canvas), cursor->cursor);
    Gtk3Gui::shown_cursor = cursor;
}

// Dialog pictures are enlarged like the field's: pixel for pixel at the scale factor.
GtkWidget *picture(Image *image)
{
    int factor = Gtk3Gui::scale_factor();
    cairo_surface_t *surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image->width * factor, image->height * factor);
    cairo_surface_set_device_scale(surface, factor, factor);
    cairo_t *cr = cairo_create(surface);
    cairo_set_source_surface(cr, image->surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_destroy(cr);
    GtkWidget *widget = gtk_image_new_from_surface(surface);
    cairo_surface_destroy(surface);
    return widget;
}

void show_centred(GtkWidget *dialog)
{
    // Centred by the size it comes up with: a dialog takes the size it asks for, which a text
    // set since its last showing (the scores) may have changed.
    GdkWindow *main = gtk_widget_get_window(GtkShared::main_window());
    gint ox = 0, oy = 0;
    gdk_window_get_origin(main, &ox, &oy);
    GtkRequisition natural;
    gtk_widget_get_preferred_size(dialog, nullptr, &natural);
    GdkRectangle place = GtkShared::centred_place(ox, oy, gdk_window_get_width(main), gdk_window_get_height(main),
                                                  natural.width, natural.height, GtkShared::room_for_dialogs());
    // Wayland leaves the placement to the compositor, which keeps a dialog over the window
    // it belongs to; X takes the position asked for.
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_window_move(GTK_WINDOW(dialog), place.x, place.y);
    gtk_widget_show_all(dialog);
    gtk_window_move(GTK_WINDOW(dialog), place.x, place.y);
}

} // namespace GtkToolkit
