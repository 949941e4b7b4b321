// Cursors: the built-in table looked up by the names the game loads, and the mask each gets.
#include "gui/cursor_outline.h"
#include "gui/cursors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Cursors, EveryNameTheGameLoadsHasItsBitmapAndOthersAreFatal)
{
    struct Case {
        const char *name;
        int width, height;
        bool own_mask;
    } cases[] = {
        {"arch", 28, 24, false},     {"bsd", 28, 24, false},       {"centos", 28, 24, false},
        {"debian", 28, 24, false},   {"gentoo", 28, 24, false},    {"mandriva", 28, 24, false},
        {"openbsd", 28, 24, false},  {"slackware", 28, 24, false}, {"suse", 28, 24, false},
        {"ubuntu", 28, 24, false},   {"bucket", 24, 24, false},    {"hand_up", 16, 16, true},
        {"hand_down", 16, 16, true},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        const Cursors::Bitmap &row = Cursors::bitmap(k.name);
        EXPECT_STREQ(row.name, k.name);
        EXPECT_EQ(row.width, k.width);
        EXPECT_EQ(row.height, k.height);
        EXPECT_EQ(row.mask_bits != nullptr, k.own_mask);
    }
    for (const char *name : {"Debian", "hand", "initfail", ""}) {
        SCOPED_TRACE(name);
        EXPECT_EXIT(Cursors::bitmap(name), ::testing::ExitedWithCode(1),
                    ::testing::Eq(std::string("couldn't load cursor: ") + name + "\n"));
    }
}

TEST(Cursors, OnlyAHandNotAskedToBeSelfMaskedKeepsItsOwnMask)
{
    const Cursors::Bitmap &hand = Cursors::bitmap("hand_up");
    int bytes = (hand.width + 7) / 8 * hand.height;
    std::vector<unsigned char> own(hand.mask_bits, hand.mask_bits + bytes);
    std::vector<unsigned char> grown = CursorOutline::grown_mask(hand.bits, hand.width, hand.height);
    ASSERT_NE(own, grown);
    EXPECT_EQ(Cursors::mask(hand, 0), own);
    EXPECT_EQ(Cursors::mask(hand, 1), grown);
    const Cursors::Bitmap &bucket = Cursors::bitmap("bucket");
    EXPECT_EQ(Cursors::mask(bucket, 0), CursorOutline::grown_mask(bucket.bits, bucket.width, bucket.height));
}

// What a back end draws a cursor with: its shape black, a carried silhouette (self-masked)
// ringed by white wherever the shape meets clear pixels, a hand white inside its outline.
TEST(Cursors, ShadesRingACarriedSilhouetteWithWhiteAndFillAHand)
{
    for (const char *name : {"debian", "bucket", "hand_up", "hand_down"}) {
        SCOPED_TRACE(name);
        const Cursors::Bitmap &row = Cursors::bitmap(name);
        int self_masked = row.mask_bits ? 0 : 1;
        std::vector<Cursors::Shade> shades = Cursors::shades(row, self_masked);
        ASSERT_EQ(shades.size(), static_cast<size_t>(row.width * row.height));
        auto at = [&](int x, int y) {
            return x < 0 || y < 0 || x >= row.width || y >= row.height ? Cursors::CLEAR : shades[y * row.width + x];
        };
        int black = 0, white = 0, black_next_to_clear = 0;
        for (int y = 0; y < row.height; y++)
            for (int x = 0; x < row.width; x++) {
                EXPECT_EQ(at(x, y) == Cursors::BLACK, Cursors::xbm_bit(row.bits, row.width, x, y)) << x << "," << y;
                black += at(x, y) == Cursors::BLACK;
                white += at(x, y) == Cursors::WHITE;
                // Within the bitmap: a shape reaching its edge has no room for a rim there.
                for (int dy = -1; dy <= 1; dy++)
                    for (int dx = -1; dx <= 1; dx++)
                        black_next_to_clear += at(x, y) == Cursors::BLACK && x + dx >= 0 && y + dy >= 0 &&
                                               x + dx < row.width && y + dy < row.height &&
                                               at(x + dx, y + dy) == Cursors::CLEAR;
            }
        EXPECT_GT(black, 0);
        EXPECT_GT(white, 0);
        if (self_masked) {
            EXPECT_EQ(black_next_to_clear, 0) << "the silhouette has no white rim all round";
        }
    }
}

} // namespace
