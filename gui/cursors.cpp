// Cursors: the table that tools/draw_art.py writes, looked up by name, and the masks.
#include "gui/cursors.h"

#include "base/fatal.h"
#include "gui/cursor_bitmaps.h"
#include "gui/cursor_outline.h"

#include <cstring>

namespace Cursors {

const Bitmap &bitmap(const char *name)
{
    for (const Bitmap &candidate : CURSOR_BITMAPS)
        if (strcmp(candidate.name, name) == 0)
            return candidate;
    fatal("couldn't load cursor: %s", name);
}

std::vector<unsigned char> mask(const Bitmap &row, int self_masked)
{
    if (self_masked || !row.mask_bits)
        return CursorOutline::grown_mask(row.bits, row.width, row.height);
    return std::vector<unsigned char>(row.mask_bits,
                                      row.mask_bits + (row.width + 7) / 8 * row.height);
}

bool xbm_bit(const unsigned char *bits, int width, int x, int y)
{
    return (bits[y * ((width + 7) / 8) + x / 8] >> (x % 8)) & 1;
}

std::vector<unsigned char> enlarged(const unsigned char *bits, int width, int height, int factor)
{
    int wide = width * factor;
    int row_bytes = (wide + 7) / 8;
    std::vector<unsigned char> out(static_cast<size_t>(row_bytes) * static_cast<size_t>(height * factor), 0);
    for (int y = 0; y < height * factor; y++)
        for (int x = 0; x < wide; x++)
            if (xbm_bit(bits, width, x / factor, y / factor))
                out[static_cast<size_t>(y * row_bytes + x / 8)] |= static_cast<unsigned char>(1u << (x % 8));
    return out;
}

} // namespace Cursors
