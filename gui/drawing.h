// Drawing: the one place that knows about frames. A back end fills its canvas slots of
// GuiMethods with the operations below and gives the layer a Painter; the layer records
// each frame's calls, compares them with the frame on the screen and has the painter
// restore and redraw only the changed rectangles, copy them to the window, keep the status
// text drawn until it changes, and show the paused view.
#pragma once

#include "gui/gui.h"

struct Painter;

namespace Drawing {

// A back end's prepare_canvas: from now on the painter draws a size x size field. With
// window_first the first frames are drawn straight onto the window until make_canvas (a
// large canvas costs the display more than everything else at start-up); without it, or
// when the player asked for a full redraw of every frame, the canvas is made at once.
void prepare(const Painter *painter, int size, bool window_first);

// The canvas slots (see gui/README).
void clear_canvas();
void draw_image(Image *image, int x, int y);
void draw_line(int x1, int y1, int x2, int y2);
void draw_text(const char *text, int x, int y);
void present_canvas();
void show_paused(int paused);

// Fills a back end's table with the canvas slots above.
constexpr void fill_slots(GuiMethods &m)
{
    m.clear_canvas = clear_canvas;
    m.draw_image = draw_image;
    m.draw_line = draw_line;
    m.draw_text = draw_text;
    m.present_canvas = present_canvas;
    m.show_paused = show_paused;
}

// For the back end.
// Makes the canvas now, if it is not made yet, and gives it the frame the window shows.
void make_canvas();
bool canvas_made();
// Whether the paused view is up.
bool paused();
// The window lost what it showed (an expose): it gets the whole frame, now.
void window_exposed();
// The painter made its canvas anew (another scale factor): the next frame is drawn whole,
// and the text laid out again.
void canvas_remade();
// The player asked for the old full redraw of every frame (GLIMPWATCH_FULL_REDRAW).
bool full_redraw();

} // namespace Drawing
