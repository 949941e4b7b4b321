// Drawing: frames recorded, compared with the one on the screen and redrawn where they
// differ, through the back end's painter.
#include "gui/drawing.h"

#include "gui/damage.h"
#include "gui/gui.h"
#include "gui/painter.h"

#include <cstring>
#include <string>

namespace {
const Painter *painter = nullptr;   // null until prepare
int size = 0;
bool full = false;                  // every call drawn at once, every present copies it all
bool made = false;                  // the painter draws on its canvas, not on the window
bool window_stale = true;           // the window needs the whole canvas at the next present
bool paused_view = false;
Damage::Canvas damage;              // the calls since the last clear, and what the canvas holds
Image *highlight = nullptr;         // drawn around each box the front marks

// The text the painter holds (set_text) and the box it gave; known false: none yet, or
// the canvas was made anew.
std::string text;
Damage::Box text_box = {0, 0, 0, 0};
bool text_known = false;

// A line 2 pixels wide with round ends colours pixels up to one pixel beyond its ends and
// its centre line; one more keeps the box safe from rounding.
constexpr int LINE_REACH = 2;
} // namespace

namespace {

// The painter holds this text; its box relative to the baseline's left end.
const Damage::Box &hold_text(const char *bytes, size_t length)
{
    if (!text_known || text.size() != length || text.compare(0, length, bytes, length) != 0) {
        text.assign(bytes, length);
        text_box = painter->set_text(text.c_str(), static_cast<int>(length));
        text_known = true;
    }
    return text_box;
}

void draw_call(const Damage::Call &call, const Damage::Box &)
{
    if (call.kind == Damage::PICTURE) {
        painter->draw_picture(call.image, call.x1, call.y1);
    } else if (call.kind == Damage::LINE) {
        painter->draw_line(call.x1, call.y1, call.x2, call.y2);
    } else {
        hold_text(Damage::text_of(damage.composing, call), static_cast<size_t>(call.text_len));
        painter->draw_text(call.x1, call.y1);
    }
}

// Brings what the painter draws on from the frame it shows to the one composed: each
// changed rectangle (all of it when what it shows is not known) is clipped to, made white
// and drawn again.
void redraw()
{
    Damage::redraw(
        damage,
        [](const Damage::Box &r) {
            painter->set_clip(&r);
            painter->fill_white(r);
        },
        draw_call);
    painter->set_clip(nullptr);
}

// Each frame begins with the highlights of the boxes the front marks (the computers that
// would take a dragged distro), so the game's pictures lie over them: a soft rim around each
// box. They are calls of the frame like the game's, redrawn where they change.
void draw_marks()
{
    int count = 0;
    const MarkedBox *boxes = Gui::marked_boxes(&count);
    if (count == 0 || !highlight)
        return;
    int w = Gui::image_width(highlight), h = Gui::image_height(highlight);
    for (int i = 0; i < count; i++)
        Drawing::draw_image(highlight, boxes[i].x + (boxes[i].w - w) / 2, boxes[i].y + (boxes[i].h - h) / 2);
}

void copy_all()
{
    Damage::Box whole = {0, 0, size, size};
    painter->copy_to_window(&whole, 1);
    window_stale = false;
}

} // namespace

namespace Drawing {

void prepare(const Painter *p, int field_size, bool window_first)
{
    painter = p;
    size = field_size;
    full = Damage::full_redraw_requested();
    made = false;
    window_stale = true;
    paused_view = false;
    text_known = false;
    Damage::prepare(damage, size, size);
    Damage::clear(damage.composing);
    Gui::load_image("highlight", 1, &highlight);
    if (full || !window_first)
        make_canvas();
}

void clear_canvas()
{
    if (!full) {
        Damage::clear(damage.composing);
    } else {
        Damage::Box whole = {0, 0, size, size};
        painter->fill_white(whole);
    }
    draw_marks();
}

void draw_image(Image *image, int x, int y)
{
    if (full)
        painter->draw_picture(image, x, y);
    else
        Damage::add_picture(damage.composing, image, x, y, Gui::image_width(image), Gui::image_height(image));
}

void draw_line(int x1, int y1, int x2, int y2)
{
    if (full)
        painter->draw_line(x1, y1, x2, y2);
    else
        Damage::add_line(damage.composing, x1, y1, x2, y2, LINE_REACH);
}

void draw_text(const char *bytes, int x, int y)
{
    const Damage::Box &box = hold_text(bytes, std::strlen(bytes));
    if (full)
        painter->draw_text(x, y);
    else
        Damage::add_text(damage.composing, bytes, x, y, {x + box.x, y + box.y, box.w, box.h});
}

void present_canvas()
{
    // An expose can arrive before the canvas is prepared; there is nothing to show yet.
    if (!painter)
        return;
    // The paused view is made from the canvas.
    if (paused_view && !made)
        make_canvas();
    if (!made) {
        // No canvas yet: the window itself is brought to this frame, whole when what it
        // shows is not known.
        if (window_stale)
            Damage::forget(damage);
        redraw();
        painter->copy_to_window(damage.changes.rects.data(), static_cast<int>(damage.changes.rects.size()));
        window_stale = false;
        return;
    }
    if (!full)
        redraw();
    if (paused_view) {
        // The paused view covers the whole canvas; once it goes, the window needs the
        // frame whole again.
        painter->show_paused_view();
        window_stale = true;
        return;
    }
    if (!full && !window_stale) {
        painter->copy_to_window(damage.changes.rects.data(), static_cast<int>(damage.changes.rects.size()));
        return;
    }
    copy_all();
}

void show_paused(int shown)
{
    paused_view = shown != 0;
    present_canvas();
}

void make_canvas()
{
    if (made)
        return;
    painter->make_canvas();
    made = true;
    // The frame the window shows is drawn on it whole, its text laid out for it.
    text_known = false;
    if (!full) {
        Damage::forget(damage);
        redraw();
    }
}

bool canvas_made() { return made; }
bool paused() { return paused_view; }

void window_exposed()
{
    window_stale = true;
    present_canvas();
}

void canvas_remade()
{
    Damage::forget(damage);
    text_known = false;
}

bool full_redraw() { return full; }

} // namespace Drawing
