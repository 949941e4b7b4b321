// Gtk3Gui: the GTK 3 back end's window, off-screen canvas, pictures and scale factor.
//
// The field is laid out in logical pixels. The off-screen canvas holds scale x scale device
// pixels for each of them (the window's scale factor: 2 on a 2x screen) and pictures are
// copied onto it with nearest-neighbour filtering, so pixel art stays crisp at any scale.
//
// The canvas and the pictures live where the window does: on X11 they are pixmaps in the X
// server, so a frame is composed and shown by the server alone and nothing the size of the
// field crosses the connection; on Wayland they are images in our memory.
#include "gui/gtk3/gtk3_gui.h"
#include "gui/gtk3/gtk3_private.h"

#include "base/support.h"
#include "gui/damage.h"
#include "gui/gtk3/status_text.h"
#include "gui/gtk_common/shared.h"

#ifdef GDK_WINDOWING_X11
#include <X11/Xlib.h>
#include <X11/extensions/Xrender.h>
#include <cairo-xlib-xrender.h>
#include <cairo-xlib.h>
#include <gdk/gdkx.h>
#endif
#ifdef GDK_WINDOWING_WAYLAND
#include <gdk/gdkwayland.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace {
GtkWidget *toplevel = nullptr;
GtkWidget *canvas = nullptr;
int canvas_size = 0;                        // logical pixels
int scale = 1;                              // device pixels per logical pixel
cairo_surface_t *offscreen = nullptr;       // every frame is composed here, then shown
cairo_pattern_t *offscreen_pattern = nullptr;
cairo_t *offscreen_cr = nullptr;            // lines 2 pixels wide with round ends
cairo_t *draw_cr = nullptr;                 // offscreen_cr, or at first window_cr
PangoLayout *status_layout = nullptr;       // the status line's font, reused every frame
std::string status_text;                    // the text the layout holds
// Where the layout's text draws, relative to its baseline start: measured once per text (the
// text changes every few ticks; measuring it costs more than the rest of a frame).
struct TextPlace {
    bool known;
    int baseline;                           // from the layout's top
    Damage::Box box;                        // every pixel it can colour
};
TextPlace status_place = {false, 0, {0, 0, 0, 0}};
// The text as drawn, on a clear background, beside the canvas: a frame copies it like a
// picture, and Pango draws it again only when it changes.
Image text_image = {0, 0, nullptr, nullptr, nullptr, nullptr, 0};
bool text_image_current = false;
bool paused = false;                        // the field shows as paused (see on_draw)

// Redrawing only what changed, as the GTK 2 back end does (see gui/README): the calls of a
// frame are recorded; at present time only the rectangles where they differ from the
// frame offscreen holds are cleared, redrawn and shown.
bool full_redraw = false;
Damage::Canvas damage;
#ifdef GDK_WINDOWING_X11
// On X11 the canvas is a pixmap in the X server and each changed rectangle is copied from it
// straight to the window: a paint through GTK would first copy the box around all of them
// (on a busy level, nearly the whole field) into a buffer of its own. Exposes still go
// through GTK.
GC copy_gc = nullptr;                       // no exposure events for these copies
// On a large field making the canvas costs the X server more than everything else at
// start-up (a 4000 field's is 64 MB, and each page is the kernel's to clear). So it is made
// once the first frame shows; until then frames are drawn straight onto the window, through
// window_cr, clipped to the field's part of it.
cairo_surface_t *window_surface = nullptr;
cairo_t *window_cr = nullptr;
int window_ox = 0, window_oy = 0;           // the canvas's place on that window, logical pixels
// On an X11 canvas the pictures and wires are drawn with X requests made here: cairo's way
// to each costs the game several times the request itself (a wire, turned into trapezoids,
// more than all of a frame's pictures). Wires are drawn as the GTK 2 back end draws them (2
// pixels wide, round ends); pictures are composited as cairo would. On Wayland cairo draws.
GC line_gc = nullptr;
int line_gc_scale = 0;                      // the scale factor its line width is set for
Picture target_picture = None;              // over target_drawable, for the pictures
Drawable target_drawable = None;
Damage::Box x_clip = {0, 0, 0, 0};          // the changed rectangle being redrawn; w 0: none
XRectangle line_gc_clip = {0, 0, 0, 0};     // the clips line_gc and target_picture have,
XRectangle picture_clip = {0, 0, 0, 0};     // on their drawable; width 0: none
#endif

