// Cursor outlines: a silhouette's mask grown by one pixel.
#include "gui/cursor_outline.h"

namespace {

bool bit(const unsigned char *bits, int row_bytes, int x, int y)
{
    return (bits[y * row_bytes + x / 8] >> (x % 8)) & 1;
}

} // namespace

namespace CursorOutline {

std::vector<unsigned char> grown_mask(const unsigned char *bits, int width, int height)
{
    int row_bytes = (width + 7) / 8;
    std::vector<unsigned char> mask(static_cast<std::size_t>(row_bytes) * (height > 0 ? height : 0), 0);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; dy++)
                for (int dx = -1; dx <= 1 && !near; dx++) {
                    int nx = x + dx, ny = y + dy;
                    near = nx >= 0 && nx < width && ny >= 0 && ny < height && bit(bits, row_bytes, nx, ny);
                }
            if (near)
                mask[static_cast<std::size_t>(y) * row_bytes + x / 8] |= static_cast<unsigned char>(1 << (x % 8));
        }
    }
    return mask;
}

} // namespace CursorOutline
