// The changed rectangles between two frames: every pixel that differs lies inside them, and
// what did not change stays outside.
#include "gui/damage.h"

#include "tests/fake_gui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int SIDE = 100;
constexpr int REACH = 2;

// A stand-in for a back end: each call colours its whole box with a value that depends on
// the call and on what was under it, so any change of a call or of the order of two calls
// over a pixel changes that pixel.
void paint_call(std::vector<uint64_t> &pixels, const Damage::Frame &frame, const Damage::Call &call,
                const Damage::Box &clip)
{
    uint64_t h = 1469598103934665603ULL;
    auto mix = [&h](uint64_t v) { h = (h ^ v) * 1099511628211ULL; };
    mix(static_cast<uint64_t>(call.kind));
    mix(reinterpret_cast<uintptr_t>(call.image));
    for (int v : {call.x1, call.y1, call.x2, call.y2, call.box.x, call.box.y, call.box.w, call.box.h})
        mix(static_cast<uint64_t>(static_cast<int64_t>(v)));
    for (int k = 0; k < call.text_len; k++)
        mix(static_cast<unsigned char>(Damage::text_of(frame, call)[k]));
    for (int y = std::max(call.box.y, clip.y); y < std::min(call.box.y + call.box.h, clip.y + clip.h); y++)
        for (int x = std::max(call.box.x, clip.x); x < std::min(call.box.x + call.box.w, clip.x + clip.w); x++) {
            uint64_t &p = pixels[static_cast<size_t>(y * SIDE + x)];
            p = (p * 31) ^ h;
        }
}

constexpr uint64_t BACKGROUND = 1;

std::vector<uint64_t> paint(const Damage::Frame &frame)
{
    std::vector<uint64_t> pixels(SIDE * SIDE, BACKGROUND);
    for (const Damage::Call &call : frame.calls)
        paint_call(pixels, frame, call, {0, 0, SIDE, SIDE});
    return pixels;
}

bool inside(const Damage::Box &b, int x, int y)
{
    return b.x <= x && x < b.x + b.w && b.y <= y && y < b.y + b.h;
}

bool in_changes(const Damage::Changes &c, int x, int y)
{
    for (const Damage::Box &r : c.rects)
        if (inside(r, x, y))
            return true;
    return false;
}

const Image *picture(const char *name) { return FakeGui::image(name); }

using Build = std::function<void(Damage::Frame &)>;

struct Case {
    const char *name;
    Build before, after;
    std::vector<Damage::Box> changed;     // must lie inside the changes
    std::vector<Damage::Box> unchanged;   // must not meet them
};

Build pictures(std::vector<std::pair<const char *, Damage::Box>> list)
{
    return [list](Damage::Frame &f) {
        for (const auto &p : list)
            Damage::add_picture(f, picture(p.first), p.second.x, p.second.y, p.second.w, p.second.h);
    };
}

Build status(const char *text, int width)
{
    return [text, width](Damage::Frame &f) { Damage::add_text(f, text, 5, 95, {5, 86, width, 11}); };
}

Build both(Build a, Build b)
{
    return [a, b](Damage::Frame &f) {
        a(f);
        b(f);
    };
}

const Damage::Box GLIMP{40, 40, 20, 20};
const Damage::Box FAR_AWAY{0, 70, 10, 10};

// Twenty computers in a row of four and a Glimp walking past them.
Build computers(int skip)
{
    return [skip](Damage::Frame &f) {
        for (int k = 0; k < 20; k++)
            if (k != skip)
                Damage::add_picture(f, picture("computer"), (k % 4) * 24, (k / 4) * 12, 20, 10);
    };
}

