// Playing with the mouse: Glimps clicked where the screen shows them, the bucket dragged.
#include "tests/e2e/field_view.h"
#include "tests/e2e/harness.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace e2e;

namespace {

// Where the pointer rests off the canvas: the game stands still meanwhile.
constexpr int AWAY_X = 1270, AWAY_Y = 1014;

bool status_line_shown(const Capture &canvas) {
    int size = canvas.width;
    return !non_white_box(canvas.crop(0, size - 20, size / 2, 20)).empty();
}

// Starts a game at level 1 and waits for its first frames.
std::unique_ptr<Game> start_playing() {
    std::unique_ptr<Game> game(new Game({"-l", "1"}));
    if (game->ok()) {
        game->move_to_canvas(200, 200);
        wait_until([&] { return status_line_shown(game->capture_canvas()); }, UI_TIMEOUT_MS, 50);
    }
    return game;
}

// Takes the pointer off the canvas, which pauses the game, and returns the still field.
Capture pause_and_look(Game &game) {
    move_pointer(AWAY_X, AWAY_Y);
    Capture still = game.capture_canvas();
    wait_until(
        [&] {
            settle(450); // more than two ticks: a tick under way has been drawn by then
            Capture now = game.capture_canvas();
            bool same = now.differences(still) == 0;
            still = now;
            return same;
        },
        UI_TIMEOUT_MS, 10);
    return still;
}

// Glimps walking wholly inside the field, away from the bucket's corner and the status line.
std::vector<Sighting> walking_glimps(const Capture &canvas) {
    std::vector<Sighting> result;
    for (const auto &s : find_on_field(canvas, walking_glimp_frames()))
        if (s.x > 2 && s.y > 40 && s.x + s.w < canvas.width - 2 && s.y + s.h < canvas.height - 20)
            result.push_back(s);
    return result;
}

} // namespace

// A click on a walking Glimp kills it: at the very place it stood the dying pictures play.
TEST(Play, ClickOnAWalkingGlimpKillsIt) {
    auto game = start_playing();
    ASSERT_TRUE(game->ok()) << game->error();
    bool killed = false;
    std::string log;
    // A few tries: a Glimp may be hidden behind another or still outside the field.
    for (int attempt = 0; attempt < 8 && !killed; ++attempt) {
        Capture still = pause_and_look(*game);
        auto glimps = walking_glimps(still);
        log += "try " + std::to_string(attempt) + ": " + std::to_string(glimps.size()) +
               " walking Glimps seen\n";
        if (glimps.empty()) {
            // Let the game go on for a while, then look again.
            game->move_to_canvas(200, 200);
            game->wait_canvas_change(still);
            settle(600);
            continue;
        }
        const Sighting g = glimps.front();
        save_artifact(test_artifact_name("before-" + std::to_string(attempt)), still);
        // Coming back onto the canvas resumes the game; the press follows at once, well
        // before the next tick moves the Glimp.
        game->click_canvas(g.cx(), g.cy());
        Capture after;
        killed = wait_until(
            [&] {
                after = game->capture_canvas();
                for (const auto &frame : dying_glimp_frames())
                    if (covered_share(after, frame, g.x, g.y) < 0.15)
                        return true;
                return false;
            },
            3000, 20);
        save_artifact(test_artifact_name("after-" + std::to_string(attempt)), after);
        log += "  clicked " + g.name + " at " + std::to_string(g.cx()) + "," +
               std::to_string(g.cy()) + (killed ? ": dying\n" : ": no dying Glimp there\n");
    }
    EXPECT_TRUE(killed) << log;
}

// The bucket leaves its corner while the button holds it and is back after the release.
TEST(Play, BucketIsPickedUpByAPressAndPutBackByTheRelease) {
    auto game = start_playing();
    ASSERT_TRUE(game->ok()) << game->error();
    const XpmPicture &bucket = field_picture("bucket");
    ASSERT_TRUE(bucket.ok()) << "cannot read pixmaps/bucket.xpm";
    auto bucket_in_corner = [&] { return covered_share(game->capture_canvas(), "bucket", 0, 0) < 0.2; };
    ASSERT_TRUE(wait_until(bucket_in_corner, UI_TIMEOUT_MS, 50)) << "no bucket in the corner";

    game->move_to_canvas(bucket.width / 2, bucket.height / 2);
    settle(60);
    press_button(1);
    // Carry it to the middle of the field; the ticks go on while the button is held.
    game->move_to_canvas(200, 200);
    bool lifted = wait_until([&] { return !bucket_in_corner(); }, UI_TIMEOUT_MS, 50);
    save_artifact(test_artifact_name("held"), game->capture_canvas());
    release_button(1);
    EXPECT_TRUE(lifted) << "the corner still shows the bucket while it is held";
    EXPECT_TRUE(wait_until(bucket_in_corner, UI_TIMEOUT_MS, 50))
        << "the bucket did not come back to its corner after the release";
    save_artifact(test_artifact_name("released"), game->capture_canvas());
}
