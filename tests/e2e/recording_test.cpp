// Recorded games: a game played through the real program is recorded and replays to the end
// its End Game dialog showed, with and without a window; damaged files are refused; the
// title screen left alone plays the demo; the player's own entry of the table is watched.
#include "tests/e2e/field_view.h"
#include "tests/e2e/harness.h"
#include "tests/scoped_env.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

std::string replays_home() { return home_dir() + "/.local/share/glimpwatch/replays"; }

// The recordings the games of this test have saved, oldest first.
std::vector<std::string> recordings()
{
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::directory_iterator it(replays_home(), ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == ".replay")
            found.push_back(it->path().string());
    std::sort(found.begin(), found.end());
    return found;
}

// "Final score: S at level L", from the recording's result line.
std::string recorded_final_line(const std::string &text)
{
    std::istringstream in(text);
    std::string line, how;
    int ticks = 0, score = 0, level = 0;
    while (std::getline(in, line))
        if (sscanf(line.c_str(), "result %*s %d %d %d", &ticks, &score, &level) == 3)
            return "Final score: " + std::to_string(score) + " at level " + std::to_string(level);
    return "(no result line)";
}

// A high-score table that no game of a test gets into, so that no name is asked for.
std::string unbeatable_table()
{
    std::string table;
    for (int i = 0; i < 10; ++i) {
        char line[64];
        snprintf(line, sizeof line, "%-20s %d %d\n", "champion", 99, 2000000000 - i);
        table += line;
    }
    return table;
}

// The Score dialog between levels, answered; false for any other dialog up.
bool answer_score_dialog(Game &game)
{
    auto up = game.dialogs();
    if (up.empty())
        return true;
    if (title_of(up.front()) != "Score")
        return false;
    wait_until([&] { return game.dialog_buttons(up.front()).size() == 1; }, UI_TIMEOUT_MS, 100);
    game.click_dialog_button(up.front(), 0);
    game.wait_dialog_gone(up.front());
    game.move_to_canvas(game.size() / 2, game.size() / 2);
    return true;
}

// Plays as a person would, without pausing: looks at the field and clicks a Glimp it sees
// walking, again and again, for `ms` or until the status line says `until` (a level).
void play_live(Game &game, int ms, const std::string &until)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    game.move_to_canvas(game.size() / 2, game.size() / 2);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!answer_score_dialog(game))
            return;
        Capture field = game.logical_canvas();
        if (status_says(field, until))
            return;
        std::vector<Sighting> glimps = walking_glimps(field);
        if (glimps.empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
            continue;
        }
        game.click_canvas(glimps.front().cx(), glimps.front().cy());
    }
}

// The dialog, once its buttons are drawn, with the pointer away so that none is lit.
Capture settled_dialog(Game &game, WindowId dialog)
{
    wait_until([&] { return !game.dialog_buttons(dialog).empty(); }, UI_TIMEOUT_MS, 100);
    move_pointer_away();
    Capture c;
    wait_until(
        [&] {
            Capture again = capture_window(dialog);
            bool same = again.differences(c) == 0;
            c = again;
            return same;
        },
        UI_TIMEOUT_MS, 200);
    return c;
}

WindowId wait_for_titled_dialog(Game &game, const std::string &title, int timeout_ms)
{
    WindowId found = 0;
    wait_until(
        [&] {
            answer_score_dialog(game);
            for (WindowId d : game.dialogs())
                if (title_of(d) == title)
                    found = d;
            return found != 0;
        },
        timeout_ms, 100);
    return found;
}

// The last button of a dialog's row of choices, the row of framed widgets above its buttons
// (the caption before the buttons is dark too, but it comes first); empty when none.
Rect last_choice_button(WindowId dialog)
{
    Capture c = capture_window(dialog);
    const int edge_luma = toolkit_is_gtk3() ? 215 : 100;
    Capture inner = c.crop(2, 2, c.width - 4, c.height - 4);
    std::vector<Band> rows = dark_bands(inner, edge_luma, 20);
    if (rows.size() < 2)
        return Rect{};
    const Band &row = rows[rows.size() - 2];
    std::vector<Band> runs = dark_columns(inner, row.top, row.bottom, edge_luma, 2);
    if (runs.empty() || runs.back().height() < 20)
        return Rect{};
    return Rect{inner.x + runs.back().top, inner.y + row.top, runs.back().height(), row.height()};
}

} // namespace