std::vector<Case> cases()
{
    return {
        {"identical frames give no rectangle", pictures({{"glimp", GLIMP}, {"bucket", FAR_AWAY}}),
         pictures({{"glimp", GLIMP}, {"bucket", FAR_AWAY}}), {}, {{0, 0, SIDE, SIDE}}},
        {"a picture moved by one pixel", pictures({{"glimp", GLIMP}, {"bucket", FAR_AWAY}}),
         pictures({{"glimp", {41, 40, 20, 20}}, {"bucket", FAR_AWAY}}), {{40, 40, 21, 20}}, {FAR_AWAY}},
        {"a picture appearing under another", pictures({{"computer", GLIMP}}),
         pictures({{"glimp", {45, 45, 20, 20}}, {"computer", GLIMP}}), {{45, 45, 20, 20}}, {FAR_AWAY}},
        {"a picture leaving the field", pictures({{"glimp", {85, 50, 20, 20}}}),
         pictures({{"glimp", {101, 50, 20, 20}}}), {{85, 50, 15, 20}}, {FAR_AWAY}},
        {"a picture partly above and left of the field", pictures({{"glimp", {-10, -12, 20, 20}}}),
         pictures({{"glimp", {-9, -12, 20, 20}}}), {{0, 0, 11, 8}}, {FAR_AWAY}},
        {"two pictures swapping their drawing order",
         pictures({{"glimp", GLIMP}, {"computer", {50, 50, 20, 20}}}),
         pictures({{"computer", {50, 50, 20, 20}}, {"glimp", GLIMP}}), {{50, 50, 10, 10}}, {FAR_AWAY}},
        {"the status text growing longer", status("Score:5", 42), status("Score:50", 48),
         {{5, 86, 48, 11}}, {GLIMP}},
        {"the status text growing shorter", status("Score:50", 48), status("Score:0", 42),
         {{5, 86, 48, 11}}, {GLIMP}},
        {"the same length of text with other digits", status("Score:5", 42), status("Score:6", 42),
         {{5, 86, 42, 11}}, {GLIMP}},
        {"a line added, round ends included", pictures({{"bucket", FAR_AWAY}}),
         both(pictures({{"bucket", FAR_AWAY}}),
              [](Damage::Frame &f) { Damage::add_line(f, 20, 10, 60, 30, REACH); }),
         {{18, 8, 45, 25}}, {FAR_AWAY}},
        {"a line removed", [](Damage::Frame &f) { Damage::add_line(f, 60, 30, 60, 60, REACH); },
         [](Damage::Frame &) {}, {{58, 28, 5, 35}}, {FAR_AWAY}},
        {"a picture dropped from the middle of many", computers(-1), computers(6),
         {{48, 12, 20, 10}}, {{0, 0, 20, 10}, {72, 36, 20, 10}}},
        {"a picture added in the middle of many", computers(6), computers(-1),
         {{48, 12, 20, 10}}, {{0, 0, 20, 10}, {72, 36, 20, 10}}},
        {"everything drawn over a cleared canvas", [](Damage::Frame &) {}, computers(-1),
         {{0, 0, 92, 58}}, {{0, 80, 100, 20}}},
        {"a long line over moving pictures",
         both(computers(-1), [](Damage::Frame &f) { Damage::add_line(f, 0, 99, 99, 0, REACH); }),
         both(both(computers(3), pictures({{"glimp", {30, 20, 20, 20}}})),
              [](Damage::Frame &f) { Damage::add_line(f, 0, 99, 99, 0, REACH); }),
         {{30, 20, 20, 20}}, {{0, 80, 10, 10}}},
    };
}

TEST(Damage, OnlyTheChangedPixelsAreInTheChangedRectangles)
{
    Damage::Frame before, after;
    Damage::Changes changes;
    Damage::prepare(changes, SIDE, SIDE);
    for (const Case &c : cases()) {
        SCOPED_TRACE(c.name);
        Damage::clear(before);
        Damage::clear(after);
        c.before(before);
        c.after(after);
        Damage::compare(before, after, changes);

        std::vector<uint64_t> old_pixels = paint(before), new_pixels = paint(after);
        for (int y = 0; y < SIDE; y++)
            for (int x = 0; x < SIDE; x++)
                if (old_pixels[static_cast<size_t>(y * SIDE + x)] != new_pixels[static_cast<size_t>(y * SIDE + x)]) {
                    ASSERT_TRUE(in_changes(changes, x, y)) << "pixel " << x << "," << y;
                }
        for (const Damage::Box &b : c.changed)
            for (int y = b.y; y < b.y + b.h; y++)
                for (int x = b.x; x < b.x + b.w; x++)
                    ASSERT_TRUE(in_changes(changes, x, y)) << "pixel " << x << "," << y;
        for (const Damage::Box &b : c.unchanged)
            for (int y = b.y; y < b.y + b.h; y++)
                for (int x = b.x; x < b.x + b.w; x++)
                    ASSERT_FALSE(in_changes(changes, x, y)) << "pixel " << x << "," << y;
        // Disjoint and on the canvas, so a back end restores and copies each pixel once.
        for (size_t r = 0; r < changes.rects.size(); r++) {
            const Damage::Box &a = changes.rects[r];
            EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.w > 0 && a.h > 0 && a.x + a.w <= SIDE && a.y + a.h <= SIDE);
            for (size_t s = r + 1; s < changes.rects.size(); s++) {
                const Damage::Box &b = changes.rects[s];
                EXPECT_FALSE(a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h);
            }
        }
    }
}

