// GtkGui cursors: pointer shapes made from the bitmaps built into the program, as large as
// the field's pixels.
#include "gui/gtk/gtk_private.h"

#include "base/support.h"
#include "gui/cursors.h"
#include "gui/gtk_common/shared.h"

#include <vector>

namespace {
std::vector<PointerCursor *> made;   // every cursor, for a new factor
} // namespace

namespace {

GdkBitmap *bitmap(const std::vector<unsigned char> &bits, int width, int height)
{
    return gdk_bitmap_create_from_data(GtkGui::canvas_window(), reinterpret_cast<const gchar *>(bits.data()),
                                       width, height);
}

GdkCursor *make(const char *name, int self_masked, int factor)
{
    const Cursors::Bitmap &row = Cursors::bitmap(name);
    std::vector<unsigned char> mask = Cursors::mask(row, self_masked);
    int width = row.width * factor, height = row.height * factor;
    GdkBitmap *source = bitmap(Cursors::enlarged(row.bits, row.width, row.height, factor), width, height);
    GdkBitmap *shown = bitmap(Cursors::enlarged(mask.data(), row.width, row.height, factor), width, height);
    GdkCursor *cursor = gdk_cursor_new_from_pixmap(source, shown, GtkGui::cursor_foreground(),
                                                   GtkGui::cursor_background(), width / 2, height / 2);
    g_object_unref(source);
    g_object_unref(shown);
    return cursor;
}

} // namespace

namespace GtkGui {

PointerCursor *shown_cursor = nullptr;

void enlarge_cursors(int factor)
{
    for (PointerCursor *pointer : made) {
        GdkCursor *old = pointer->cursor;
        pointer->cursor = make(pointer->name, pointer->self_masked, factor);
        if (pointer == shown_cursor)
            gdk_window_set_cursor(canvas_window(), pointer->cursor);
        gdk_cursor_unref(old);
    }
}

} // namespace GtkGui

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
