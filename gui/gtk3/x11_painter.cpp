// X11Painter: the GTK 3 painter on an X server with XRender. Every call is an X request of
// our own: cairo's way to each costs the game several times the request itself (a wire,
// turned into trapezoids, more than all of a frame's pictures). Pictures are composited as
// cairo would composite them, wires are the X server's wide lines as GTK 2 draws them (2
// pixels wide, round ends), and the changed rectangles are copied from the canvas pixmap
// straight to the window: a paint through GTK would first copy the box around all of them
// (on a busy level, nearly the whole field) into a buffer of its own. Exposes and the paused
// view go through GTK's paint (on_draw in gtk3_gui.cpp).
//
// Until the canvas is made the painter draws on the window itself, at the canvas's place in
// it. Every coordinate there fits X's 16 bits: the window holds the canvas and its offset.
#include "gui/gtk3/gtk3_private.h"

#include "gui/gtk_common/shared.h"

#include <gdk/gdk.h>

#ifdef GDK_WINDOWING_X11
#include <X11/Xlib.h>
#include <X11/extensions/Xrender.h>
#include <cairo-xlib-xrender.h>
#include <cairo-xlib.h>
#include <gdk/gdkx.h>

namespace {
Display *x = nullptr;
int scale = 1;
// What the painter draws on: the window, then the canvas pixmap; the canvas's place on it
// in device pixels; the XRender picture over it, with its format.
Drawable target = None;
int ox = 0, oy = 0;
Picture target_picture = None;
cairo_surface_t *window_surface = nullptr;  // the window, for surfaces made like it
GC line_gc = nullptr;
GC copy_gc = nullptr;                       // no exposure events for the copies
XRectangle clip = {0, 0, 0, 0};             // on the target, device pixels; width 0: none
Gtk3Gui::TextSurface text = {nullptr, 0, 0, 0};
Picture text_picture = None;
// The window's picture, and the canvas's that reads it enlarged, for a field larger than 1x.
Picture window_picture = None;
Window window_picture_xid = None;
Picture enlarging = None;
Drawable enlarging_pixmap = None;
int enlarging_factor = 0;
Damage::Box text_box = {0, 0, 0, 0};
} // namespace