// A back end redraws, inside each rectangle, every call that meets it: a call that meets a
// rectangle must be handed back for it, long lines included.
TEST(Damage, EveryCallMeetingARectangleIsFoundUnderIt)
{
    Damage::Frame before, after;
    Damage::Changes changes;
    Damage::prepare(changes, SIDE, SIDE);
    computers(-1)(before);
    computers(-1)(after);
    after.calls[3].box.x += 3;   // moved
    after.calls[17].box.y += 1;
    Damage::add_line(after, 0, 99, 99, 0, REACH);
    Damage::compare(before, after, changes);
    ASSERT_FALSE(changes.rects.empty());

    std::vector<int> ids;
    for (const Damage::Call &call : after.calls) {
        Damage::rects_under(changes, call.box, ids);
        for (size_t r = 0; r < changes.rects.size(); r++) {
            const Damage::Box &a = changes.rects[r], &b = call.box;
            bool meets = a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
            bool found = std::count(ids.begin(), ids.end(), static_cast<int>(r)) == 1;
            EXPECT_EQ(meets, found) << "rectangle " << r;
        }
    }
}

// The first pixel where two pictures differ, or "" where they are the same.
std::string first_difference(const std::vector<uint64_t> &a, const std::vector<uint64_t> &b)
{
    for (int y = 0; y < SIDE; y++)
        for (int x = 0; x < SIDE; x++)
            if (a[static_cast<size_t>(y * SIDE + x)] != b[static_cast<size_t>(y * SIDE + x)])
                return "pixel " + std::to_string(x) + "," + std::to_string(y);
    return "";
}

// A back end clips to one rectangle at a time and draws the calls handed to it there: the
// screen must then hold, pixel for pixel, the new frame drawn whole.
TEST(Damage, RedrawingRectangleByRectangleGivesTheWholeFrame)
{
    Damage::Canvas canvas;
    Damage::prepare(canvas, SIDE, SIDE);
    std::vector<uint64_t> screen(SIDE * SIDE, 0);
    Damage::Box clip = {0, 0, 0, 0};
    auto begin = [&](const Damage::Box &r) {
        clip = r;
        for (int y = r.y; y < r.y + r.h; y++)
            std::fill_n(screen.begin() + y * SIDE + r.x, r.w, BACKGROUND);
    };
    auto draw = [&](const Damage::Call &call, const Damage::Box &r) {
        EXPECT_TRUE(r.x == clip.x && r.y == clip.y && r.w == clip.w && r.h == clip.h)
            << "a call handed with another rectangle than the one begun";
        paint_call(screen, canvas.composing, call, clip);
    };
    for (const Case &c : cases()) {
        SCOPED_TRACE(c.name);
        Damage::clear(canvas.composing);
        c.before(canvas.composing);
        Damage::redraw(canvas, begin, draw);
        ASSERT_EQ(first_difference(screen, paint(canvas.composing)), "") << "the frame before";
        Damage::clear(canvas.composing);
        c.after(canvas.composing);
        Damage::redraw(canvas, begin, draw);
        ASSERT_EQ(first_difference(screen, paint(canvas.composing)), "");
    }
}

TEST(Damage, AFieldMostlyChangedIsChangedEverywhere)
{
    Damage::Frame before, after;
    Damage::Changes changes;
    Damage::prepare(changes, SIDE, SIDE);
    Damage::add_picture(after, picture("logo"), 0, 0, SIDE, SIDE / 2 + Damage::TILE);
    Damage::compare(before, after, changes);
    ASSERT_EQ(changes.rects.size(), 1u);
    EXPECT_EQ(changes.rects[0].w, SIDE);
    EXPECT_EQ(changes.rects[0].h, SIDE);
}

TEST(Damage, AnUnknownScreenIsChangedEverywhere)
{
    Damage::Changes changes;
    Damage::prepare(changes, 1000, 37);
    Damage::everything(changes);
    ASSERT_EQ(changes.rects.size(), 1u);
    EXPECT_EQ(changes.rects[0].w, 1000);
    EXPECT_EQ(changes.rects[0].h, 37);
}

} // namespace
