// Gtk3Gui cursors: pointer shapes made from the bitmaps built into the program, at the
// window's scale factor so that they keep their size on a HiDPI screen.
#include "gui/gtk3/gtk3_private.h"

#include "base/support.h"
#include "gui/cursors.h"

#include <vector>

namespace GtkToolkit {

void load_cursor(const char *name, int self_masked, PointerCursor **out)
{
    PointerCursor *pointer = static_cast<PointerCursor *>(xalloc(sizeof(PointerCursor)));
    const Cursors::Bitmap &row = Cursors::bitmap(name);
    std::vector<Cursors::Shade> shades = Cursors::shades(row, self_masked);
    int factor = Gtk3Gui::scale_factor();
    cairo_surface_t *surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, row.width * factor, row.height * factor);
    cairo_surface_set_device_scale(surface, factor, factor);
    cairo_t *cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    for (int y = 0; y < row.height; y++) {
        for (int x = 0; x < row.width; x++) {
            Cursors::Shade shade = shades[static_cast<size_t>(y * row.width + x)];
            if (shade == Cursors::CLEAR)
                continue;
            double level = shade == Cursors::BLACK ? 0 : 1;
            cairo_set_source_rgb(cr, level, level, level);
            cairo_rectangle(cr, x, y, 1, 1);
            cairo_fill(cr);
        }
    }
    cairo_destroy(cr);
    pointer->cursor = gdk_cursor_new_from_surface(Gtk3Gui::display(), surface, row.width / 2, row.height / 2);
    cairo_surface_destroy(surface);
    *out = pointer;
}

} // namespace GtkToolkit