namespace {

// The XRender picture over an X surface made by cairo.
Picture picture_of(cairo_surface_t *surface)
{
    return XRenderCreatePicture(x, cairo_xlib_surface_get_drawable(surface),
                                cairo_xlib_surface_get_xrender_format(surface), 0, nullptr);
}

// Draws from now on on the drawable, the canvas at (left, top) of it in logical pixels.
void aim_at(Drawable drawable, XRenderPictFormat *format, int left, int top)
{
    if (target_picture)
        XRenderFreePicture(x, target_picture);
    target = drawable;
    target_picture = XRenderCreatePicture(x, drawable, format, 0, nullptr);
    ox = left * scale;
    oy = top * scale;
    clip = {0, 0, 0, 0};
    XGCValues values;
    values.foreground = BlackPixel(x, DefaultScreen(x));
    values.graphics_exposures = False;
    if (line_gc)
        XFreeGC(x, line_gc);
    line_gc = XCreateGC(x, drawable, GCForeground | GCGraphicsExposures, &values);
    XSetLineAttributes(x, line_gc, static_cast<unsigned>(2 * scale), LineSolid, CapRound, JoinMiter);
}

void aim_at_canvas()
{
    cairo_surface_t *canvas = Gtk3Gui::canvas_surface();
    scale = Gtk3Gui::canvas_scale();
    aim_at(cairo_xlib_surface_get_drawable(canvas), cairo_xlib_surface_get_xrender_format(canvas), 0, 0);
}

void make_canvas()
{
    Gtk3Gui::make_canvas_surface();
    aim_at_canvas();
    if (window_surface) {
        cairo_surface_destroy(window_surface);
        window_surface = nullptr;
    }
}

void set_clip(const Damage::Box *box)
{
    if (box) {
        clip = {static_cast<short>(ox + box->x * scale), static_cast<short>(oy + box->y * scale),
                static_cast<unsigned short>(box->w * scale), static_cast<unsigned short>(box->h * scale)};
        XRenderSetPictureClipRectangles(x, target_picture, 0, 0, &clip, 1);
        XSetClipRectangles(x, line_gc, 0, 0, &clip, 1, YXBanded);
    } else {
        clip = {0, 0, 0, 0};
        XRenderPictureAttributes none;
        none.clip_mask = None;
        XRenderChangePicture(x, target_picture, CPClipMask, &none);
        XSetClipMask(x, line_gc, None);
    }
}

void fill_white(const Damage::Box &box)
{
    const XRenderColor white = {0xffff, 0xffff, 0xffff, 0xffff};
    XRenderFillRectangle(x, PictOpSrc, target_picture, &white, ox + box.x * scale, oy + box.y * scale,
                         static_cast<unsigned>(box.w * scale), static_cast<unsigned>(box.h * scale));
}

void composite(Picture picture, int left, int top, int width, int height)
{
    XRenderComposite(x, PictOpOver, picture, None, target_picture, 0, 0, 0, 0, ox + left * scale, oy + top * scale,
                     static_cast<unsigned>(width * scale), static_cast<unsigned>(height * scale));
}

void draw_picture(const Image *image, int left, int top)
{
    composite(image->picture, left, top, image->width, image->height);
}

void draw_line(int x1, int y1, int x2, int y2)
{
    XDrawLine(x, target, line_gc, ox + x1 * scale, oy + y1 * scale, ox + x2 * scale, oy + y2 * scale);
}

// The text is drawn once, by Pango into a surface beside the canvas, and composited like a
// picture.
Damage::Box set_text(const char *bytes, int length)
{
    text_box = Gtk3Gui::lay_out_text(bytes, length);
    if (text_box.w <= 0 || text_box.h <= 0)
        return text_box;
    cairo_surface_t *like = window_surface ? window_surface : Gtk3Gui::canvas_surface();
    if (Gtk3Gui::fit_text_surface(text, like, text_box)) {
        if (text_picture)
            XRenderFreePicture(x, text_picture);
        text_picture = picture_of(text.surface);
    }
    Gtk3Gui::draw_laid_out_text(text.surface, text_box);
    return text_box;
}

void draw_text(int left, int baseline)
{
    if (text_box.w > 0 && text_box.h > 0)
        composite(text_picture, left + text_box.x, baseline + text_box.y, text_box.w, text_box.h);
}

void copy_to_window(const Damage::Box *rects, int count)
{
    if (window_surface) {
        // Drawn on the window already.
        XFlush(x);
        return;
    }
    X11Painter::copy_canvas(rects, count);
}

void show_paused_view() { gtk_widget_queue_draw(Gtk3Gui::canvas_widget()); }

void adopt(Image *image) { image->picture = picture_of(image->copy); }

void release(Image *image)
{
    if (image->picture)
        XRenderFreePicture(x, image->picture);
    image->picture = 0;
}

// In the order of gtk3_private.h and gui/painter.h.
constexpr Gtk3Painter PAINTER = {{make_canvas, set_clip, fill_white, draw_picture, draw_line, set_text, draw_text,
                                  copy_to_window, show_paused_view},
                                 true, adopt, release, aim_at_canvas};

} // namespace

