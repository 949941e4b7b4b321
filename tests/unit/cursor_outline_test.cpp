// Cursor outlines: the mask of a silhouette grown by one pixel all around.
#include "gui/cursor_outline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Rows of '#' (set) and '.' (clear) as XBM bytes, and back.
std::vector<unsigned char> xbm(const std::vector<std::string> &rows)
{
    int width = static_cast<int>(rows[0].size()), row_bytes = (width + 7) / 8;
    std::vector<unsigned char> bits(rows.size() * row_bytes, 0);
    for (size_t y = 0; y < rows.size(); y++)
        for (int x = 0; x < width; x++)
            if (rows[y][x] == '#')
                bits[y * row_bytes + x / 8] |= static_cast<unsigned char>(1 << (x % 8));
    return bits;
}

std::vector<std::string> rows_of(const std::vector<unsigned char> &bits, int width, int height)
{
    int row_bytes = (width + 7) / 8;
    std::vector<std::string> rows;
    for (int y = 0; y < height; y++) {
        std::string row;
        for (int x = 0; x < width; x++)
            row += (bits[y * row_bytes + x / 8] >> (x % 8)) & 1 ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

TEST(CursorOutline, MaskGrowsOnePixelAllAroundAndStopsAtTheEdge)
{
    // Ten columns: the second byte of each row is used too.
    std::vector<std::string> shape = {
        "#.........",
        "..........",
        ".......#..",
        "..........",
    };
    std::vector<std::string> grown = {
        "##........",
        "##....###.",
        "......###.",
        "......###.",
    };
    EXPECT_EQ(rows_of(CursorOutline::grown_mask(xbm(shape).data(), 10, 4), 10, 4), grown);
}

} // namespace
