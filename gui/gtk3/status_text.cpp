// StatusText: the status line's font, its size in logical pixels and its rendering options.
#include "gui/gtk3/status_text.h"

#include <algorithm>

namespace {
// Logical pixels, so that the line keeps its place on the field at any scale factor.
constexpr int FONT_PIXELS = 10;
} // namespace

namespace StatusText {

PangoLayout *new_layout(cairo_t *cr)
{
    PangoLayout *layout = pango_cairo_create_layout(cr);
    // Fixed options, not the desktop's: the text is part of the picture of the field.
    cairo_font_options_t *options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_FULL);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout), options);
    cairo_font_options_destroy(options);
    pango_cairo_context_set_resolution(pango_layout_get_context(layout), 96);
    PangoFontDescription *font = pango_font_description_from_string("Monospace");
    pango_font_description_set_absolute_size(font, FONT_PIXELS * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_context_changed(layout);
    return layout;
}

int baseline(PangoLayout *layout) { return PANGO_PIXELS(pango_layout_get_baseline(layout)); }

Damage::Box box(PangoLayout *layout)
{
    PangoRectangle ink, logical;
    pango_layout_get_pixel_extents(layout, &ink, &logical);
    int left = std::min(ink.x, logical.x) - 1;
    int right = std::max(ink.x + ink.width, logical.x + logical.width) + 1;
    int top = std::min(ink.y, logical.y) - 1;
    int bottom = std::max(ink.y + ink.height, logical.y + logical.height) + 1;
    return {left, top - baseline(layout), right - left, bottom - top};
}

} // namespace StatusText
