// The drawing layer: what it asks of a painter for each frame, the window's whole-frame
// bookkeeping, the paused view and the text kept until it changes.
#include "gui/drawing.h"
#include "gui/gui.h"
#include "gui/painter.h"
#include "tests/fake_gui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The tests' painter: every operation as one line.
std::vector<std::string> log;

std::string box_text(const Damage::Box &b)
{
    return std::to_string(b.x) + "," + std::to_string(b.y) + " " + std::to_string(b.w) + "x" + std::to_string(b.h);
}

void make_canvas() { log.push_back("make_canvas"); }
void set_clip(const Damage::Box *clip) { log.push_back(clip ? "clip " + box_text(*clip) : "clip none"); }
void fill_white(const Damage::Box &box) { log.push_back("fill " + box_text(box)); }
void draw_picture(const Image *image, int x, int y)
{
    log.push_back("picture " + image->name + " " + std::to_string(x) + "," + std::to_string(y));
}
void draw_line(int x1, int y1, int x2, int y2)
{
    log.push_back("line " + std::to_string(x1) + "," + std::to_string(y1) + " " + std::to_string(x2) + "," +
                  std::to_string(y2));
}
// Every text is 6 pixels a letter, 10 above its baseline and 3 below.
Damage::Box set_text(const char *text, int length)
{
    log.push_back("set_text " + std::string(text, static_cast<size_t>(length)));
    return {0, -10, 6 * length, 13};
}
void draw_text(int x, int y) { log.push_back("text " + std::to_string(x) + "," + std::to_string(y)); }
void copy_to_window(const Damage::Box *rects, int count)
{
    std::string line = "copy";
    for (int i = 0; i < count; i++)
        line += " " + box_text(rects[i]);
    log.push_back(line);
}
void show_paused_view() { log.push_back("paused_view"); }

// In the order of gui/painter.h.
constexpr Painter PAINTER = {make_canvas, set_clip,  fill_white,     draw_picture,    draw_line,
                             set_text,    draw_text, copy_to_window, show_paused_view};
constexpr int SIDE = 160;   // ten tiles

class DrawingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeGui::install_as_active();
        FakeGui::set_image_size("dot", 8, 8);
        unsetenv("GLIMPWATCH_FULL_REDRAW");
        log.clear();
    }
    void TearDown() override { unsetenv("GLIMPWATCH_FULL_REDRAW"); }

    // One frame: a dot at (x, y) and the status line.
    static void frame(int x, int y, const char *status = "Score:0")
    {
        Drawing::clear_canvas();
        Drawing::draw_image(FakeGui::image("dot"), x, y);
        Drawing::draw_text(status, 5, 150);
        Drawing::present_canvas();
    }
};

TEST_F(DrawingTest, FirstFramesGoOntoTheWindowUntilTheCanvasIsMadeWithTheSameFrame)
{
    Drawing::prepare(&PAINTER, SIDE, true);
    EXPECT_FALSE(Drawing::canvas_made());
    frame(20, 20);
    EXPECT_EQ(log, (std::vector<std::string>{"set_text Score:0", "clip 0,0 160x160", "fill 0,0 160x160",
                                             "picture dot 20,20", "text 5,150", "clip none", "copy 0,0 160x160"}));
    log.clear();
    Drawing::make_canvas();
    // The canvas gets the frame the window shows, whole, with its text laid out for it.
    EXPECT_EQ(log, (std::vector<std::string>{"make_canvas", "clip 0,0 160x160", "fill 0,0 160x160",
                                             "picture dot 20,20", "set_text Score:0", "text 5,150", "clip none"}));
    log.clear();
    Drawing::make_canvas();
    EXPECT_TRUE(log.empty()) << "made twice";
}

TEST_F(DrawingTest, OnlyTheChangedRectangleIsRedrawnAndCopiedAndATextIsSetOnlyWhenItChanges)
{
    Drawing::prepare(&PAINTER, SIDE, false);
    ASSERT_EQ(log, (std::vector<std::string>{"make_canvas", "clip 0,0 160x160", "fill 0,0 160x160", "clip none"}));
    frame(20, 20);
    log.clear();
    frame(20, 20);
    EXPECT_EQ(log, (std::vector<std::string>{"clip none", "copy"})) << "nothing changed";
    log.clear();
    frame(70, 70);
    // The dot's old and new tiles, each clipped to once; the status line stays as it was.
    EXPECT_EQ(log, (std::vector<std::string>{"clip 16,16 16x16", "fill 16,16 16x16", "clip 64,64 16x16",
                                             "fill 64,64 16x16", "picture dot 70,70", "clip none",
                                             "copy 16,16 16x16 64,64 16x16"}));
    log.clear();
    frame(70, 70, "Score:5");
    EXPECT_EQ(log.front(), "set_text Score:5");
    EXPECT_EQ(std::count(log.begin(), log.end(), "set_text Score:5"), 1);
}

