// A null back end for the benchmarks: every operation does nothing, pictures have the sizes
// of the committed artwork, read from the XPM headers.
#pragma once

#include "gui/gui.h"

namespace Damage {
struct Frame;
}

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
// From now on every frame's calls are recorded into the frame (null: no longer).
void record_frames(Damage::Frame *frame);

} // namespace NullGui
