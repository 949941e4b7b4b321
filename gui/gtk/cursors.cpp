// GtkGui cursors: pointer shapes made from the bitmaps built into the program.
#include "gui/gtk/gtk_private.h"

#include "game/support.h"
#include "gui/cursor_outline.h"
#include "gui/gtk/cursor_bits.h"

#include <cstring>
#include <vector>

namespace {

struct CursorBitmap {
    const char *name;
    int width;
    int height;
    const unsigned char *bits;
    const unsigned char *mask_bits;   // null: the cursor is only ever its own mask
};

// The distro and bucket cursors are solid silhouettes; the hands have an outline mask.
const CursorBitmap cursor_bitmaps[] = {
    {"arch", 28, 24, arch_bits, nullptr},
    {"bsd", 28, 24, bsd_bits, nullptr},
    {"centos", 28, 24, centos_bits, nullptr},
    {"debian", 28, 24, debian_bits, nullptr},
    {"gentoo", 28, 24, gentoo_bits, nullptr},
    {"mandriva", 28, 24, mandriva_bits, nullptr},
    {"openbsd", 28, 24, openbsd_bits, nullptr},
    {"slackware", 28, 24, slackware_bits, nullptr},
    {"suse", 28, 24, suse_bits, nullptr},
    {"ubuntu", 28, 24, ubuntu_bits, nullptr},
    {"bucket", 24, 24, bucket_bits, nullptr},
    {"hand_up", 16, 16, hand_up_bits, hand_up_mask_bits},
    {"hand_down", 16, 16, hand_down_bits, hand_down_mask_bits},
};

// XBM rows are whole bytes; the arrays must hold every row of their bitmap.
constexpr int xbm_bytes(int width, int height) { return (width + 7) / 8 * height; }
static_assert(sizeof(arch_bits) == xbm_bytes(28, 24) && sizeof(ubuntu_bits) == xbm_bytes(28, 24),
              "distro cursor bitmaps are 28 x 24");
static_assert(sizeof(bucket_bits) == xbm_bytes(24, 24), "the bucket cursor is 24 x 24");
static_assert(sizeof(hand_up_bits) == xbm_bytes(16, 16) && sizeof(hand_up_mask_bits) == xbm_bytes(16, 16) &&
              sizeof(hand_down_bits) == xbm_bytes(16, 16) && sizeof(hand_down_mask_bits) == xbm_bytes(16, 16),
              "the hand cursors are 16 x 16");

GdkBitmap *bitmap(const unsigned char *bits, int width, int height)
{
    return gdk_bitmap_create_from_data(GtkGui::canvas_window(), reinterpret_cast<const gchar *>(bits),
                                       width, height);
}

} // namespace

namespace GtkGui {

void load_cursor(const char *name, int self_masked, PointerCursor **out)
{
    PointerCursor *pointer = static_cast<PointerCursor *>(xalloc(sizeof(PointerCursor)));
    const CursorBitmap *row = nullptr;
    for (const CursorBitmap &candidate : cursor_bitmaps) {
        if (strcmp(candidate.name, name) == 0) {
            row = &candidate;
            break;
        }
    }
    if (!row)
        fatal("couldn't load cursor: %s", name);
    GdkBitmap *source = bitmap(row->bits, row->width, row->height);
    // A self-masked silhouette (a row without a mask of its own counts as one) gets a
    // one-pixel rim: its mask grown by a pixel shows white around the black shape, so the
    // cursor stays visible over the dark screen of an infected computer.
    GdkBitmap *mask = nullptr;
    if (self_masked || !row->mask_bits) {
        std::vector<unsigned char> grown = CursorOutline::grown_mask(row->bits, row->width, row->height);
        mask = bitmap(grown.data(), row->width, row->height);
    } else {
        mask = bitmap(row->mask_bits, row->width, row->height);
    }
    pointer->cursor = gdk_cursor_new_from_pixmap(source, mask, cursor_foreground(), cursor_background(),
                                                 row->width / 2, row->height / 2);
    *out = pointer;
}

} // namespace GtkGui
