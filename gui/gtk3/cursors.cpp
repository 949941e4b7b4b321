// Gtk3Gui cursors: pointer shapes made from the bitmaps built into the program, at the
// window's scale factor so that they keep their size on a HiDPI screen, and as large as the
// field's pixels.
#include "gui/gtk3/gtk3_private.h"

#include "base/support.h"
#include "gui/cursors.h"
#include "gui/gtk_common/shared.h"

#include <vector>

namespace {
std::vector<PointerCursor *> made;   // every cursor, for a new factor
} // namespace

namespace {

GdkCursor *make(const char *name, int self_masked, int factor)
{
    const Cursors::Bitmap &row = Cursors::bitmap(name);
    std::vector<unsigned char> mask = Cursors::mask(row, self_masked);
    int width = row.width * factor, height = row.height * factor;
    std::vector<unsigned char> bits = Cursors::enlarged(row.bits, row.width, row.height, factor);
    std::vector<unsigned char> shown = Cursors::enlarged(mask.data(), row.width, row.height, factor);
    int scale = Gtk3Gui::scale_factor();
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width * scale, height * scale);
    cairo_surface_set_device_scale(surface, scale, scale);
    cairo_t *cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    // Shape pixels black, pixels only in the mask white, the rest transparent.
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            if (!Cursors::xbm_bit(shown.data(), width, x, y))
                continue;
            double shade = Cursors::xbm_bit(bits.data(), width, x, y) ? 0 : 1;
            cairo_set_source_rgb(cr, shade, shade, shade);
            cairo_rectangle(cr, x, y, 1, 1);
            cairo_fill(cr);
        }
    }
    cairo_destroy(cr);
    GdkCursor *cursor = gdk_cursor_new_from_surface(Gtk3Gui::display(), surface, width / 2, height / 2);
    cairo_surface_destroy(surface);
    return cursor;
}

} // namespace

namespace Gtk3Gui {

PointerCursor *shown_cursor = nullptr;

void enlarge_cursors(int factor)
{
    for (PointerCursor *pointer : made) {
        GdkCursor *old = pointer->cursor;
        pointer->cursor = make(pointer->name, pointer->self_masked, factor);
        if (pointer == shown_cursor)
            gdk_window_set_cursor(gtk_widget_get_window(canvas_widget()), pointer->cursor);
        g_object_unref(old);
    }
}

} // namespace Gtk3Gui

namespace GtkToolkit {

void load_cursor(const char *name, int self_masked, PointerCursor **out)
{
    PointerCursor *pointer = static_cast<PointerCursor *>(xalloc(sizeof(PointerCursor)));
    pointer->name = Cursors::bitmap(name).name;
    pointer->self_masked = self_masked;
    pointer->cursor = make(name, self_masked, GtkShared::field_place().factor);
    made.push_back(pointer);
    *out = pointer;
}

} // namespace GtkToolkit
