// Cursor outlines: a silhouette's mask grown by one pixel, so the cursor gets a rim.
#pragma once

#include <vector>

namespace CursorOutline {

// The XBM bitmap (rows of whole bytes, least significant bit leftmost) with every pixel
// that touches a set one, diagonals included, set as well; the same size and layout.
std::vector<unsigned char> grown_mask(const unsigned char *bits, int width, int height);

} // namespace CursorOutline
