// The overlap of two boxes.
#include "base/boxes.h"

int boxes_overlap(int x1, int y1, int w1, int h1, int x2, int y2, int w2, int h2)
{
    // Widened to 64 bits so that boxes far off the field cannot overflow; the
    // result is the same as the plain int arithmetic wherever that one is defined.
    long long dx = (static_cast<long long>(x2) - x1) + (static_cast<long long>(w2) - w1) / 2;
    if ((dx < 0 ? -dx : dx) >= (static_cast<long long>(w1) + w2) / 2)
        return 0;
    long long dy = (static_cast<long long>(y2) - y1) + (static_cast<long long>(h2) - h1) / 2;
    return (dy < 0 ? -dy : dy) < (static_cast<long long>(h1) + h2) / 2;
}
