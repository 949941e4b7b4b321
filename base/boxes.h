// Boxes (corner, width and height): the hit tests' overlap rule, for the field and the screen.
#pragma once

// Whether two boxes overlap: their centres, halves truncated, lie closer than half their
// summed widths and half their summed heights. Boxes that only touch do not overlap, and
// no position or size can overflow.
int boxes_overlap(int x1, int y1, int w1, int h1, int x2, int y2, int w2, int h2);
