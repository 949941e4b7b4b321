// A null back end for the benchmarks: every operation does nothing, pictures have the sizes
// of the committed artwork, read from the XPM headers.
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
// Calls that would have reached the screen so far: blits, lines and texts.
long draw_calls();

} // namespace NullGui