// A game played with real clicks through the program is recorded; --check-replay, with no
// display at all, prints the line its End Game dialog showed, and --replay shows that same
// dialog at the end, while the table stays as it was.
TEST(Recording, ScriptedGameReplaysToTheResultItsEndGameDialogShowed)
{
    ScoreFileGuard guard;
    write_file(score_file(), unbeatable_table());
    std::string end_game;
    std::string file;
    {
        Game game({"-l", "1"});
        ASSERT_TRUE(game.ok()) << game.error();
        play_live(game, 45000, "Level:3 ");
        // Left alone, the game is lost.
        game.move_to_canvas(200, 200);
        WindowId end = wait_for_titled_dialog(game, "End Game", 180000);
        ASSERT_NE(end, 0u) << "the game was not lost within three minutes";
        Capture shown = settled_dialog(game, end);
        save_artifact(test_artifact_name("played-end-game"), shown);
        end_game = std::string(shown.rgb.begin(), shown.rgb.end());
        ASSERT_TRUE(game.click_dialog_button(end, 0));
        WindowId table = wait_for_titled_dialog(game, "View High Scores", UI_TIMEOUT_MS);
        ASSERT_NE(table, 0u) << "no table after the game";
        ASSERT_TRUE(game.click_dialog_button(table, 0));
        ASSERT_TRUE(game.close_and_wait());
        ASSERT_EQ(recordings().size(), 1u) << "one game, one recording";
        file = recordings().front();
        // Kept for making a demo of it: GLIMPWATCH_E2E_KEEP_RECORDING names where.
        if (const char *keep = getenv("GLIMPWATCH_E2E_KEEP_RECORDING"))
            fs::copy_file(file, keep, fs::copy_options::overwrite_existing);
    }
    std::string text = read_file(file);
    EXPECT_NE(text.find("\nresult over "), std::string::npos) << text.substr(0, 200);

    WorkDir dir;
    dir.link_pixmaps();
    RunResult check = run_game({"--check-replay", file}, dir, {"DISPLAY", "WAYLAND_DISPLAY"});
    EXPECT_EQ(check.status.code, 0) << check.err;
    EXPECT_EQ(check.err, "");
    EXPECT_EQ(check.out, recorded_final_line(text) + "\n");

    Game watch({"--replay", file});
    ASSERT_TRUE(watch.ok()) << watch.error();
    watch.move_to_canvas(200, 200);
    for (int i = 0; i < 3; ++i)
        tap_key(XK_plus); // 8x
    WindowId end = wait_for_titled_dialog(watch, "End Game", 180000);
    ASSERT_NE(end, 0u) << "the replay did not come to the End Game dialog";
    Capture replayed = settled_dialog(watch, end);
    save_artifact(test_artifact_name("replayed-end-game"), replayed);
    EXPECT_TRUE(std::string(replayed.rgb.begin(), replayed.rgb.end()) == end_game)
        << "the replay's End Game dialog is not the one the game showed";
    EXPECT_TRUE(watch.dialogs().size() == 1);
    ASSERT_TRUE(watch.click_dialog_button(end, 0));
    ASSERT_TRUE(watch.process().wait_exit()) << "--replay did not end with its recording";
    EXPECT_EQ(watch.process().status().code, 0);
    EXPECT_EQ(watch.process().err(), "");
    EXPECT_EQ(read_file(score_file()), unbeatable_table()) << "the replay touched the table";
    EXPECT_EQ(recordings().size(), 1u) << "the replay was recorded";
}

// The demo that ships with the game replays to the final line it recorded.
TEST(Recording, ShippedDemoReplaysToItsRecordedFinalLine)
{
    std::string demo = replays_dir() + "/demo.replay";
    std::string text = read_file(demo);
    ASSERT_FALSE(text.empty()) << demo;
    WorkDir dir;
    dir.link_pixmaps();
    RunResult check = run_game({"--check-replay", demo}, dir, {"DISPLAY", "WAYLAND_DISPLAY"});
    EXPECT_EQ(check.status.code, 0) << check.err;
    EXPECT_EQ(check.err, "");
    EXPECT_EQ(check.out, recorded_final_line(text) + "\n");
}

