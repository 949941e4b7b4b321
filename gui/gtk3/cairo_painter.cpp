// CairoPainter: the GTK 3 painter wherever the X server does not draw for us (Wayland, or
// an X server without XRender). cairo draws every call on the canvas, and GTK paints the
// changed rectangles from it (see on_draw in gtk3_gui.cpp).
#include "gui/gtk3/gtk3_private.h"

#include "gui/gtk_common/shared.h"

namespace {
cairo_t *cr = nullptr;              // on the canvas, lines 2 pixels wide with round ends
Gtk3Gui::TextSurface text = {nullptr, 0, 0, 0};
cairo_pattern_t *text_pattern = nullptr;
Damage::Box text_box = {0, 0, 0, 0};
} // namespace

namespace {

void new_cr()
{
    if (cr)
        cairo_destroy(cr);
    cr = cairo_create(Gtk3Gui::canvas_surface());
    Gtk3Gui::set_line_style(cr);
}

void make_canvas()
{
    Gtk3Gui::make_canvas_surface();
    new_cr();
}

void set_clip(const Damage::Box *clip)
{
    cairo_reset_clip(cr);
    if (clip) {
        cairo_rectangle(cr, clip->x, clip->y, clip->w, clip->h);
        cairo_clip(cr);
    }
}

void fill_white(const Damage::Box &box)
{
    cairo_save(cr);
    cairo_rectangle(cr, box.x, box.y, box.w, box.h);
    cairo_clip(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_restore(cr);
}

// Nothing is painted beyond the picture's edges: the pattern is clear there.
void paint_pattern(cairo_pattern_t *pattern, int x, int y)
{
    cairo_matrix_t place;
    cairo_matrix_init_translate(&place, -x, -y);
    cairo_pattern_set_matrix(pattern, &place);
    cairo_set_source(cr, pattern);
    cairo_paint(cr);
}

void draw_picture(const Image *image, int x, int y) { paint_pattern(image->pattern, x, y); }

void draw_line(int x1, int y1, int x2, int y2)
{
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, x1, y1);
    cairo_line_to(cr, x2, y2);
    cairo_stroke(cr);
}

// The text is drawn once, into a surface beside the canvas, and copied like a picture.
Damage::Box set_text(const char *bytes, int length)
{
    text_box = Gtk3Gui::lay_out_text(bytes, length);
    if (text_box.w <= 0 || text_box.h <= 0)
        return text_box;
    if (Gtk3Gui::fit_text_surface(text, Gtk3Gui::canvas_surface(), text_box)) {
        if (text_pattern)
            cairo_pattern_destroy(text_pattern);
        text_pattern = cairo_pattern_create_for_surface(text.surface);
        cairo_pattern_set_filter(text_pattern, CAIRO_FILTER_NEAREST);
    }
    Gtk3Gui::draw_laid_out_text(text.surface, text_box);
    return text_box;
}

void draw_text(int x, int y)
{
    if (text_box.w > 0 && text_box.h > 0)
        paint_pattern(text_pattern, x + text_box.x, y + text_box.y);
}

// GTK paints what it is asked to from the canvas, at the field's place and factor.
void copy_to_window(const Damage::Box *rects, int count)
{
    const View::Place &place = GtkShared::field_place();
    int f = place.factor;
    for (int i = 0; i < count; i++)
        gtk_widget_queue_draw_area(Gtk3Gui::canvas_widget(), place.x + rects[i].x * f, place.y + rects[i].y * f,
                                   rects[i].w * f, rects[i].h * f);
}

void show_paused_view() { gtk_widget_queue_draw(Gtk3Gui::canvas_widget()); }

void adopt(Image *) {}
void release(Image *) {}

// In the order of gtk3_private.h and gui/painter.h.
constexpr Gtk3Painter painter_copying_with(void (*copy)(const Damage::Box *, int))
{
    return {{make_canvas, set_clip, fill_white, draw_picture, draw_line, set_text, draw_text, copy, show_paused_view},
            false, adopt, release, new_cr};
}

constexpr Gtk3Painter PAINTER = painter_copying_with(copy_to_window);
constexpr Gtk3Painter PAINTER_X_COPY = painter_copying_with(X11Painter::copy_canvas);

} // namespace

namespace CairoPainter {

const Gtk3Painter *start(bool copied_by_x_server) { return copied_by_x_server ? &PAINTER_X_COPY : &PAINTER; }

} // namespace CairoPainter
