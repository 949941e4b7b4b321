// Painter: what a back end does for the drawing layer (gui/drawing.h), in a small table of
// operations. The layer decides what to draw and when; a painter only draws it on its
// canvas or window. gui/README gives the contract of each operation.
#pragma once

#include "gui/damage.h"

struct Image;

// Back ends write their tables in this order. Every slot has a type of its own but the
// first and the last, so a table out of order does not compile.
struct Painter {
    // Makes the off-screen canvas, a square of the field's size; from now on the painter
    // draws there and no longer on the window. Called once, or never when the back end
    // made it before the first frame.
    void (*make_canvas)();
    // Limits the drawing operations below to the rectangle; null: no limit.
    void (*set_clip)(const Damage::Box *clip);
    // Fills the rectangle with the background colour, white.
    void (*fill_white)(const Damage::Box &box);
    // The picture with its top-left corner at (x, y), through its mask.
    void (*draw_picture)(const Image *image, int x, int y);
    // A line 2 pixels wide with round ends, in black.
    void (*draw_line)(int x1, int y1, int x2, int y2);
    // Makes the text the one draw_text draws and returns the box of every pixel it can
    // colour, relative to the left end of its baseline. Called only when the text changes
    // (and for a new canvas), so a painter may lay it out and even draw it once here.
    Damage::Box (*set_text)(const char *text, int length);
    void (*draw_text)(int x, int y);
    // The window shows these rectangles of the canvas from now on. While the painter still
    // draws on the window, what it drew is only sent on its way.
    void (*copy_to_window)(const Damage::Box *rects, int count);
    // The window shows the paused view of the canvas (see show_paused in gui/README).
    void (*show_paused_view)();
};