// Every file that is not a recording this game plays is refused, before any window, with one
// line naming it and the reason, and status 1.
TEST(Recording, DamagedAndForeignFilesAreRefusedWithOneLine)
{
    WorkDir dir;
    dir.link_pixmaps();
    std::string demo = read_file(replays_dir() + "/demo.replay");
    ASSERT_FALSE(demo.empty());
    std::string after_header = demo.substr(demo.find("\n", demo.find("result ")) + 1);
    struct Case {
        std::string name, text, reason;
    } cases[] = {
        {"scores.replay", "Anonymous            0 0\n", "not a Glimpwatch recording"},
        {"empty.replay", "", "empty, not a Glimpwatch recording"},
        {"future.replay", "glimpwatch-recording 2\nseed 1\n",
         "recorded by another version of Glimpwatch (recording version 2; this one plays version 1)"},
        {"cut.replay", demo.substr(0, demo.size() / 2), "cut short"},
        {"shuffled.replay",
         demo.substr(0, demo.size() - after_header.size()) + "9 press 1 1\n3 press 1 1\n" + after_header,
         "events out of order: line 7 comes at tick 3, after tick 9"},
        {"tiny.replay", "glimpwatch-recording 1\nseed 1\nsize 300\nlevel 1\nresult quit 0 0 1\nend\n",
         "damaged: a field of 300 pixels, not one from 400 to 4000"},
        {"cheat.replay", "glimpwatch-recording 1\nseed 1\nsize 400\nlevel 1\nresult quit 0 99 1\nend\n",
         "does not replay as recorded: it ends with Final score: 0 at level 1, the recording says Final "
         "score: 99 at level 1"},
        {"missing.replay", "", "No such file or directory"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        std::string path = dir.path() + "/" + k.name;
        if (k.name != "missing.replay")
            write_file(path, k.text);
        for (const char *option : {"--check-replay", "--replay"}) {
            // A recording that cannot be told wrong before it is played is only found out by
            // playing it; the window's replay says so at the end.
            if (std::string(option) == "--replay" && k.name == "cheat.replay")
                continue;
            SCOPED_TRACE(option);
            RunResult r = run_game({option, path}, dir, {"DISPLAY", "WAYLAND_DISPLAY"});
            EXPECT_EQ(r.status.code, 1);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, path + ": " + k.reason + "\n");
        }
    }
    RunResult directory = run_game({"--check-replay", dir.path()}, dir, {"DISPLAY"});
    EXPECT_EQ(directory.status.code, 1);
    EXPECT_EQ(directory.err, dir.path() + ": not a regular file\n");
    RunResult none = run_game({"--check-replay"}, dir, {"DISPLAY"});
    EXPECT_EQ(none.status.code, 1);
    EXPECT_EQ(none.err, "--check-replay takes an argument\n");
}

// --replay in the window: Space holds the game and lets it go on, Escape ends the program.
TEST(Recording, ReplayWindowPausesWithSpaceAndEndsWithEscape)
{
    Game watch({"--replay", replays_dir() + "/demo.replay"});
    ASSERT_TRUE(watch.ok()) << watch.error();
    watch.move_to_canvas(200, 200);
    ASSERT_TRUE(wait_until([&] { return status_line_shown(watch.capture_canvas()); }, UI_TIMEOUT_MS, 50))
        << "the recorded game does not show";
    // Wherever the pointer goes, the recording plays on.
    move_pointer_away();
    Capture away = watch.capture_canvas();
    EXPECT_FALSE(watch.wait_canvas_change(away).empty()) << "the replay stopped with the pointer away";
    EXPECT_FALSE(shows_paused_view(watch.capture_canvas()));
    watch.move_to_canvas(200, 200);
    tap_key(XK_space);
    Capture held = watch.capture_canvas();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    held = watch.capture_canvas();
    save_artifact(test_artifact_name("held"), held);
    EXPECT_TRUE(holds_for([&] { return watch.capture_canvas().differences(held) == 0; }, 1500))
        << "Space did not hold the replay";
    tap_key(XK_space);
    EXPECT_FALSE(watch.wait_canvas_change(held).empty()) << "Space did not let the replay go on";
    tap_key(XK_Escape);
    ASSERT_TRUE(watch.process().wait_exit()) << "Escape did not end the replay";
    EXPECT_EQ(watch.process().status().code, 0);
    EXPECT_EQ(watch.process().err(), "");
}

// Half a minute on the title screen without input, and the demo plays in the window; a key
// brings the title back at once.
TEST(Attract, TitleLeftAloneForHalfAMinutePlaysTheDemoUntilAKey)
{
    Game game({});
    ASSERT_TRUE(game.ok()) << game.error();
    game.dir().link_replays();
    ASSERT_TRUE(wait_until([&] { return shows_logo(game.capture_canvas()); }, UI_TIMEOUT_MS, 50));
    EXPECT_TRUE(holds_for([&] { return shows_logo(game.capture_canvas()); }, 25000, 500))
        << "the title screen did not stay for 25 s";
    ASSERT_TRUE(wait_until([&] { return status_line_shown(game.capture_canvas()); }, 15000, 100))
        << "no game played on the title screen after 40 s";
    Capture playing = game.capture_canvas();
    save_artifact(test_artifact_name("demo"), playing);
    EXPECT_FALSE(game.wait_canvas_change(playing).empty()) << "the demo stands still";
    focus_window(game.window());
    tap_key(XK_a);
    EXPECT_TRUE(wait_until([&] { return shows_logo(game.capture_canvas()); }, 1500, 20))
        << "a key did not bring the title back at once";
    EXPECT_TRUE(game.dialogs().empty());
    EXPECT_TRUE(holds_for([&] { return shows_logo(game.capture_canvas()); }, 1000));
    ASSERT_TRUE(game.close_and_wait());
    EXPECT_EQ(game.process().status().code, 0);
}

