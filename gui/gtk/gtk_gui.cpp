// GtkGui: the GTK 2 back end's window, canvas, pictures, and its painter: GDK drawing into
// a pixmap in the X server, copied to the window.
#include "gui/gtk/gtk_private.h"

#include "base/support.h"
#include "gui/drawing.h"
#include "gui/gtk_common/shared.h"
#include "gui/painter.h"
#include "gui/xpm_data.h"

#include <X11/extensions/Xrender.h>
#include <gdk/gdkx.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {
GtkWidget *canvas = nullptr;
int canvas_size = 0;
GdkPixmap *offscreen = nullptr;      // the canvas; null until the drawing layer has it made
GdkDrawable *target = nullptr;       // what the painter draws on: offscreen, or at first the window
GdkGC *canvas_gc = nullptr;          // the copies to the window
GdkGC *clip_gc = nullptr;            // lines and text, clipped like everything drawn
Damage::Box clip = {0, 0, 0, 0};     // the clip of the drawing operations; w 0: none
GdkFont *font = nullptr;
std::string text;                    // what draw_text draws
GdkColor black, white;               // cursor colours only, never allocated
GdkPixmap *paused_frame = nullptr;   // the paused view, made the first time it is shown
GdkGC *surround_gc = nullptr;        // the quiet surround of a field smaller than the window
// A field larger than 1x is copied to the window by XRender, each pixel enlarged to a block:
// the window's picture, and the canvas's and the paused view's with their enlargement.
bool xrender = false;
Picture window_picture = None;
struct Source {
    Picture picture;
    int factor;
};
Source canvas_source = {None, 0}, paused_source = {None, 0};
} // namespace

namespace {

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
    gdk_gc_set_line_attributes(gc, 2, GDK_LINE_SOLID, GDK_CAP_ROUND, GDK_JOIN_MITER);
}

// A covered or newly mapped window gets its surround and the whole canvas back.
gboolean on_expose(GtkWidget *widget, GdkEventExpose *, gpointer)
{
    const View::Place &place = GtkShared::field_place();
    GtkAllocation area;
    gtk_widget_get_allocation(widget, &area);
    int side = canvas_size * place.factor;
    if (surround_gc && (area.width > side || area.height > side)) {
        GdkWindow *window = gtk_widget_get_window(widget);
        int right = place.x + side, bottom = place.y + side;
        gdk_draw_rectangle(window, surround_gc, TRUE, 0, 0, area.width, place.y);
        gdk_draw_rectangle(window, surround_gc, TRUE, 0, bottom, area.width, area.height - bottom);
        gdk_draw_rectangle(window, surround_gc, TRUE, 0, place.y, place.x, side);
        gdk_draw_rectangle(window, surround_gc, TRUE, right, place.y, area.width - right, side);
    }
    Drawing::window_exposed();
    return FALSE;
}

// The painter.

// The canvas: a pixmap the size of the field in the X server.
void make_canvas()
{
    gdk_error_trap_push();
    offscreen = gdk_pixmap_new(gtk_widget_get_window(canvas), canvas_size, canvas_size, -1);
    if (x_error_since_trap())
        fatal("the display cannot hold a %d x %d play field", canvas_size, canvas_size);
    target = offscreen;
}

void set_clip(const Damage::Box *box)
{
    if (box) {
        clip = *box;
        GdkRectangle r = {box->x, box->y, box->w, box->h};
        gdk_gc_set_clip_rectangle(clip_gc, &r);
    } else {
        clip = {0, 0, 0, 0};
        gdk_gc_set_clip_mask(clip_gc, nullptr);
    }
}

void fill_white(const Damage::Box &r)
{
    gdk_draw_rectangle(target, gtk_widget_get_style(canvas)->white_gc, TRUE, r.x, r.y, r.w, r.h);
}

void draw_picture(const Image *image, int x, int y)
{
    // The picture's own GC clips to its mask, so the clip limits the part copied.
    int x0 = x, y0 = y, x1 = x + image->width, y1 = y + image->height;
    if (clip.w > 0) {
        x0 = std::max(x0, clip.x);
        y0 = std::max(y0, clip.y);
        x1 = std::min(x1, clip.x + clip.w);
        y1 = std::min(y1, clip.y + clip.h);
        if (x0 >= x1 || y0 >= y1)
            return;
    }
    gdk_gc_set_clip_origin(image->gc, x, y);
    gdk_draw_drawable(target, image->gc, image->pixmap, x0 - x, y0 - y, x0, y0, x1 - x0, y1 - y0);
}

void draw_line(int x1, int y1, int x2, int y2) { gdk_draw_line(target, clip_gc, x1, y1, x2, y2); }

// The box of the ink, and never less than the font's full height. Without the "fixed" font
// there is simply no text, rather than a warning every frame.
Damage::Box set_text(const char *bytes, int length)
{
    text.assign(bytes, static_cast<size_t>(length));
    if (!font)
        return {0, 0, 0, 0};
    gint lbearing, rbearing, width, ascent, descent;
    gdk_text_extents(font, bytes, length, &lbearing, &rbearing, &width, &ascent, &descent);
    int left = std::min(lbearing, 0);
    int right = std::max(rbearing, width);
    int top = -std::max(ascent, font->ascent);
    int bottom = std::max(descent, font->descent);
    return {left, top, right - left, bottom - top};
}

