// The field's place in the window: its factor, its corner, the points on it, and the choice
// kept for the next game.
#include "gui/cursors.h"
#include "gui/view.h"
#include "tests/scoped_env.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

TEST(View, TheFieldTakesTheLargestWholeFactorThatFitsCentred)
{
    struct Case {
        int field, width, height, most;
        View::Place expected;
    } cases[] = {
        {400, 400, 400, INT_MAX, {1, 0, 0}},       // the window as it is shown
        {400, 799, 1000, INT_MAX, {1, 199, 300}},   // not yet room for 2x: 1x, centred
        {400, 900, 900, INT_MAX, {2, 50, 50}},
        {400, 1280, 999, INT_MAX, {2, 240, 99}},    // a 1280 x 1024 screen under a menu bar
        {400, 1280, 1200, INT_MAX, {3, 40, 0}},
        {400, 1280, 1200, 1, {1, 440, 400}},        // a back end that cannot enlarge
        {400, 300, 300, INT_MAX, {1, 0, 0}},        // smaller than the field: 1x in the corner
        {4000, INT_MAX, INT_MAX, INT_MAX, {536870, 0, 0}},   // no overflow
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(testing::Message() << k.field << " in " << k.width << " x " << k.height);
        View::Place p = View::fit(k.field, k.width, k.height, k.most);
        EXPECT_EQ(p.factor, k.expected.factor);
        if (k.width < INT_MAX) {
            EXPECT_EQ(p.x, k.expected.x);
            EXPECT_EQ(p.y, k.expected.y);
        }
    }
}

// The X server samples an enlarged canvas at each window pixel's centre, (d + 1/2) times
// the step, rounding half down to a canvas pixel: every window pixel of an 8,000-pixel wide
// screen must read the canvas pixel of its own block, or the enlarged field would show
// seams of neighbouring pixels.
TEST(View, TheStepOfAnEnlargedCopyKeepsEveryWindowPixelInItsBlock)
{
    for (int factor = 2; factor <= 8; ++factor) {
        SCOPED_TRACE(factor);
        long long step = View::step_fixed(factor);
        int wrong = -1;
        for (long long d = 0; d < 8000 && wrong < 0; ++d) {
            long long centre = ((2 * d + 1) * 32768 * step) >> 16;
            if ((centre - 1) >> 16 != d / factor)
                wrong = static_cast<int>(d);
        }
        EXPECT_EQ(wrong, -1) << "window pixel " << wrong << " reads a neighbouring block";
    }
}

TEST(View, APointOnTheSurroundIsOffTheFieldAndBlocksMapToTheirPixel)
{
    View::Place p = {2, 50, 30};
    struct Case {
        int x, y;
        bool on;
        int fx, fy;
    } cases[] = {
        {50, 30, true, 0, 0},   {51, 31, true, 0, 0},     {52, 30, true, 1, 0},
        {849, 829, true, 399, 399}, {850, 829, false, 400, 399}, {49, 30, false, -1, 0},
        {48, 29, false, -1, -1}, {0, 0, false, -25, -15},  // a release far off the field
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(testing::Message() << k.x << "," << k.y);
        int fx = 0, fy = 0;
        EXPECT_EQ(View::to_field(p, 400, k.x, k.y, &fx, &fy), k.on);
        EXPECT_EQ(fx, k.fx);
        EXPECT_EQ(fy, k.fy);
    }
}

TEST(View, TheChoiceIsKeptAndADamagedFileMeansTheWindowAsItIs)
{
    char dir[] = "/tmp/view-test.XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    ScopedEnv env;
    env.set("XDG_DATA_HOME", dir);
    View::Choice none = View::remembered();
    EXPECT_EQ(none.factor, 1);
    EXPECT_FALSE(none.full_screen);

    View::remember({3, true});
    View::Choice kept = View::remembered();
    EXPECT_EQ(kept.factor, 3);
    EXPECT_TRUE(kept.full_screen);

    std::string path = std::string(dir) + "/glimpwatch/view";
    for (const char *text : {"factor 0\n", "factor -2\n", "factor 99999999999\n", "factor x\n", "", "\x01"}) {
        SCOPED_TRACE(text);
        std::ofstream(path) << text;
        EXPECT_EQ(View::remembered().factor, 1);
        EXPECT_FALSE(View::remembered().full_screen);
    }
    std::remove(path.c_str());
    std::remove((std::string(dir) + "/glimpwatch").c_str());
    rmdir(dir);
}

TEST(Cursors, AnEnlargedBitmapHasEveryPixelAsABlock)
{
    // 3 x 2: .#.  /  #..
    const unsigned char bits[] = {0x02, 0x01};
    std::vector<unsigned char> big = Cursors::enlarged(bits, 3, 2, 3);
    ASSERT_EQ(big.size(), 2u * 6u);   // rows of 9 pixels: two bytes each
    for (int y = 0; y < 6; y++)
        for (int x = 0; x < 9; x++) {
            SCOPED_TRACE(testing::Message() << x << "," << y);
            EXPECT_EQ(Cursors::xbm_bit(big.data(), 9, x, y), Cursors::xbm_bit(bits, 3, x / 3, y / 3));
        }
    EXPECT_EQ(Cursors::enlarged(bits, 3, 2, 1), std::vector<unsigned char>(bits, bits + 2));
}

} // namespace