// A line 2 pixels wide with round ends colours pixels up to one pixel beyond its ends and
// its centre line; one more keeps the box safe from rounding.
constexpr int LINE_REACH = 2;
} // namespace

namespace {

// The largest side of a cairo image surface, in device pixels.
constexpr std::int64_t MAX_SURFACE_SIDE = 32767;

[[noreturn]] void field_too_large()
{
    fatal("the display cannot hold a %d x %d play field", canvas_size, canvas_size);
}

// X reports a window or picture it has no room for asynchronously; the trap turns that into
// our one-line message instead of GDK's abort. Wayland has no such errors: a buffer too large
// for the compositor is caught before it is made (see make_offscreen).
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

// The text's measurements and its drawing no longer hold (a new text, a new scale factor).
void forget_text_drawing()
{
    status_place.known = false;
    text_image_current = false;
}

// The layout holds text (laid out again only when the text changes).
void set_status_text(const char *text, size_t length)
{
    if (status_text.size() != length || status_text.compare(0, length, text, length) != 0) {
        status_text.assign(text, length);
        pango_layout_set_text(status_layout, status_text.c_str(), static_cast<int>(length));
        forget_text_drawing();
    }
}

const TextPlace &text_place()
{
    if (!status_place.known) {
        // The box of the ink and of the line's full height, one pixel wider for antialiasing.
        PangoRectangle ink, logical;
        pango_layout_get_pixel_extents(status_layout, &ink, &logical);
        int left = std::min(ink.x, logical.x) - 1;
        int right = std::max(ink.x + ink.width, logical.x + logical.width) + 1;
        int top = std::min(ink.y, logical.y) - 1;
        int bottom = std::max(ink.y + ink.height, logical.y + logical.height) + 1;
        status_place.baseline = StatusText::baseline(status_layout);
        status_place.box = {left, top - status_place.baseline, right - left, bottom - top};
        status_place.known = true;
    }
    return status_place;
}

// The XRender picture over an X surface; 0 for any other surface, or where the X server
// has no XRender.
unsigned long x_picture_of(cairo_surface_t *surface)
{
#ifdef GDK_WINDOWING_X11
    if (cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_XLIB) {
        XRenderPictFormat *format = cairo_xlib_surface_get_xrender_format(surface);
        if (format)
            return XRenderCreatePicture(cairo_xlib_surface_get_display(surface),
                                        cairo_xlib_surface_get_drawable(surface), format, 0, nullptr);
    }
#endif
    return 0;
}

#ifdef GDK_WINDOWING_X11
// Where draw_cr draws, for X requests: the drawable, and the canvas's place on it in device
// pixels; false when it is not an X drawable. The window holds the canvas and its offset, so
// every coordinate on it fits X's 16 bits.
struct XTarget {
    cairo_surface_t *surface;
    Display *display;
    Drawable drawable;
    int ox, oy;
};

bool x_target(XTarget &t)
{
    t.surface = cairo_get_target(draw_cr);
    if (cairo_surface_get_type(t.surface) != CAIRO_SURFACE_TYPE_XLIB)
        return false;
    t.display = cairo_xlib_surface_get_display(t.surface);
    t.drawable = cairo_xlib_surface_get_drawable(t.surface);
    t.ox = draw_cr == window_cr ? window_ox * scale : 0;
    t.oy = draw_cr == window_cr ? window_oy * scale : 0;
    // What cairo has still to send goes first.
    cairo_surface_flush(t.surface);
    return true;
}

// The changed rectangle being redrawn, on t's drawable.
XRectangle x_clip_on(const XTarget &t)
{
    if (x_clip.w <= 0)
        return {0, 0, 0, 0};
    return {static_cast<short>(t.ox + x_clip.x * scale), static_cast<short>(t.oy + x_clip.y * scale),
            static_cast<unsigned short>(x_clip.w * scale), static_cast<unsigned short>(x_clip.h * scale)};
}

bool same_rectangle(const XRectangle &a, const XRectangle &b)
{
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

// The picture drawn by the X server; false when it cannot be (not an X drawable, or a copy
// made at another scale factor, which cairo enlarges or reduces as it draws).
bool draw_x_picture(const Image *image, int x, int y)
{
    XTarget t;
    if (!image->picture || !x_target(t))
        return false;
    double sx = 0, sy = 0;
    cairo_surface_get_device_scale(image->copy, &sx, &sy);
    if (sx != scale || sy != scale)
        return false;
    if (t.drawable != target_drawable) {
        if (target_picture)
            XRenderFreePicture(t.display, target_picture);
        target_picture = x_picture_of(t.surface);
        target_drawable = t.drawable;
        picture_clip = {0, 0, 0, 0};
    }
    if (!target_picture)
        return false;
    XRectangle clip = x_clip_on(t);
    if (!same_rectangle(clip, picture_clip)) {
        if (clip.width > 0) {
            XRenderSetPictureClipRectangles(t.display, target_picture, 0, 0, &clip, 1);
        } else {
            XRenderPictureAttributes none;
            none.clip_mask = None;
            XRenderChangePicture(t.display, target_picture, CPClipMask, &none);
        }
        picture_clip = clip;
    }
    XRenderComposite(t.display, PictOpOver, image->picture, None, target_picture, 0, 0, 0, 0, t.ox + x * scale,
                     t.oy + y * scale, static_cast<unsigned>(image->width * scale),
                     static_cast<unsigned>(image->height * scale));
    cairo_surface_mark_dirty(t.surface);
    return true;
}
#endif

void paint_image(const Image *image, int x, int y)
{
#ifdef GDK_WINDOWING_X11
    if (draw_x_picture(image, x, y))
        return;
#endif
    // Nothing is painted beyond the picture's edges: the pattern is clear there.
    cairo_matrix_t place;
    cairo_matrix_init_translate(&place, -x, -y);
    cairo_pattern_set_matrix(image->pattern, &place);
    cairo_set_source(draw_cr, image->pattern);
    cairo_paint(draw_cr);
}

#ifdef GDK_WINDOWING_X11
// The line drawn by the X server; false when draw_cr's target is not an X drawable.
bool draw_x_line(int x1, int y1, int x2, int y2)
{
    XTarget t;
    if (!x_target(t))
        return false;
    if (!line_gc) {
        XGCValues values;
        values.foreground = BlackPixelOfScreen(cairo_xlib_surface_get_screen(t.surface));
        values.graphics_exposures = False;
        line_gc = XCreateGC(t.display, t.drawable, GCForeground | GCGraphicsExposures, &values);
    }
    if (line_gc_scale != scale) {
        XSetLineAttributes(t.display, line_gc, static_cast<unsigned>(2 * scale), LineSolid, CapRound, JoinMiter);
        line_gc_scale = scale;
    }
    XRectangle clip = x_clip_on(t);
    if (!same_rectangle(clip, line_gc_clip)) {
        if (clip.width > 0)
            XSetClipRectangles(t.display, line_gc, 0, 0, &clip, 1, YXBanded);
        else
            XSetClipMask(t.display, line_gc, None);
        line_gc_clip = clip;
    }
    XDrawLine(t.display, t.drawable, line_gc, t.ox + x1 * scale, t.oy + y1 * scale, t.ox + x2 * scale,
              t.oy + y2 * scale);
    cairo_surface_mark_dirty(t.surface);
    return true;
}
#endif

void paint_line(int x1, int y1, int x2, int y2)
{
#ifdef GDK_WINDOWING_X11
    if (draw_x_line(x1, y1, x2, y2))
        return;
#endif
    cairo_set_source_rgb(draw_cr, 0, 0, 0);
    cairo_move_to(draw_cr, x1, y1);
    cairo_line_to(draw_cr, x2, y2);
    cairo_stroke(draw_cr);
}

void free_text_image()
{
#ifdef GDK_WINDOWING_X11
    if (text_image.picture)
        XRenderFreePicture(cairo_xlib_surface_get_display(text_image.copy), text_image.picture);
#endif
    if (text_image.copy) {
        cairo_pattern_destroy(text_image.pattern);
        cairo_surface_destroy(text_image.copy);
    }
    text_image = {0, 0, nullptr, nullptr, nullptr, nullptr, 0};
}

// text_image holds the layout's text, made like draw_cr's target (at its scale factor) or
// reused when its size and scale factor are still right.
void make_text_image(const TextPlace &place)
{
    double sx = 0, sy = 0;
    if (text_image.copy)
        cairo_surface_get_device_scale(text_image.copy, &sx, &sy);
    if (!text_image.copy || text_image.width != place.box.w || text_image.height != place.box.h || sx != scale) {
        free_text_image();
        text_image.width = place.box.w;
        text_image.height = place.box.h;
        text_image.copy = cairo_surface_create_similar(cairo_get_target(draw_cr), CAIRO_CONTENT_COLOR_ALPHA,
                                                       place.box.w, place.box.h);
        text_image.pattern = cairo_pattern_create_for_surface(text_image.copy);
        cairo_pattern_set_filter(text_image.pattern, CAIRO_FILTER_NEAREST);
        text_image.picture = x_picture_of(text_image.copy);
    }
    cairo_t *cr = cairo_create(text_image.copy);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, -place.box.x, -place.box.y - place.baseline);
    pango_cairo_show_layout(cr, status_layout);
    cairo_destroy(cr);
    cairo_surface_flush(text_image.copy);
}

// The status text with its baseline at (x, y); the layout already holds it.
void paint_text(int x, int y)
{
    const TextPlace &place = text_place();
    if (place.box.w <= 0 || place.box.h <= 0)
        return;
    if (!text_image_current) {
        make_text_image(place);
        text_image_current = true;
    }
    paint_image(&text_image, x + place.box.x, y + place.box.y);
}

// Limits draw_cr's drawing to r, a part of the field (the window has a menu bar above it).
void clip_to(const Damage::Box &r)
{
    cairo_reset_clip(draw_cr);
    cairo_rectangle(draw_cr, r.x, r.y, r.w, r.h);
    cairo_clip(draw_cr);
}

// One recorded call drawn by draw_cr, which is clipped to a changed rectangle.
void draw_clipped(const Damage::Call &call, const Damage::Box &)
{
    if (call.kind == Damage::PICTURE) {
        paint_image(call.image, call.x1, call.y1);
    } else if (call.kind == Damage::LINE) {
        paint_line(call.x1, call.y1, call.x2, call.y2);
    } else {
        set_status_text(Damage::text_of(damage.composing, call), static_cast<size_t>(call.text_len));
        paint_text(call.x1, call.y1);
    }
}

// Brings what draw_cr draws on from the frame it shows to the one composed, redrawing only
// the changed rectangles (all of it when what it shows is not known).
void redraw_changes()
{
    Damage::redraw(
        damage,
        [](const Damage::Box &r) {
            clip_to(r);
#ifdef GDK_WINDOWING_X11
            x_clip = r;
#endif
            cairo_set_source_rgb(draw_cr, 1, 1, 1);
            cairo_paint(draw_cr);
        },
        draw_clipped);
    cairo_reset_clip(draw_cr);
#ifdef GDK_WINDOWING_X11
    x_clip = {0, 0, 0, 0};
#endif
}

#ifdef GDK_WINDOWING_X11
// The X window the canvas is drawn by, and the canvas's place in it in logical pixels.
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
#endif

void set_line_style(cairo_t *cr)
{
    cairo_set_line_width(cr, 2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    // Wires are drawn hard-edged, as the pixel art around them is (and as GTK 2 draws them):
    // a pixel is the line's or not, so a wire redrawn inside a changed rectangle gives
    // exactly the pixels it gives drawn whole.
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
}

// Until the canvas is made, frames are drawn on the window itself (X11 only); false where
// that cannot be done, and the canvas is to be made at once.
bool make_window_cr()
{
#ifdef GDK_WINDOWING_X11
    if (!GDK_IS_X11_DISPLAY(gtk_widget_get_display(canvas)))
        return false;
    int ox = 0, oy = 0;
    GdkWindow *window = native_window(&ox, &oy);
    window_surface = cairo_xlib_surface_create(GDK_WINDOW_XDISPLAY(window), GDK_WINDOW_XID(window),
                                               GDK_VISUAL_XVISUAL(gdk_window_get_visual(window)),
                                               (ox + canvas_size) * scale, (oy + canvas_size) * scale);
    cairo_surface_set_device_scale(window_surface, scale, scale);
    window_cr = cairo_create(window_surface);
    cairo_translate(window_cr, ox, oy);
    window_ox = ox;
    window_oy = oy;
    set_line_style(window_cr);
    draw_cr = window_cr;
    return true;
#else
    return false;
#endif
}

void forget_window_cr()
{
#ifdef GDK_WINDOWING_X11
    if (window_cr) {
        cairo_destroy(window_cr);
        cairo_surface_destroy(window_surface);
        window_cr = nullptr;
        window_surface = nullptr;
    }
#endif
}

// The off-screen canvas at the given scale factor; the pattern presents it pixel for pixel.
void make_offscreen(int factor)
{
    std::int64_t side = static_cast<std::int64_t>(canvas_size) * factor;
    if (side > MAX_SURFACE_SIDE)
        field_too_large();
    // Made like the window, at the window's scale factor (which is the one asked for: a
    // new scale factor is reported once the window has it).
    trap_display_errors();
    cairo_surface_t *surface = gdk_window_create_similar_surface(gtk_widget_get_window(canvas),
                                                                 CAIRO_CONTENT_COLOR, canvas_size, canvas_size);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
        field_too_large();
    cairo_surface_set_device_scale(surface, factor, factor);
    cairo_t *cr = cairo_create(surface);
    set_line_style(cr);
    cairo_pattern_t *pattern = cairo_pattern_create_for_surface(surface);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
    if (offscreen) {
        // A new scale factor (the window moved to another screen): the last frame is kept,
        // enlarged or reduced, until the next one is drawn.
        cairo_set_source(cr, offscreen_pattern);
        cairo_paint(cr);
        cairo_pattern_destroy(offscreen_pattern);
        cairo_destroy(offscreen_cr);
        cairo_surface_destroy(offscreen);
    }
    cairo_surface_flush(surface);
    if (display_error_since_trap())
        field_too_large();
    bool first = !offscreen;
    offscreen = surface;
    offscreen_cr = cr;
    draw_cr = cr;
    offscreen_pattern = pattern;
    scale = factor;
    if (status_layout) {
        // The text is measured anew at the new scale factor.
        pango_cairo_update_layout(offscreen_cr, status_layout);
        forget_text_drawing();
    }
    // A new canvas holds the last frame enlarged, not drawn: the next one is drawn whole.
    // The first one is given the frame the window shows at once (the window may have been
    // drawn on directly until now), so that a paint of the window can copy it from here.
    Damage::forget(damage);
    if (first && !full_redraw)
        redraw_changes();
    forget_window_cr();
}

gboolean on_draw(GtkWidget *, cairo_t *cr, gpointer)
{
    // GTK's first paint may come before the idle time the canvas waits for.
    if (!offscreen && draw_cr)
        make_offscreen(gtk_widget_get_scale_factor(canvas));
    // A draw can be asked for before the canvas is prepared; there is nothing to show yet.
    if (offscreen) {
        cairo_set_source(cr, offscreen_pattern);
        cairo_paint(cr);
        // The paused view is painted over the copy: the off-screen canvas is left alone, so
        // the next tick draws exactly what it would have drawn.
        if (paused)
            GtkShared::paint_paused_view(cr, canvas_size);
    }
    return TRUE;
}

void on_scale_changed(GObject *, GParamSpec *, gpointer)
{
    int factor = gtk_widget_get_scale_factor(canvas);
    // draw_cr exists once the canvas is prepared, whether or not offscreen is made yet.
    if (draw_cr && factor != scale) {
        make_offscreen(factor);
        gtk_widget_queue_draw(canvas);
    }
}

[[noreturn]] void unreadable(const std::string &path)
{
    fatal("error reading %s", path.c_str());
}

} // namespace

namespace Gtk3Gui {

namespace {

void open(int *argc, char **argv)
{
    char **args = argv; // GTK takes its own options out of this vector
    // Everything is drawn by cairo in memory: OpenGL would only cost start-up time and
    // memory (a software renderer weighs tens of megabytes). A setting of the player's wins.
    g_setenv("GDK_GL", "disable", FALSE);
    gtk_init(argc, &args);
    GtkShared::set_default_icon();
    toplevel = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkShared::connect_main_window(toplevel);
}

void build_main_window(int size)
{
    canvas_size = size;
    GtkWidget *box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(toplevel), box);
    gtk_box_pack_start(GTK_BOX(box), GtkShared::menu_bar(toplevel), FALSE, FALSE, 0);

