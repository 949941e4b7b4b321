// Playing with the mouse: Glimps clicked where the screen shows them, the bucket dragged.
#include "tests/e2e/field_view.h"
#include "tests/e2e/harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace e2e;

namespace {

// Starts a game at level 1 and waits for its first frames; scale is GDK_SCALE's.
std::unique_ptr<Game> start_playing(int scale = 1)
{
    std::unique_ptr<Game> game(new Game({"-l", "1"}, 400, scale));
    if (game->ok()) {
        game->move_to_canvas(200, 200);
        wait_until([&] { return status_line_shown(game->capture_canvas()); }, UI_TIMEOUT_MS, 50);
    }
    return game;
}

// A click on a walking Glimp kills it: at the very place it stood the dying pictures play.
// With a scale factor the click lands at scale times the Glimp's logical position; full
// screen (F11, under a window manager), at the field's factor times it too.
void click_kills_a_walking_glimp(int scale, bool full_screen = false)
{
    std::unique_ptr<WindowManager> wm;
    if (full_screen) {
        wm.reset(new WindowManager);
        ASSERT_TRUE(wm->ok()) << "the window manager did not start";
    }
    auto game = start_playing(scale);
    ASSERT_TRUE(game->ok()) << game->error();
    if (full_screen) {
        focus_window(game->window());
        tap_key(0xffc8); // F11
        ASSERT_TRUE(wait_until([&] { return game->factor() == 2; }, UI_TIMEOUT_MS)) << "no 2x field";
    }
    bool killed = false;
    int clicks = 0;
    std::string log;
    // A few tries: a Glimp may be hidden behind another or still outside the field.
    for (int attempt = 0; attempt < 8 && !killed; ++attempt) {
        Capture still = pause_and_look(*game);
        auto glimps = walking_glimps(still);
        log += "try " + std::to_string(attempt) + ": " + std::to_string(glimps.size()) +
               " walking Glimps seen\n";
        if (glimps.empty()) {
            // Let the game go on until Glimps walk in, then look again.
            play_until_glimps_walk(*game);
            continue;
        }
        // One that stands alone, so that the click kills exactly one Glimp.
        Sighting g = glimps.front();
        for (const auto &candidate : glimps) {
            bool alone = true;
            for (const auto &other : glimps)
                if (&other != &candidate && std::abs(other.x - candidate.x) < 40 &&
                    std::abs(other.y - candidate.y) < 40)
                    alone = false;
            if (alone) {
                g = candidate;
                break;
            }
        }
        ++clicks;
        save_artifact(test_artifact_name("before-" + std::to_string(attempt)), still);
        // Coming back onto the canvas resumes the game; the press follows at once, well
        // before the next tick moves the Glimp.
        game->click_canvas(g.cx(), g.cy());
        Capture after;
        killed = wait_until(
            [&] {
                after = game->logical_canvas();
                return shows_dying_glimp(after, g.x, g.y);
            },
            3000, 20);
        save_artifact(test_artifact_name("after-" + std::to_string(attempt)), after);
        log += "  clicked " + g.name + " at " + std::to_string(g.cx()) + "," +
               std::to_string(g.cy()) + (killed ? ": dying\n" : ": no dying Glimp there\n");
    }
    EXPECT_TRUE(killed) << log;
    // The first click scores 5 for the Glimp it killed, or 5 n n when n of them stood one
    // over the other (one may hide another wholly, or stand partly beyond the edge).
    if (killed && clicks == 1) {
        auto shows_a_whack_score = [&] {
            Capture canvas = game->capture_canvas().reduced(game->factor());
            for (int n = 1; n <= 4; n++)
                if (status_says(canvas, "Score:" + std::to_string(5 * n * n) + " ", scale))
                    return true;
            return false;
        };
        EXPECT_TRUE(wait_until(shows_a_whack_score, UI_TIMEOUT_MS, 50))
            << "the status line does not show the score of one click's kill";
    }
}

} // namespace

TEST(Play, ClickOnAWalkingGlimpKillsIt) { click_kills_a_walking_glimp(1); }

// Full screen on a 1280 x 1024 screen shows the field at 2x, and a click at twice a Glimp's
// place hits it.
TEST(FullScreen, AClickAtTheEnlargedPlaceOfAGlimpKillsIt) { click_kills_a_walking_glimp(1, true); }