void draw_text(int x, int y)
{
    if (font)
        gdk_draw_text(target, font, clip_gc, x, y, text.data(), static_cast<gint>(text.size()));
}

Display *x_display() { return GDK_DISPLAY_XDISPLAY(gdk_display_get_default()); }

XRenderPictFormat *format_of(GdkDrawable *drawable)
{
    return XRenderFindVisualFormat(x_display(), GDK_VISUAL_XVISUAL(gdk_drawable_get_visual(drawable)));
}

// The drawable's picture that reads it enlarged factor times, pixel for pixel.
Picture enlarging(GdkDrawable *from, Source &source, int factor)
{
    if (source.factor != factor) {
        if (!source.picture)
            source.picture = XRenderCreatePicture(x_display(), GDK_DRAWABLE_XID(from), format_of(from), 0, nullptr);
        XFixed step = View::step_fixed(factor);
        XTransform shrink = {{{step, 0, 0}, {0, step, 0}, {0, 0, XDoubleToFixed(1)}}};
        XRenderSetPictureTransform(x_display(), source.picture, &shrink);
        XRenderSetPictureFilter(x_display(), source.picture, FilterNearest, nullptr, 0);
        source.factor = factor;
    }
    return source.picture;
}

// The rectangles of a field-sized drawable, on the window at the field's place and factor.
void copy_from(GdkDrawable *from, Source &source, const Damage::Box *rects, int count)
{
    GdkWindow *window = gtk_widget_get_window(canvas);
    const View::Place &place = GtkShared::field_place();
    if (place.factor == 1) {
        for (int i = 0; i < count; i++)
            gdk_draw_drawable(window, canvas_gc, from, rects[i].x, rects[i].y, place.x + rects[i].x,
                              place.y + rects[i].y, rects[i].w, rects[i].h);
        return;
    }
    if (!window_picture)
        window_picture = XRenderCreatePicture(x_display(), GDK_WINDOW_XID(window), format_of(window), 0, nullptr);
    Picture picture = enlarging(from, source, place.factor);
    int f = place.factor;
    for (int i = 0; i < count; i++) {
        const Damage::Box &r = rects[i];
        XRenderComposite(x_display(), PictOpSrc, picture, None, window_picture, r.x * f, r.y * f, 0, 0,
                         place.x + r.x * f, place.y + r.y * f, static_cast<unsigned>(r.w * f),
                         static_cast<unsigned>(r.h * f));
    }
}

void copy_to_window(const Damage::Box *rects, int count)
{
    // Until the canvas is made the painter draws on the window itself.
    if (offscreen)
        copy_from(offscreen, canvas_source, rects, count);
}

// The paused view, composed over a copy of the frame and copied whole to the window; the
// canvas itself is left alone, so the next tick draws exactly what it would have drawn.
void show_paused_view()
{
    if (!paused_frame)
        paused_frame = gdk_pixmap_new(offscreen, canvas_size, canvas_size, -1);
    gdk_draw_drawable(paused_frame, canvas_gc, offscreen, 0, 0, 0, 0, canvas_size, canvas_size);
    cairo_t *cr = gdk_cairo_create(paused_frame);
    GtkShared::paint_paused_view(cr, canvas_size);
    cairo_destroy(cr);
    Damage::Box whole = {0, 0, canvas_size, canvas_size};
    copy_from(paused_frame, paused_source, &whole, 1);
}

// In the order of gui/painter.h.
constexpr Painter PAINTER = {make_canvas, set_clip,  fill_white,     draw_picture,    draw_line,
                             set_text,    draw_text, copy_to_window, show_paused_view};

} // namespace

