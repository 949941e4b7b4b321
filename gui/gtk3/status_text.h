// StatusText: the status line's font on the GTK 3 canvas, for the back end and for the
// tests that look for its text in captures.
#pragma once

#include "gui/damage.h"

#include <pango/pangocairo.h>

namespace StatusText {

// A layout drawing on cr in the status line's font: a small fixed-width face, hinted to
// whole pixels, the same on every display.
PangoLayout *new_layout(cairo_t *cr);
// Distance from the layout's top to the baseline of its first line, in whole pixels.
int baseline(PangoLayout *layout);
// The box of every pixel the layout's text colours, relative to the left end of its
// baseline: its ink and its line's full height, one pixel wider all round for antialiasing.
Damage::Box box(PangoLayout *layout);

} // namespace StatusText
