// GtkGui cursors: pointer shapes made from the bitmaps built into the program.
#include "gui/gtk/gtk_private.h"

#include "base/support.h"
#include "gui/cursors.h"

#include <vector>

namespace {

GdkBitmap *bitmap(const unsigned char *bits, int width, int height)
{
    return gdk_bitmap_create_from_data(GtkGui::canvas_window(), reinterpret_cast<const gchar *>(bits),
                                       width, height);
}

} // namespace

namespace GtkToolkit {

void load_cursor(const char *name, int self_masked, PointerCursor **out)
{
    PointerCursor *pointer = static_cast<PointerCursor *>(xalloc(sizeof(PointerCursor)));
    const Cursors::Bitmap *row = &Cursors::bitmap(name);
    GdkBitmap *source = bitmap(row->bits, row->width, row->height);
    std::vector<unsigned char> mask_bits = Cursors::mask(*row, self_masked);
    GdkBitmap *mask = bitmap(mask_bits.data(), row->width, row->height);
    pointer->cursor = gdk_cursor_new_from_pixmap(source, mask, GtkGui::cursor_foreground(), GtkGui::cursor_background(),
                                                 row->width / 2, row->height / 2);
    *out = pointer;
}

} // namespace GtkToolkit