TEST_F(DrawingTest, TheWindowGetsTheWholeFrameAfterAnExposeAndAfterThePausedView)
{
    Drawing::prepare(&PAINTER, SIDE, false);
    frame(20, 20);
    log.clear();
    Drawing::window_exposed();
    EXPECT_EQ(log, (std::vector<std::string>{"clip none", "copy 0,0 160x160"}));
    log.clear();
    Drawing::show_paused(1);
    EXPECT_TRUE(Drawing::paused());
    EXPECT_EQ(log, (std::vector<std::string>{"clip none", "paused_view"}));
    log.clear();
    Drawing::present_canvas();   // an expose while paused keeps the view
    EXPECT_EQ(log.back(), "paused_view");
    log.clear();
    Drawing::show_paused(0);
    EXPECT_EQ(log, (std::vector<std::string>{"clip none", "copy 0,0 160x160"}));
}

TEST_F(DrawingTest, ThePausedViewMakesTheCanvasItIsMadeFrom)
{
    Drawing::prepare(&PAINTER, SIDE, true);
    frame(20, 20);
    log.clear();
    Drawing::show_paused(1);
    EXPECT_EQ(log.front(), "make_canvas");
    EXPECT_EQ(log.back(), "paused_view");
}

TEST_F(DrawingTest, ANewCanvasIsRedrawnWholeWithItsTextSetAgain)
{
    Drawing::prepare(&PAINTER, SIDE, false);
    frame(20, 20);
    Drawing::canvas_remade();
    log.clear();
    frame(20, 20);
    EXPECT_EQ(log, (std::vector<std::string>{"set_text Score:0", "clip 0,0 160x160", "fill 0,0 160x160",
                                             "picture dot 20,20", "text 5,150", "clip none", "copy 0,0 160x160"}));
}

TEST_F(DrawingTest, AFullRedrawDrawsEveryCallAtOnceAndCopiesTheWholeCanvas)
{
    setenv("GLIMPWATCH_FULL_REDRAW", "1", 1);
    Drawing::prepare(&PAINTER, SIDE, true);
    EXPECT_TRUE(Drawing::full_redraw());
    EXPECT_EQ(log, std::vector<std::string>{"make_canvas"}) << "the full redraw makes the canvas first";
    log.clear();
    Drawing::clear_canvas();
    Drawing::draw_line(1, 2, 3, 4);
    Drawing::draw_text("Hi", 5, 150);
    Drawing::present_canvas();
    Drawing::present_canvas();
    EXPECT_EQ(log, (std::vector<std::string>{"fill 0,0 160x160", "line 1,2 3,4", "set_text Hi", "text 5,150",
                                             "copy 0,0 160x160", "copy 0,0 160x160"}));
}

// A box the front marks gets the highlight centred on it, first in the frame so that the
// game's pictures lie over it; marking and unmarking redraws only around the box.
TEST_F(DrawingTest, MarkedBoxesGetTheHighlightUnderTheFrameAndOnlyTheirTilesAreRedrawn)
{
    // The committed highlight is 56 x 44: centred on a 46 x 34 box at (60, 60), at (55, 55).
    Drawing::prepare(&PAINTER, SIDE, false);
    frame(20, 20);
    const MarkedBox computer = {60, 60, 46, 34};
    for (int marked : {1, 0}) {
        SCOPED_TRACE(marked ? "marked" : "unmarked");
        Gui::mark_boxes(&computer, marked);
        log.clear();
        frame(20, 20);
        // Tiles 48 to 111 across and down; the dot's tile (16 to 31) is left alone.
        std::vector<std::string> expected = {"clip 48,48 64x64", "fill 48,48 64x64"};
        if (marked)
            expected.push_back("picture highlight 55,55");
        expected.insert(expected.end(), {"clip none", "copy 48,48 64x64"});
        EXPECT_EQ(log, expected);
    }
    // Under the game's own pictures: the highlight is drawn before them.
    Gui::mark_boxes(&computer, 1);
    log.clear();
    frame(70, 70);
    auto highlight = std::find(log.begin(), log.end(), "picture highlight 55,55");
    ASSERT_NE(highlight, log.end());
    ASSERT_NE(highlight + 1, log.end());
    EXPECT_EQ(*(highlight + 1), "picture dot 70,70");
}

TEST_F(DrawingTest, NothingIsAskedOfAPainterBeforeThereIsOne)
{
    Drawing::prepare(nullptr, 0, true);
    Drawing::present_canvas();
    Drawing::window_exposed();
    EXPECT_TRUE(log.empty());
}

} // namespace
