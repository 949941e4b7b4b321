// Cursors: the bitmaps built into the program, and the masks the back ends make cursors with.
#pragma once

#include <vector>

namespace Cursors {

// A built-in cursor bitmap in XBM layout (rows of whole bytes, least significant bit first).
struct Bitmap {
    const char *name;
    int width;
    int height;
    const unsigned char *bits;
    const unsigned char *mask_bits; // null: the cursor is only ever its own mask
};

// The bitmap called name (compared exactly); a name without one is fatal.
const Bitmap &bitmap(const char *name);
// The mask a cursor is made with: a self-masked silhouette (a row without a mask of its own
// counts as one) gets its bitmap grown by a pixel, a white rim around the black shape that
// keeps it visible over the dark screen of an infected computer; the others their own mask.
std::vector<unsigned char> mask(const Bitmap &row, int self_masked);
// Whether pixel (x, y) of an XBM bitmap of that width is set.
bool xbm_bit(const unsigned char *bits, int width, int x, int y);
// The XBM bitmap enlarged factor times, every pixel a factor x factor block: a bitmap of
// width * factor by height * factor.
std::vector<unsigned char> enlarged(const unsigned char *bits, int width, int height, int factor);

} // namespace Cursors