// On a 2x screen the field is drawn twice as large and the pointer still hits what it shows.
TEST(Scale, AClickAtTwiceAGlimpsPlaceKillsItOnA2xScreen)
{
    if (!toolkit_is_gtk3())
        GTEST_SKIP() << "the GTK 2 program has no scale factor";
    click_kills_a_walking_glimp(2);
}

// The bucket leaves its corner while the button holds it and is back after the release.
TEST(Play, BucketIsPickedUpByAPressAndPutBackByTheRelease)
{
    auto game = start_playing();
    ASSERT_TRUE(game->ok()) << game->error();
    const XpmPicture &bucket = field_picture("bucket");
    ASSERT_TRUE(bucket.ok()) << "cannot read pixmaps/bucket.xpm";
    auto bucket_in_corner = [&] {
        return covered_share(game->capture_canvas(), "bucket", 0, 0) < 0.2;
    };
    ASSERT_TRUE(wait_until(bucket_in_corner, UI_TIMEOUT_MS, 50)) << "no bucket in the corner";

    game->press_canvas(bucket.width / 2, bucket.height / 2);
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

// ---------------------------------------------------------------- dragging a distro back

namespace {

// The real distros by index 1..10, and the computer kind that can run each.
const std::vector<std::string> DISTROS = {"arch",     "bsd",     "centos",    "debian", "gentoo",
                                          "mandriva", "openbsd", "slackware", "suse",   "ubuntu"};
std::string computer_for(const std::string &distro)
{
    static const std::vector<std::string> kinds = {"maccpu", "nextcpu", "sgicpu", "suncpu",
                                                   "os2cpu"};
    for (size_t i = 0; i < kinds.size(); ++i)
        if (DISTROS[i] == distro)
            return kinds[i];
    return "bsdcpu"; // the PC takes any of the other five
}

// A walking Glimp and the real distro it carries over its head (it bobs between two heights).
struct Carrier {
    Sighting glimp;
    std::string distro;
};
std::vector<Carrier> carriers(const Capture &canvas)
{
    std::vector<Carrier> result;
    for (const auto &g : walking_glimps(canvas))
        for (const auto &d : DISTROS)
            for (int dy : {-15, -11, -19})
                if (covered_share(canvas, d, g.x - 2, g.y + dy) < 0.15) {
                    result.push_back(Carrier{g, d});
                    dy = 0;
                    break;
                }
    return result;
}

bool lies_at(const Capture &canvas, const std::string &distro, int x, int y)
{
    return covered_share(canvas, distro, x, y) < 0.15;
}

// The computer kinds of the field.
const std::vector<std::string> COMPUTERS = {"maccpu", "nextcpu", "sgicpu", "suncpu", "os2cpu", "bsdcpu"};

// Share of the highlight's rim around the computer seen at c that the field does not show.
double highlight_hidden(const Capture &field, const Sighting &c)
{
    const XpmPicture &rim = field_picture("highlight");
    return covered_share(field, "highlight", c.x - (rim.width - c.w) / 2, c.y - (rim.height - c.h) / 2);
}

// While the distro d is dragged, the computers that would take it are marked, and only
// those: every computer of another kind is plain, and of the right kind, one that plainly
// shows initfail is marked, one that plainly runs a real distro is not. (A rim may be partly
// hidden by a wire or a Glimp at work drawn over it.) Returns how many were seen marked.
int expect_marked_for(const Capture &field, const std::string &d, std::string &log)
{
    int marked = 0;
    for (const auto &c : find_on_field(field, COMPUTERS, 0.6)) {
        double hidden = highlight_hidden(field, c);
        marked += hidden < 0.5;
        std::string where = c.name + " at " + std::to_string(c.x) + "," + std::to_string(c.y);
        log += "while dragging " + d + ": " + where + ", highlight hidden " + std::to_string(hidden) + "\n";
        if (c.name != computer_for(d)) {
            EXPECT_GT(hidden, 0.9) << "the " << where << " cannot run " << d << " but is marked";
            continue;
        }
        bool runs_real = false;
        for (const auto &a : DISTROS)
            runs_real = runs_real || lies_at(field, a, c.x + 4, c.y + 4);
        if (runs_real) {
            EXPECT_GT(hidden, 0.9) << "the " << where << " runs a distro of its own but is marked";
        } else if (lies_at(field, "initfail", c.x + 4, c.y + 4)) {
            EXPECT_LT(hidden, 0.5) << "the " << where << " runs initfail but is not marked for " << d;
        }
    }
    return marked;
}

// A point of the field with nothing drawn around it, far enough from (x, y).
bool empty_spot(const Capture &canvas, int x, int y, int *ex, int *ey)
{
    for (int cy = 60; cy + 30 < canvas.height - 30; cy += 16)
        for (int cx = 40; cx + 30 < canvas.width; cx += 16) {
            if (std::abs(cx - x) < 80 && std::abs(cy - y) < 80)
                continue;
            if (non_white_box(canvas.crop(cx - 30, cy - 30, 60, 60)).empty()) {
                *ex = cx;
                *ey = cy;
                return true;
            }
        }
    return false;
}

} // namespace

// A killed Glimp drops the distro it stole; while it is dragged, the computers that would take
// it are marked; dragged off every computer the distro goes back where it lay, and the marks
// go; dragged onto a computer that runs initfail or nothing and can run it, it is installed
// there.
namespace {

// Nobody guards the network while the test looks for a thief, so now and then sparks infect
// it all and the game is lost under the test: that game proves nothing and another is played.
enum class Outcome { DONE, GAME_LOST };

bool game_lost(const Game &game)
{
    for (WindowId w : game.dialogs())
        if (title_of(w) == "End Game")
            return true;
    return false;
}

Outcome steal_drop_and_install(std::unique_ptr<Game> &game, std::string &log)
{
    Carrier victim;
    bool dropped = false;
    // Glimps need some seconds to reach a computer, take its distro and walk off with it.
    for (int attempt = 0; attempt < 60 && !dropped; ++attempt) {
        Capture still = pause_and_look(*game);
        auto found = carriers(still);
        if (found.empty()) {
            // The game goes on until the screen shows a thief (or the game is lost).
            game->move_to_canvas(200, 200);
            wait_until([&] { return !carriers(game->capture_canvas()).empty() || game_lost(*game); },
                       PLAY_LOOK_MS, 50);
            if (game_lost(*game))
                break;
            continue;
        }
        victim = found.front();
        log += "try " + std::to_string(attempt) + ": " + victim.glimp.name + " carrying " +
               victim.distro + " at " + std::to_string(victim.glimp.x) + "," +
               std::to_string(victim.glimp.y) + "\n";
        save_artifact(test_artifact_name("carrier"), still);
        game->click_canvas(victim.glimp.cx(), victim.glimp.cy());
        // Dying takes six ticks; then the distro lies where the Glimp stood.
        dropped = wait_until(
            [&] {
                return lies_at(game->capture_canvas(), victim.distro, victim.glimp.x,
                               victim.glimp.y);
            },
            5000, 30);
    }
    if (!dropped && game_lost(*game))
        return Outcome::GAME_LOST;
    EXPECT_TRUE(dropped) << "no stolen distro could be knocked off a Glimp\n" << log;
    if (!dropped)
        return Outcome::DONE;
    const int lx = victim.glimp.x, ly = victim.glimp.y;
    const std::string d = victim.distro;
    Capture lying = game->capture_canvas();
    save_artifact(test_artifact_name("lying"), lying);

    // Off every computer: it comes back to where it lay.
    int ex, ey;
    bool room = empty_spot(lying, lx, ly, &ex, &ey);
    EXPECT_TRUE(room) << "no empty place on the field";
    if (!room)
        return Outcome::DONE;
    game->press_canvas(lx + 12, ly + 10);
    game->move_to_canvas(ex, ey);
    // A frame reaches the window a changed rectangle at a time: a look can fall between the
    // distro's place going blank and the marks coming, so the look waited for shows both.
    Capture dragging;
    auto some_mark = [](const Capture &field) {
        for (const auto &c : find_on_field(field, COMPUTERS, 0.6))
            if (highlight_hidden(field, c) < 0.5)
                return true;
        return false;
    };
    bool taken = false;
    wait_until(
        [&] {
            dragging = game->capture_canvas();
            taken = covered_share(dragging, d, lx, ly) > 0.5;
            return taken && some_mark(dragging);
        },
        UI_TIMEOUT_MS, 30);
    save_artifact(test_artifact_name("dragging"), dragging);
    // The computer it was stolen from takes it back, at least.
    EXPECT_GT(expect_marked_for(dragging, d, log), 0) << "no computer is marked for " << d << "\n" << log;
    // The pointer is the distro now: a black silhouette with a white rim, which shows over
    // the dark screen of an infected computer too.
    CursorImage cursor = current_cursor();
    release_button(1);
    save_artifact(test_artifact_name("distro-cursor"), cursor_over_dark(cursor));
    EXPECT_TRUE(taken) << "the distro stayed on the field while it was dragged";
    EXPECT_EQ(cursor.width, 28) << "the pointer did not show the distro while it was dragged";
    EXPECT_TRUE(black_shape_with_white_rim(cursor)) << "the " << d << " cursor has no white rim";
    bool back_again =
        wait_until([&] { return lies_at(game->capture_canvas(), d, lx, ly); }, UI_TIMEOUT_MS, 30);
    if (!back_again && game_lost(*game))
        return Outcome::GAME_LOST;
    EXPECT_TRUE(back_again) << "a distro dropped on an empty place did not go back where it lay";
    // With the drag over, no computer is marked.
    Capture let_go = game->capture_canvas();
    save_artifact(test_artifact_name("let-go"), let_go);
    for (const auto &c : find_on_field(let_go, COMPUTERS, 0.6))
        EXPECT_GT(highlight_hidden(let_go, c), 0.9)
            << "the " << c.name << " at " << c.x << "," << c.y << " is still marked after the drag";

    // Onto a computer that can run it and runs initfail or nothing: installed there. Computers
    // that plainly show initfail or a blank screen are tried first; where the screen is hidden
    // (by a Glimp, or by the lying distro over the computer it was stolen from) a refused drop
    // sends the distro back and the next one is tried.
    const std::string kind = computer_for(d);
    // The computers of that kind on the field that run no real distro: first those that
    // plainly show initfail or nothing (0), then those whose screen is hidden (1).
    auto without_a_real_distro = [&](const Capture &field, const std::string &look) {
        std::vector<std::pair<int, Sighting>> found;
        for (const auto &c : find_on_field(field, {kind}, 0.6)) {
            // The lying distro itself may sit just where the computer shows its own.
            bool runs_real = false;
            for (const auto &a : DISTROS)
                runs_real = runs_real || (computer_for(a) == kind &&
                                          !(a == d && c.x + 4 == lx && c.y + 4 == ly) &&
                                          lies_at(field, a, c.x + 4, c.y + 4));
            bool plain = covered_share(field, "initfail", c.x + 4, c.y + 4) < 0.15 ||
                         covered_share(field, kind, c.x, c.y) < 0.05;
            if (!look.empty())
                log += "look " + look + ": " + kind + " at " + std::to_string(c.x) + "," +
                       std::to_string(c.y) +
                       (runs_real ? " runs a real distro\n"
                        : plain   ? " runs initfail or nothing\n"
                                  : " hidden\n");
            if (!runs_real)
                found.emplace_back(plain ? 0 : 1, c);
        }
        return found;
    };
    std::vector<std::pair<int, Sighting>> candidates;
    // A Glimp at work can hide a computer for a while: the game goes on until the screen
    // shows one, and the still field is looked at again, a few times.
    for (int look = 0; look < 6 && candidates.empty(); ++look) {
        if (look > 0) {
            game->move_to_canvas(ex, ey);
            wait_until(
                [&] {
                    return !without_a_real_distro(game->capture_canvas(), "").empty() ||
                           game_lost(*game);
                },
                PLAY_LOOK_MS, 50);
        }
        Capture field = pause_and_look(*game);
        save_artifact(test_artifact_name("before-drop"), field);
        candidates = without_a_real_distro(field, std::to_string(look));
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    if (candidates.empty() && game_lost(*game))
        return Outcome::GAME_LOST;
    EXPECT_FALSE(candidates.empty())
        << "no " << kind << " without a real distro, though one lost its " << d << "\n"
        << log;
    bool installed = false;
    for (size_t i = 0; i < candidates.size() && i < 4 && !installed; ++i) {
        const Sighting &target = candidates[i].second;
        game->press_canvas(lx + 12, ly + 10);
        game->move_to_canvas(target.cx(), target.cy());
        // Once a tick has drawn the field without it, the distro lying there again can only
        // mean that the drop was refused.
        wait_until([&] { return covered_share(game->capture_canvas(), d, lx, ly) > 0.5; },
                   UI_TIMEOUT_MS, 30);
        release_button(1);
        Capture after;
        bool back = false;
        wait_until(
            [&] {
                after = game->capture_canvas();
                installed = lies_at(after, d, target.x + 4, target.y + 4) &&
                            covered_share(after, d, lx, ly) > 0.5;
                back = lies_at(after, d, lx, ly);
                return installed || back;
            },
            UI_TIMEOUT_MS, 30);
        save_artifact(test_artifact_name("drop-" + std::to_string(i)), after);
        log += "dropped on the " + kind + " at " + std::to_string(target.x) + "," +
               std::to_string(target.y) +
               (installed ? ": installed\n"
                : back    ? ": refused\n"
                          : ": ?\n");
        if (!installed && game_lost(*game))
            return Outcome::GAME_LOST;
        if (candidates[i].first == 0) {
            EXPECT_TRUE(installed) << "a " << kind << " showing initfail or nothing refused " << d;
        }
        if (!installed && !back)
            break;
    }
    EXPECT_TRUE(installed) << log;
    return Outcome::DONE;
}

} // namespace

TEST(Play, StolenDistroDraggedMarksTheComputersThatTakeItAndIsInstalledOnOne)
{
    std::string log;
    for (int game_number = 1; game_number <= 3; ++game_number) {
        auto game = start_playing();
        ASSERT_TRUE(game->ok()) << game->error();
        log += "game " + std::to_string(game_number) + "\n";
        if (steal_drop_and_install(game, log) == Outcome::DONE)
            return;
        log += "the game was lost under the test\n";
    }
    ADD_FAILURE() << "three games were lost before the test was done\n" << log;
}

// ---------------------------------------------------------------- winning a level

// Every Glimp of level 1 killed: the score dialog comes up between the levels, and its "OK"
// starts level 2 with the score kept.
TEST(Play, KillingEveryGlimpOfALevelLeadsToTheNextLevel)
{
    auto game = start_playing();
    ASSERT_TRUE(game->ok()) << game->error();
    WindowId dialog = 0;
    int bursts = 0;
    // Glimps enter a few at a time, every few seconds of play; some walk off and come back.
    bool over = wait_until(
        [&] {
            auto up = game->dialogs();
            if (!up.empty()) {
                dialog = up.front();
                return true;
            }
            Capture still = pause_and_look(*game);
            std::vector<Point> targets;
            for (const auto &g : find_on_field(still, walking_glimp_frames()))
                if (g.x > 30 || g.y > 30) // leave the bucket alone
                    targets.push_back(Point{g.cx(), g.cy()});
            if (targets.empty()) {
                play_until_glimps_walk(*game, [&] { return !game->dialogs().empty(); });
            } else {
                ++bursts;
                game->burst_clicks(targets);
                // Once the game has drawn what the clicks did, look again.
                game->wait_canvas_change(game->capture_canvas());
            }
            return false;
        },
        300000, 10);
    ASSERT_TRUE(over) << "level 1 was neither won nor lost in five minutes (" << bursts
                      << " bursts of clicks)";
    ASSERT_EQ(title_of(dialog), "Score") << "the level ended another way";
    wait_until([&] { return game->dialog_buttons(dialog).size() == 1; }, UI_TIMEOUT_MS, 100);
    save_artifact(test_artifact_name("score"), capture_window(dialog));
    save_artifact(test_artifact_name("last-frame"), game->capture_canvas());
    ASSERT_TRUE(game->click_dialog_button(dialog, 0));
    ASSERT_TRUE(game->wait_dialog_gone(dialog));
    game->move_to_canvas(200, 200);
    Capture next;
    EXPECT_TRUE(wait_until(
        [&] {
            next = game->capture_canvas();
            return status_says(next, "Level:2 ");
        },
        UI_TIMEOUT_MS, 50))
        << "level 2 did not start after the score dialog";
    EXPECT_FALSE(status_says(next, "Score:0 ")) << "the score was not kept";
    save_artifact(test_artifact_name("level-2"), next);
}
