// The program at the limits it accepts: the top level and the largest field.
#include "tests/e2e/harness.h"

#include <gtest/gtest.h>

#include <string>

using namespace e2e;

namespace {

// Still running, and a close request ends it with status 0 and nothing on stderr.
void expect_closes_cleanly(Game &game)
{
    EXPECT_TRUE(game.process().running());
    ASSERT_TRUE(game.close_and_wait());
    EXPECT_TRUE(game.process().status().exited);
    EXPECT_EQ(game.process().status().code, 0);
    EXPECT_EQ(game.process().err(), "");
}

} // namespace

TEST(Extremes, TheTopLevelPlaysAndTheGameClosesCleanly)
{
    Game game({"-l", "2147483647"});
    ASSERT_TRUE(game.ok()) << game.error();
    game.move_to_canvas(200, 200);
    Capture first;
    ASSERT_TRUE(wait_until(
        [&] {
            first = game.capture_canvas();
            return status_says(first, "Level:2147483647  Score:0 ");
        },
        UI_TIMEOUT_MS, 50))
        << "no status line for level 2147483647";
    // The field moves on: Glimps walk in and the game keeps running.
    Capture later = game.wait_canvas_change(first);
    save_artifact(test_artifact_name(), later);
    EXPECT_FALSE(later.empty()) << "the field never changed";
    expect_closes_cleanly(game);
}

// The largest field either plays or, on a display that cannot hold it, ends with one line.
TEST(Extremes, TheLargestFieldSetsUpItsLevelAndPlays)
{
    Game game({"--size", "4000", "-l", "12"}, 4000);
    if (!game.ok()) {
        ASSERT_TRUE(game.process().wait_exit()) << game.error();
        EXPECT_TRUE(game.process().status().exited);
        EXPECT_EQ(game.process().status().code, 1);
        EXPECT_EQ(game.process().err(), "the display cannot hold a 4000 x 4000 play field\n");
        return;
    }
    game.move_to_canvas(200, 200);
    Capture first = game.capture_canvas();
    Capture later = game.wait_canvas_change(first);
    save_artifact(test_artifact_name(), later.crop(0, 0, 1000, 800));
    EXPECT_FALSE(later.empty()) << "the field never changed";
    expect_closes_cleanly(game);
}