namespace GtkToolkit {

void build_main_window(int size)
{
    canvas_size = size;
    GtkWidget *toplevel = GtkShared::main_window();
    canvas = GtkShared::fill_main_window(size);
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

    // The window is never smaller than it was shown, with the field at 1x; larger, the
    // field takes the largest whole factor that fits, where XRender can enlarge it.
    GdkGeometry geometry = {};
    gint width = 0, height = 0;
    gdk_drawable_get_size(gtk_widget_get_window(toplevel), &width, &height);
    geometry.min_width = width;
    geometry.min_height = height;
    gdk_window_set_geometry_hints(gtk_widget_get_window(toplevel), &geometry, GDK_HINT_MIN_SIZE);
    int event_base = 0, error_base = 0;
    xrender = XRenderQueryExtension(x_display(), &event_base, &error_base);
    if (!xrender)
        GtkShared::limit_factor(1);

    gdk_color_parse("white", &white);
    gdk_color_parse("black", &black);
    surround_gc = gdk_gc_new(gtk_widget_get_window(toplevel));
    GdkColor quiet = {0, static_cast<guint16>((View::SURROUND >> 16 & 0xff) * 257),
                      static_cast<guint16>((View::SURROUND >> 8 & 0xff) * 257),
                      static_cast<guint16>((View::SURROUND & 0xff) * 257)};
    gdk_gc_set_rgb_fg_color(surround_gc, &quiet);
    GtkRequisition natural;
    gtk_widget_size_request(gtk_bin_get_child(GTK_BIN(toplevel)), &natural);
    GtkShared::show_remembered_view(natural.width, natural.height);
}

// The field moved in the canvas or took another factor: it is shown whole again, now, by
// way of the canvas (the first frames drawn straight onto the window are 1x, in its corner),
// with cursors of the field's new size.
void place_changed(const View::Place &before)
{
    const View::Place &place = GtkShared::field_place();
    if (offscreen || place.factor != 1 || place.x != 0 || place.y != 0)
        Drawing::make_canvas();
    if (place.factor != before.factor)
        GtkGui::enlarge_cursors(place.factor);
    gtk_widget_queue_draw(canvas);
}

// On a large field making the canvas costs the X server more than everything else at
// start-up (a 4000 field's is 64 MB, and each page is the kernel's to clear), so the first
// frames are drawn straight onto the window and the canvas is made once the first frame shows.
void prepare_canvas()
{
    GdkWindow *window = gtk_widget_get_window(canvas);
    canvas_gc = gdk_gc_new(window);
    set_line_style(canvas_gc);
    clip_gc = gdk_gc_new(window);
    set_line_style(clip_gc);
    font = gdk_font_load("fixed");
    target = window;
    const View::Place &place = GtkShared::field_place();
    Drawing::prepare(&PAINTER, canvas_size, place.factor == 1 && place.x == 0 && place.y == 0);
    if (!Drawing::canvas_made())
        GtkShared::make_canvas_when_idle();
}

void load_image(const char *name, int, Image **out)
{
    Image *image = static_cast<Image *>(xalloc(sizeof(Image)));
    std::string path = XpmData::picture_path(name);
    // The toolkit decodes from memory what was read and checked here: it never opens a
    // FIFO or a device, nor reads past a row.
    std::vector<std::string> strings;
    std::string reason;
    if (!XpmData::load(path.c_str(), strings, &reason))
        fatal("error reading %s: %s", path.c_str(), reason.c_str());
    std::vector<gchar *> data;
    for (std::string &s : strings)
        data.push_back(&s[0]);
    // A picture too large for the server fails like an unreadable one, not with an X abort.
    gdk_error_trap_push();
    GdkBitmap *mask = nullptr;
    GdkWindow *window = gtk_widget_get_window(GtkShared::main_window());
    image->pixmap = gdk_pixmap_create_from_xpm_d(window, &mask, nullptr, data.data());
    bool x_error = x_error_since_trap();
    if (!image->pixmap || x_error)
        fatal("error reading %s: %s", path.c_str(), x_error ? "too large for the display" : "the toolkit cannot decode it");
    image->mask = mask;
    image->gc = gdk_gc_new(window);
    gdk_gc_set_exposures(image->gc, FALSE);
    gdk_gc_set_clip_mask(image->gc, mask);
    gdk_drawable_get_size(image->pixmap, &image->width, &image->height);
    *out = image;
}

void set_icon(Image *image)
{
    gdk_window_set_icon(gtk_widget_get_window(GtkShared::main_window()), nullptr, image->pixmap, image->mask);
}

int image_width(Image *image) { return image->width; }
int image_height(Image *image) { return image->height; }

void set_cursor(PointerCursor *cursor)
{
    // Over the canvas only: the menu bar keeps the default pointer.
    gdk_window_set_cursor(gtk_widget_get_window(canvas), cursor->cursor);
    GtkGui::shown_cursor = cursor;
}

GtkWidget *picture(Image *image) { return gtk_pixmap_new(image->pixmap, image->mask); }

void show_centred(GtkWidget *dialog)
{
    // Centred by the size it comes up with: a dialog takes the size it asks for, which a text
    // set since its last showing (the scores) may have changed.
    GdkWindow *main = gtk_widget_get_window(GtkShared::main_window());
    gint ox = 0, oy = 0, w = 0, h = 0;
    gdk_window_get_origin(main, &ox, &oy);
    gdk_drawable_get_size(main, &w, &h);
    GtkRequisition natural;
    gtk_widget_size_request(dialog, &natural);
    GdkRectangle place =
        GtkShared::centred_place(ox, oy, w, h, natural.width, natural.height, GtkShared::room_for_dialogs());
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_NONE);
    gtk_widget_set_uposition(dialog, place.x, place.y);
    gtk_widget_show_all(dialog);
    // The first showing of a dialog realized at start-up ignores the position set above.
    gtk_window_move(GTK_WINDOW(dialog), place.x, place.y);
}

} // namespace GtkToolkit

namespace GtkGui {

GdkWindow *canvas_window() { return gtk_widget_get_window(canvas); }
const GdkColor *cursor_foreground() { return &black; }
const GdkColor *cursor_background() { return &white; }

} // namespace GtkGui
