// Damage: where two frames differ, found from their draw calls, so that a back end redraws
// and copies to the window only those parts of the canvas.
//
// A back end records each frame's calls (pictures, lines, texts) instead of drawing them at
// once, together with the box of pixels each call can touch. At present time it compares
// the frame with the one on the screen; outside the changed rectangles every pixel is the
// same as before, inside them it restores the background and draws, clipped to each
// rectangle, every call of the new frame that meets it, in order. Nothing is allocated per
// frame once the buffers have grown to the busiest frame.
#pragma once

#include <string>
#include <vector>

struct Image;

namespace Damage {

// A rectangle of canvas pixels: corner, width and height.
struct Box {
    int x, y, w, h;
};

enum CallKind { PICTURE = 1, LINE = 2, TEXT = 3 };

// One draw call as the back end received it. Two calls are the same when every field is
// (and, for a text, its bytes).
struct Call {
    int kind;
    const Image *image;      // the picture; null for lines and texts
    int x1, y1, x2, y2;      // a picture's corner or a text's baseline start in x1, y1; a line's ends
    int text_at, text_len;   // a text's bytes in its frame's text buffer
    Box box;                 // every pixel the call can change lies inside
};

// The calls made since the canvas was last cleared, in drawing order.
struct Frame {
    std::vector<Call> calls;
    std::string text;   // the bytes of every text of the frame, one after the other
};

// The changed parts of the canvas, as disjoint rectangles made of whole tiles, clipped to
// the canvas. Made once per canvas with prepare and refilled by compare or everything.
struct Changes {
    int width = 0, height = 0;     // the canvas
    int columns = 0, rows = 0;     // of tiles
    std::vector<Box> rects;        // in canvas pixels
    // Internals of the computation, kept between frames so that no frame allocates.
    std::vector<int> tile_rect;    // per tile: the rectangle holding it, or -1
    std::vector<Box> tile_boxes;   // per rectangle: the same in tiles
    std::vector<int> seen;         // per rectangle: the last query of rects_under that found it
    int query = 0;
    int dirty_top = 0, dirty_bottom = -1;   // rows of tiles touched by the last computation
};

constexpr int TILE = 16;   // side of a tile in pixels; changes are rounded out to whole tiles

void clear(Frame &frame);
void add_picture(Frame &frame, const Image *image, int x, int y, int width, int height);
// reach: how far beyond its ends and its centre line the line can colour pixels.
void add_line(Frame &frame, int x1, int y1, int x2, int y2, int reach);
// box: the pixels the drawn text can colour (the back end knows its font).
void add_text(Frame &frame, const char *text, int x, int y, Box box);
// Makes `to` the same frame as `from`, reusing its buffers.
void copy(const Frame &from, Frame &to);
// The bytes of a text call.
const char *text_of(const Frame &frame, const Call &call);

void prepare(Changes &changes, int width, int height);
// The parts of the canvas where drawing `after` gives other pixels than drawing `before`.
void compare(const Frame &before, const Frame &after, Changes &changes);
// The whole canvas, for a frame whose predecessor is not known.
void everything(Changes &changes);
// The indices of the rectangles that the box meets, each once, in `ids` (emptied first).
void rects_under(Changes &changes, const Box &box, std::vector<int> &ids);

// Whether the player asked for the old full redraw of every frame (GLIMPWATCH_FULL_REDRAW
// set to anything but empty or 0): the fallback, and the reference the tests compare with.
bool full_redraw_requested();

// What a back end keeps to redraw only what changed: the frame being composed, the frame its
// canvas holds, and the buffers of the comparison.
struct Canvas {
    Frame composing;
    Frame shown;
    bool shown_known = false;   // false until the first frame is drawn, and after forget
    Changes changes;
    // The calls meeting each changed rectangle, rectangle after rectangle, each in drawing
    // order: rectangle r's are order[starts[r]] up to order[starts[r + 1]].
    std::vector<int> order;
    std::vector<int> starts;
    std::vector<int> ids, hits;   // find_changes' own, kept so that no frame allocates
};

// The canvas's size, once it is made (and again when it is made anew).
void prepare(Canvas &canvas, int width, int height);
// The canvas no longer holds a known frame: the next present redraws it whole.
void forget(Canvas &canvas);

// Finds the changes between the frame the canvas holds and the composed one, and the calls
// meeting each changed rectangle (canvas.order and canvas.starts).
void find_changes(Canvas &canvas);

// Brings the canvas from the frame it holds to the composed one, one changed rectangle after
// the other: `begin(box)` limits drawing to the rectangle and clears it to the background,
// then `draw(call, box)` draws each call of the new frame that meets it, in drawing order.
// The rectangles do not overlap, so one clip per rectangle gives the pixels of the whole
// frame. canvas.changes.rects are then the rectangles to copy to the screen (none when
// nothing changed).
template <class Begin, class Draw> void redraw(Canvas &canvas, Begin begin, Draw draw)
{
    find_changes(canvas);
    const std::vector<Box> &rects = canvas.changes.rects;
    for (size_t r = 0; r < rects.size(); r++) {
        begin(rects[r]);
        for (int k = canvas.starts[r]; k < canvas.starts[r + 1]; k++)
            draw(canvas.composing.calls[static_cast<size_t>(canvas.order[static_cast<size_t>(k)])], rects[r]);
    }
    copy(canvas.composing, canvas.shown);
}

} // namespace Damage
