// A null back end for the benchmarks: the game alone, or the real drawing layer over a
// painter that draws nothing; pictures have the sizes of the committed artwork, read from the XPM headers, and
// texts the boxes of the status line's real font.
#pragma once

#include "gui/gui.h"

struct Image {
    int width;
    int height;
};

struct PointerCursor {
    int unused;
};

namespace NullGui {

void install(const GuiMethods **out);
// Calls that the game made to draw so far: blits, lines and texts.
long draw_calls();
// The field is size x size from now on (the canvas is prepared anew).
void resize(int size);
// Off (the start): the game's calls are only counted, so a benchmark times the game alone.
// On: they go through the drawing layer as in the program.
void use_drawing_layer(bool on);
// The seconds the last present took: the comparison with the frame before and the redraw
// of what changed.
double last_present_seconds();
// What the last present redrew: its changed rectangles' number and area, the painter's
// calls, and what the layer allocated.
struct Redrawn {
    long rects;
    long area;
    long calls;
    long allocations;
};
Redrawn last_redrawn();

} // namespace NullGui