namespace X11Painter {

void copy_canvas(const Damage::Box *rects, int count)
{
    cairo_surface_t *canvas = Gtk3Gui::canvas_surface();
    Display *display = cairo_xlib_surface_get_display(canvas);
    int s = Gtk3Gui::canvas_scale();
    int left = 0, top = 0;
    Window xid = GDK_WINDOW_XID(Gtk3Gui::native_window(&left, &top));
    const View::Place &place = GtkShared::field_place();
    // The field's corner on the window, device pixels.
    int x0 = (left + place.x) * s, y0 = (top + place.y) * s;
    // What cairo has still to send goes first.
    cairo_surface_flush(canvas);
    Drawable pixmap = cairo_xlib_surface_get_drawable(canvas);
    XRenderPictFormat *format = cairo_xlib_surface_get_xrender_format(canvas);
    if (place.factor == 1 || !format) {
        if (!copy_gc) {
            XGCValues values;
            values.graphics_exposures = False;
            copy_gc = XCreateGC(display, xid, GCGraphicsExposures, &values);
        }
        for (int i = 0; i < count; i++) {
            const Damage::Box &r = rects[i];
            XCopyArea(display, pixmap, xid, copy_gc, r.x * s, r.y * s, static_cast<unsigned>(r.w * s),
                      static_cast<unsigned>(r.h * s), x0 + r.x * s, y0 + r.y * s);
        }
        XFlush(display);
        return;
    }
    // Larger than 1x: XRender reads the canvas enlarged, each pixel a factor x factor block.
    if (window_picture_xid != xid) {
        if (window_picture)
            XRenderFreePicture(display, window_picture);
        XWindowAttributes attributes;
        XGetWindowAttributes(display, xid, &attributes);
        window_picture =
            XRenderCreatePicture(display, xid, XRenderFindVisualFormat(display, attributes.visual), 0, nullptr);
        window_picture_xid = xid;
    }
    if (enlarging_pixmap != pixmap || enlarging_factor != place.factor) {
        if (enlarging)
            XRenderFreePicture(display, enlarging);
        enlarging = XRenderCreatePicture(display, pixmap, format, 0, nullptr);
        XFixed step = View::step_fixed(place.factor);
        XTransform shrink = {{{step, 0, 0}, {0, step, 0}, {0, 0, XDoubleToFixed(1)}}};
        XRenderSetPictureTransform(display, enlarging, &shrink);
        XRenderSetPictureFilter(display, enlarging, FilterNearest, nullptr, 0);
        enlarging_pixmap = pixmap;
        enlarging_factor = place.factor;
    }
    int f = place.factor;
    for (int i = 0; i < count; i++) {
        const Damage::Box &r = rects[i];
        XRenderComposite(display, PictOpSrc, enlarging, None, window_picture, r.x * s * f, r.y * s * f, 0, 0,
                         x0 + r.x * s * f, y0 + r.y * s * f, static_cast<unsigned>(r.w * s * f),
                         static_cast<unsigned>(r.h * s * f));
    }
    XFlush(display);
}

const Gtk3Painter *start(GdkDisplay *display)
{
    if (!GDK_IS_X11_DISPLAY(display))
        return nullptr;
    x = GDK_DISPLAY_XDISPLAY(display);
    int event_base = 0, error_base = 0;
    if (!XRenderQueryExtension(x, &event_base, &error_base))
        return nullptr;
    // The first frames go straight onto the window, at the canvas's place in it.
    scale = Gtk3Gui::canvas_scale();
    int left = 0, top = 0;
    GdkWindow *window = Gtk3Gui::native_window(&left, &top);
    Visual *visual = GDK_VISUAL_XVISUAL(gdk_window_get_visual(window));
    int size = Gtk3Gui::canvas_size();
    window_surface = cairo_xlib_surface_create(x, GDK_WINDOW_XID(window), visual, (left + size) * scale,
                                               (top + size) * scale);
    cairo_surface_set_device_scale(window_surface, scale, scale);
    aim_at(GDK_WINDOW_XID(window), XRenderFindVisualFormat(x, visual), left, top);
    return &PAINTER;
}

} // namespace X11Painter

#else

namespace X11Painter {

const Gtk3Painter *start(GdkDisplay *) { return nullptr; }
void copy_canvas(const Damage::Box *, int) {}

} // namespace X11Painter

#endif