    canvas = gtk_drawing_area_new();
    gtk_widget_set_size_request(canvas, size, size);
    gtk_box_pack_start(GTK_BOX(box), canvas, FALSE, FALSE, 0);
    GtkShared::connect_canvas(canvas);
    g_signal_connect(canvas, "draw", G_CALLBACK(on_draw), nullptr);
    g_signal_connect(canvas, "notify::scale-factor", G_CALLBACK(on_scale_changed), nullptr);

    // The window keeps the size it was shown with.
    gtk_window_set_resizable(GTK_WINDOW(toplevel), FALSE);
    // GTK paints the window once the event loop runs, after the pictures are loaded; until
    // then the display fills it white (as the first frame is) rather than leaving it black.
    gtk_widget_realize(toplevel);
    const GdkRGBA white = {1, 1, 1, 1};
    gdk_window_set_background_rgba(gtk_widget_get_window(toplevel), &white);
    trap_display_errors();
    gtk_widget_show_all(toplevel);
    // The sizes are settled now rather than when the event loop first runs, so that the
    // first frame can be drawn in its place on the window before that.
    gtk_container_check_resize(GTK_CONTAINER(toplevel));
    if (display_error_since_trap())
        field_too_large();
}

gboolean make_offscreen_when_idle(gpointer)
{
    if (!offscreen)
        make_offscreen(gtk_widget_get_scale_factor(canvas));
    return G_SOURCE_REMOVE;
}

void prepare_canvas()
{
    full_redraw = Damage::full_redraw_requested();
    Damage::prepare(damage, canvas_size, canvas_size);
    scale = gtk_widget_get_scale_factor(canvas);
    if (full_redraw || !make_window_cr())
        make_offscreen(scale);
    else
        g_idle_add_full(G_PRIORITY_LOW, make_offscreen_when_idle, nullptr, nullptr);
    status_layout = StatusText::new_layout(draw_cr);
}

void load_image(const char *name, int, Image **out)
{
    Image *image = static_cast<Image *>(xalloc(sizeof(Image)));
    std::string path = GtkShared::picture_path(name);
    GdkPixbuf *pixbuf = GtkShared::read_picture(path);
    if (!pixbuf)
        unreadable(path);
    image->pixbuf = pixbuf;
    image->width = gdk_pixbuf_get_width(pixbuf);
    image->height = gdk_pixbuf_get_height(pixbuf);
    // Decoded once into the form cairo copies fastest; transparent pixels keep alpha 0.
    image->surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image->width, image->height);
    if (cairo_surface_status(image->surface) != CAIRO_STATUS_SUCCESS)
        unreadable(path);
    cairo_t *cr = cairo_create(image->surface);
    gdk_cairo_set_source_pixbuf(cr, pixbuf, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    // The copy the canvas is drawn from, enlarged once to the window's scale factor (and
    // enlarged or reduced as it is drawn, should the factor change later).
    trap_display_errors();
    image->copy = gdk_window_create_similar_surface(gtk_widget_get_window(toplevel), CAIRO_CONTENT_COLOR_ALPHA,
                                                    image->width, image->height);
    cr = cairo_create(image->copy);
    cairo_set_source_surface(cr, image->surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(image->copy);
    if (cairo_surface_status(image->copy) != CAIRO_STATUS_SUCCESS || display_error_since_trap())
        unreadable(path);
    image->pattern = cairo_pattern_create_for_surface(image->copy);
    cairo_pattern_set_filter(image->pattern, CAIRO_FILTER_NEAREST);
    image->picture = x_picture_of(image->copy);
    *out = image;
}

void set_icon(Image *image)
{
    // The window has shown the default icon since before it was first mapped; the same
    // picture set again would only make the window manager read it anew.
    if (!GtkShared::is_default_icon(image->pixbuf))
        gtk_window_set_icon(GTK_WINDOW(toplevel), image->pixbuf);
}

int image_width(Image *image) { return image->width; }
int image_height(Image *image) { return image->height; }

void set_cursor(PointerCursor *cursor)
{
    // Over the canvas only: the menu bar keeps the default pointer.
    gdk_window_set_cursor(gtk_widget_get_window(canvas), cursor->cursor);
}

// Copies the changed rectangles from the canvas to the window inside the X server; false
// when the canvas is not an X pixmap (on Wayland), and GTK is to paint them.
bool copy_changes_to_window()
{
#ifdef GDK_WINDOWING_X11
    if (cairo_surface_get_type(offscreen) != CAIRO_SURFACE_TYPE_XLIB)
        return false;
    int ox = 0, oy = 0;
    GdkWindow *window = native_window(&ox, &oy);
    ox *= scale;
    oy *= scale;
    cairo_surface_flush(offscreen);
    Display *x = GDK_WINDOW_XDISPLAY(window);
    Window xid = GDK_WINDOW_XID(window);
    if (!copy_gc) {
        XGCValues values;
        values.graphics_exposures = False;
        copy_gc = XCreateGC(x, xid, GCGraphicsExposures, &values);
    }
    Drawable pixmap = cairo_xlib_surface_get_drawable(offscreen);
    for (const Damage::Box &r : damage.changes.rects)
        XCopyArea(x, pixmap, xid, copy_gc, r.x * scale, r.y * scale, static_cast<unsigned>(r.w * scale),
                  static_cast<unsigned>(r.h * scale), ox + r.x * scale, oy + r.y * scale);
    XFlush(x);
    return true;
#else
    return false;
#endif
}

void clear_canvas()
{
    if (!full_redraw) {
        Damage::clear(damage.composing);
        return;
    }
    cairo_set_source_rgb(offscreen_cr, 1, 1, 1);
    cairo_paint(offscreen_cr);
}

void present_canvas()
{
    // A redraw can be asked for before the canvas is prepared; there is nothing to show yet.
    if (!draw_cr)
        return;
    // The paused view is painted from the off-screen canvas.
    if (!offscreen && paused)
        make_offscreen(scale);
    if (!offscreen) {
        redraw_changes();
        cairo_surface_flush(cairo_get_target(draw_cr));
        gdk_display_flush(gtk_widget_get_display(canvas));
        return;
    }
    if (full_redraw) {
        gtk_widget_queue_draw(canvas);
        return;
    }
    redraw_changes();
    // Only these parts of the window are painted again; the rest already shows this frame.
    if (!paused && copy_changes_to_window())
        return;
    for (const Damage::Box &r : damage.changes.rects)
        gtk_widget_queue_draw_area(canvas, r.x, r.y, r.w, r.h);
}

// The paused view covers the whole canvas, so it comes and goes with a paint of all of it.
void show_paused(int shown)
{
    paused = shown != 0;
    present_canvas();
    if (offscreen)
        gtk_widget_queue_draw(canvas);
}

void draw_image(Image *image, int x, int y)
{
    if (!full_redraw)
        Damage::add_picture(damage.composing, image, x, y, image->width, image->height);
    else
        paint_image(image, x, y);
}

void draw_line(int x1, int y1, int x2, int y2)
{
    if (!full_redraw)
        Damage::add_line(damage.composing, x1, y1, x2, y2, LINE_REACH);
    else
        paint_line(x1, y1, x2, y2);
}

void draw_text(const char *text, int x, int y)
{
    set_status_text(text, strlen(text));
    if (full_redraw) {
        paint_text(x, y);
        return;
    }
    Damage::Box box = text_place().box;
    Damage::add_text(damage.composing, text, x, y, {x + box.x, y + box.y, box.w, box.h});
}

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

GdkDisplay *display() { return gtk_widget_get_display(toplevel); }
int scale_factor() { return gtk_widget_get_scale_factor(toplevel); }

} // namespace Gtk3Gui

namespace GtkToolkit {

GtkWidget *main_window() { return toplevel; }

// Dialog pictures are enlarged like the field's: pixel for pixel at the scale factor.
GtkWidget *picture(Image *image)
{
    int factor = gtk_widget_get_scale_factor(toplevel);
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
    // Centred by the size the dialog comes up with: a text set since its last showing (the
    // scores) may have made it grow. Like GTK, a dialog grows but never shrinks.
    gint ox = 0, oy = 0, dw = 0, dh = 0;
    GdkWindow *main = gtk_widget_get_window(toplevel);
    gdk_window_get_origin(main, &ox, &oy);
    int w = gdk_window_get_width(main), h = gdk_window_get_height(main);
    gtk_window_get_size(GTK_WINDOW(dialog), &dw, &dh);
    GtkRequisition natural;
    gtk_widget_get_preferred_size(dialog, nullptr, &natural);
    dw = MAX(dw, natural.width);
    dh = MAX(dh, natural.height);
    int x = ox + (w - dw) / 2, y = oy + (h - dh) / 2;
    // A dialog taller or wider than the window may reach past the screen's edge when the
    // window sits near it; it is moved back so that all of it, its buttons above all, shows.
    GdkRectangle screen = {0, 0, 0, 0};
    gdk_monitor_get_geometry(gdk_display_get_monitor_at_window(gdk_window_get_display(main), main), &screen);
    x = MAX(screen.x, MIN(x, screen.x + screen.width - dw));
    y = MAX(screen.y, MIN(y, screen.y + screen.height - dh));
    // Wayland leaves the placement to the compositor, which keeps a dialog over the window
    // it belongs to; X takes the position asked for.
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_window_move(GTK_WINDOW(dialog), x, y);
    gtk_widget_show_all(dialog);
    gtk_window_move(GTK_WINDOW(dialog), x, y);
}

} // namespace GtkToolkit
