// The field at any window size: full screen with F11, a window the player resizes, the
// factor kept for the next game, and the surround off the field for the pointer rule. Under
// a window manager, as on a desktop.
#include "tests/e2e/harness.h"

#include <gtest/gtest.h>

#include <string>

using namespace e2e;

namespace {

constexpr unsigned long KEY_F11 = 0xffc8;
const Rgb SURROUND = {0x33, 0x39, 0x3f};

// The field at 1x, and the same area seen at the window's factor now, reduced pixel for
// pixel: equal and crisp when the field is the 1x one enlarged.
::testing::AssertionResult enlarged_pixel_for_pixel(const Game &game, const Capture &one_x, int factor)
{
    if (game.factor() != factor)
        return ::testing::AssertionFailure() << "the field is at " << game.factor() << "x";
    bool crisp = false;
    Capture reduced = game.capture_canvas().reduced(factor, &crisp);
    long differ = reduced.differences(one_x);
    if (!crisp || differ != 0)
        return ::testing::AssertionFailure() << (crisp ? "" : "blurred; ") << differ << " pixels differ";
    return ::testing::AssertionSuccess();
}

TEST(FullScreen, F11ShowsTheFieldAt2xPixelForPixelAndF11AgainGivesTheWindowBack)
{
    WindowManager wm;
    ASSERT_TRUE(wm.ok()) << "the window manager did not start";
    Game game({});
    ASSERT_TRUE(game.ok()) << game.error();
    Capture one_x;
    ASSERT_TRUE(wait_until([&] { return shows_logo(one_x = game.capture_canvas()); }, UI_TIMEOUT_MS));
    Rect window = game.window_area();

    focus_window(game.window());
    tap_key(KEY_F11);
    ASSERT_TRUE(wait_until(
        [&] {
            Rect r = game.window_area();
            return r.x == 0 && r.y == 0 && r.w == 1280 && r.h == 1024 &&
                   enlarged_pixel_for_pixel(game, one_x, 2);
        },
        UI_TIMEOUT_MS))
        << enlarged_pixel_for_pixel(game, one_x, 2).message();
    Capture screen = capture_area({0, 0, 1280, 1024});
    save_artifact(test_artifact_name("full-screen"), screen);
    Rect field = game.canvas_area();
    EXPECT_EQ(field.w, 800);
    EXPECT_EQ(field.x, 240) << "centred";
    // A quiet surround around it, below the menu bar.
    EXPECT_EQ(screen.at(field.x - 1, field.cy()), SURROUND);
    EXPECT_EQ(screen.at(field.x + field.w, field.cy()), SURROUND);
    EXPECT_EQ(screen.at(field.cx(), field.y + field.h), SURROUND);

    tap_key(KEY_F11);
    EXPECT_TRUE(wait_until(
        [&] {
            Rect r = game.window_area();
            return r.w == window.w && r.h == window.h && game.capture_canvas().differences(one_x) == 0;
        },
        UI_TIMEOUT_MS))
        << "the window did not come back at its size with the field at 1x";
    save_artifact(test_artifact_name("window"), capture_area({0, 0, 1280, 1024}));
}

TEST(WindowSize, AWindowResizedTo900Shows2xAndTheNextGameOpensSo)
{
    WindowManager wm;
    ASSERT_TRUE(wm.ok()) << "the window manager did not start";
    int menu_bar = 0;
    Capture one_x;
    {
        Game game({});
        ASSERT_TRUE(game.ok()) << game.error();
        ASSERT_TRUE(wait_until([&] { return shows_logo(one_x = game.capture_canvas()); }, UI_TIMEOUT_MS));
        menu_bar = game.menu_bar_height();
        resize_window(game.window(), 900, 900);
        EXPECT_TRUE(wait_until([&] { return enlarged_pixel_for_pixel(game, one_x, 2); }, UI_TIMEOUT_MS))
            << enlarged_pixel_for_pixel(game, one_x, 2).message();
        Capture window = game.capture_window();
        save_artifact(test_artifact_name("900"), window);
        Rect field = game.canvas_area(), area = game.window_area();
        EXPECT_EQ(field.x - area.x, 50) << "centred";
        EXPECT_EQ(window.at(10, area.h - 10), SURROUND);
        EXPECT_TRUE(game.close_and_wait());
    }
    // The same player's next game.
    Game again({});
    ASSERT_TRUE(again.ok()) << again.error();
    again.assume_menu_bar_height(menu_bar);
    EXPECT_TRUE(wait_until([&] { return enlarged_pixel_for_pixel(again, one_x, 2); }, UI_TIMEOUT_MS))
        << "the next game does not show the field at 2x: " << enlarged_pixel_for_pixel(again, one_x, 2).message();
    save_artifact(test_artifact_name("next-game"), again.capture_window());
}

TEST(WindowSize, ThePointerOnTheSurroundPausesTheGameWithThePausedView)
{
    WindowManager wm;
    ASSERT_TRUE(wm.ok()) << "the window manager did not start";
    Game game({"-l", "1"});
    ASSERT_TRUE(game.ok()) << game.error();
    resize_window(game.window(), 900, 900);
    ASSERT_TRUE(wait_until([&] { return game.factor() == 2; }, UI_TIMEOUT_MS)) << "no 2x field";
    game.move_to_canvas(200, 200);
    ASSERT_TRUE(wait_until([&] { return status_line_shown(game.logical_canvas()); }, UI_TIMEOUT_MS));
    EXPECT_FALSE(shows_paused_view(game.logical_canvas()));

    // Onto the surround, left of the field: the game stops, dimmed.
    Rect field = game.canvas_area();
    move_pointer(field.x - 20, field.cy());
    EXPECT_TRUE(wait_until([&] { return shows_paused_view(game.logical_canvas()); }, UI_TIMEOUT_MS))
        << "the pointer on the surround does not pause the game";
    save_artifact(test_artifact_name("surround"), game.capture_window());
    Capture paused = game.logical_canvas();
    EXPECT_TRUE(holds_for([&] { return game.logical_canvas().differences(paused) == 0; }, 600))
        << "the field moves while the pointer is on the surround";

    // Back on the field: it goes on.
    game.move_to_canvas(200, 200);
    EXPECT_TRUE(wait_until([&] { return !shows_paused_view(game.logical_canvas()); }, UI_TIMEOUT_MS));
}

} // namespace