// The same with the pointer resting on the field: a click brings the title back, and starts
// nothing.
TEST(Attract, AClickOnTheDemoBringsTheTitleBack)
{
    Game game({});
    ASSERT_TRUE(game.ok()) << game.error();
    game.dir().link_replays();
    game.move_to_canvas(200, 380);
    ASSERT_TRUE(wait_until([&] { return shows_logo(game.capture_canvas()); }, UI_TIMEOUT_MS, 50));
    ASSERT_TRUE(wait_until([&] { return status_line_shown(game.capture_canvas()); }, 45000, 100))
        << "no game played on the title screen after 45 s";
    game.click_canvas(200, 380);
    EXPECT_TRUE(wait_until([&] { return shows_logo(game.capture_canvas()); }, 1500, 20))
        << "a click did not bring the title back at once";
    EXPECT_TRUE(holds_for([&] { return shows_logo(game.capture_canvas()); }, 1000));
    EXPECT_TRUE(recordings().empty()) << "the demo was recorded as a game";
}

// The player's own entry of the table, with its recording, is offered in the High Scores
// dialog; picked, it plays in the window, and Escape brings the title back.
TEST(Recording, OwnGameIsWatchedFromTheHighScoresDialog)
{
    ScoreFileGuard guard;
    std::string demo = read_file(replays_dir() + "/demo.replay");
    ASSERT_FALSE(demo.empty());
    std::string result = recorded_final_line(demo);
    int score = 0, level = 0;
    ASSERT_EQ(sscanf(result.c_str(), "Final score: %d at level %d", &score, &level), 2);
    std::string named = demo;
    named.insert(named.find("\n", named.find("result ")) + 1, "name Demo Player\n");
    fs::create_directories(replays_home());
    write_file(replays_home() + "/2020-01-01_00-00-00.replay", named);
    std::string table;
    char line[64];
    snprintf(line, sizeof line, "%-20s %d %d\n", "Demo Player", level, score);
    table += line;
    for (int i = 0; i < 9; ++i)
        table += "Anonymous            0 0\n";
    write_file(score_file(), table);

    Game game({});
    ASSERT_TRUE(game.ok()) << game.error();
    WindowId scores = game.choose(0, 3, test_artifact_name("menu"));
    ASSERT_NE(scores, 0u) << game.error();
    // The choice is clicked once two looks a moment apart find it in the same place (a
    // dialog just mapped may still be laid out), and again if the dialog stays: on a loaded
    // machine a click can come before the dialog takes it.
    bool gone = false;
    for (int attempt = 0; attempt < 3 && !gone; ++attempt) {
        Rect choice, before;
        wait_until(
            [&] {
                choice = last_choice_button(scores);
                bool settled = !choice.empty() && choice.x == before.x && choice.y == before.y &&
                               choice.w == before.w && choice.h == before.h;
                before = choice;
                return settled;
            },
            UI_TIMEOUT_MS, 100);
        if (attempt == 0)
            save_artifact(test_artifact_name("high-scores"), capture_window(scores));
        ASSERT_FALSE(choice.empty()) << "the own game is not offered";
        click_at(choice.cx(), choice.cy());
        gone = game.wait_dialog_gone(scores, 5000);
    }
    ASSERT_TRUE(gone) << "the choice did not close the dialog";
    ASSERT_TRUE(wait_until([&] { return status_line_shown(game.capture_canvas()); }, UI_TIMEOUT_MS, 50))
        << "the game picked does not play";
    save_artifact(test_artifact_name("watching"), game.capture_canvas());
    game.move_to_canvas(200, 200);
    tap_key(XK_Escape);
    EXPECT_TRUE(wait_until([&] { return shows_logo(game.capture_canvas()); }, UI_TIMEOUT_MS, 20))
        << "Escape did not bring the title back";
    ASSERT_TRUE(game.close_and_wait());
    EXPECT_EQ(read_file(score_file()), table);
}
