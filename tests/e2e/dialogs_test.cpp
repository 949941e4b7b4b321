// Menus, dialogs and the game's states, driven through real pointer and key events.
#include "tests/e2e/field_view.h"
#include "tests/e2e/harness.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace e2e;

namespace {

constexpr int GAME_MENU = 0;
constexpr int INFO_MENU = 1;

XpmPicture picture(const std::string &name) { return read_xpm(pixmap_path(name)); }

// The logo is gone when most of its coloured pixels are no longer where it stood.
bool logo_gone(const Capture &canvas, int size = 400)
{
    static const XpmPicture logo = picture("logo");
    if (!logo.ok())
        return false;
    long drawn = 0;
    for (size_t i = 0; i < logo.pixels.size(); ++i) {
        const Rgb &p = logo.pixels[i];
        if (logo.opaque[i] && logo.known[i] && !(p.r >= 250 && p.g >= 250 && p.b >= 250))
            ++drawn;
    }
    long missing =
        picture_mismatches(canvas, logo, (size - logo.width) / 2, (size - logo.height) / 2);
    return drawn > 0 && missing * 2 > drawn;
}

// Waits for a game in play with the status text shown and the logo gone; the last
// capture is kept as the test's artifact.
bool wait_for_play(Game &game, const std::string &status)
{
    game.move_to_canvas(200, 200);
    Capture canvas;
    bool playing = wait_until(
        [&] {
            canvas = game.capture_canvas();
            return status_says(canvas, status) && logo_gone(canvas);
        },
        UI_TIMEOUT_MS, 50);
    save_artifact(test_artifact_name(), canvas);
    return playing;
}

// Opens Warp from the menu and types the text into its entry; returns the dialog, or 0.
WindowId open_warp_and_type(Game &game, const std::string &text)
{
    WindowId dialog = game.choose(GAME_MENU, 2);
    if (!dialog)
        return 0;
    // Without a window manager the keyboard follows the pointer: type with it over the entry.
    wait_until([&] { return !game.dialog_buttons(dialog).empty(); }, UI_TIMEOUT_MS, 100);
    Rect d = window_rect(dialog);
    move_pointer(d.cx(), d.cy());
    type_text(text);
    return dialog;
}

Game *start_waiting(std::vector<std::string> args = {})
{
    auto *game = new Game(args);
    if (game->ok())
        wait_until([&] { return shows_logo(game->capture_canvas()); }, WINDOW_TIMEOUT_MS, 50);
    return game;
}

// Writes the build's score file as the game writes it, ten entries best first: each name in a
// field of 20 bytes, its level, and a score 50 below the one before, from 1000. Returns the text.
std::string score_file_text(const char *const (&names)[10], const std::function<int(int)> &level)
{
    std::string table;
    for (int i = 0; i < 10; ++i) {
        char line[64];
        snprintf(line, sizeof line, "%-20s %d %d\n", names[i], level(i), 1000 - 50 * i);
        table += line;
    }
    write_file(score_file(), table);
    return table;
}

// A dialog pops up centred over the main window: its corner at the main window's corner plus
// half the difference in size, truncated toward zero.
void expect_centred_over(const Rect &dialog, const Rect &main)
{
    int x = main.x + (main.w - dialog.w) / 2, y = main.y + (main.h - dialog.h) / 2;
    if (x < 0 || y < 0) {
        // A dialog larger than the window would start above or left of the screen; the
        // toolkit's position call ignores such coordinates and, without a window manager,
        // leaves the dialog where it first appeared. Only visibility can be asked for.
        ::testing::Test::RecordProperty("dialog_not_centred", "larger than the main window");
        EXPECT_GE(dialog.x + dialog.w, 1);
        EXPECT_GE(dialog.y + dialog.h, 1);
        return;
    }
    EXPECT_NEAR(dialog.x, x, 1) << "dialog of width " << dialog.w << " over a window of width "
                                << main.w << " at x " << main.x;
    EXPECT_NEAR(dialog.y, y, 1) << "dialog of height " << dialog.h << " over a window of height "
                                << main.h << " at y " << main.y;
}

struct MenuCase {
    const char *name;
    int menu, entry;
    std::vector<std::string> args; // the pause entry needs a running game
    int buttons;                   // how many buttons the dialog offers
    std::vector<const char *> pictures;
};

} // namespace

// Every menu entry opens its dialog over the main window; its first button closes it and
// the program goes on.
TEST(Dialogs, EveryMenuEntryOpensItsDialogCentredAndItsButtonClosesIt)
{
    const std::vector<MenuCase> cases = {
        {"new-game", GAME_MENU, 0, {}, 2, {}},    {"pause", GAME_MENU, 1, {"-l", "1"}, 1, {"icon"}},
        {"warp", GAME_MENU, 2, {}, 1, {}},        {"high-scores", GAME_MENU, 3, {}, 1, {}},
        {"quit", GAME_MENU, 4, {}, 2, {}},        {"story", INFO_MENU, 0, {}, 1, {"logo"}},
        {"rules", INFO_MENU, 1, {}, 1, {"logo"}}, {"about", INFO_MENU, 2, {}, 1, {"logo", "about"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Game game(c.args);
        ASSERT_TRUE(game.ok()) << game.error();
        // Close buttons of New Game and Quit are tried separately: here the last button,
        // "Cancel", closes them so that nothing happens.
        int close = c.buttons - 1;
        WindowId dialog =
            game.choose(c.menu, c.entry, test_artifact_name(std::string(c.name) + "-menu"));
        ASSERT_NE(dialog, 0u) << game.error();
        // Wait until the dialog has drawn its button row, then look at it.
        wait_until(
            [&] { return static_cast<int>(game.dialog_buttons(dialog).size()) == c.buttons; },
            UI_TIMEOUT_MS, 100);
        Capture shot = capture_window(dialog);
        save_artifact(test_artifact_name(c.name), shot);
        expect_centred_over(window_rect(dialog), game.window_area());

        for (const char *name : c.pictures) {
            XpmPicture pic = picture(name);
            ASSERT_TRUE(pic.ok()) << name;
            // A dialog taller than the screen has its top cut off: compare what can be seen.
            EXPECT_FALSE(find_picture(shot, pic, 0, true).empty())
                << "the dialog does not show " << name;
        }
        auto buttons = game.dialog_buttons(dialog);
        ASSERT_EQ(static_cast<int>(buttons.size()), c.buttons) << "buttons found in the dialog";
        ASSERT_TRUE(game.click_dialog_button(dialog, close));
        EXPECT_TRUE(game.wait_dialog_gone(dialog)) << "the dialog is still up";
        EXPECT_TRUE(game.process().running()) << game.process().err();
    }
}

TEST(Dialogs, NewGameCancelStartsNothing)
{
    std::unique_ptr<Game> game(start_waiting());
    ASSERT_TRUE(game->ok()) << game->error();
    WindowId dialog = game->choose(GAME_MENU, 0);
    ASSERT_NE(dialog, 0u) << game->error();
    ASSERT_TRUE(game->click_dialog_button(dialog, 1)) << "no Cancel button found";
    ASSERT_TRUE(game->wait_dialog_gone(dialog));
    game->move_to_canvas(200, 200);
    // The window shows the logo again once the place the dialog covered is repainted; then
    // well over one ticker period: a started game would have drawn its field.
    Capture canvas;
    ASSERT_TRUE(
        wait_until([&] { return shows_logo(canvas = game->capture_canvas()); }, UI_TIMEOUT_MS, 50))
        << "the window did not show the logo again";
    EXPECT_TRUE(holds_for([&] { return shows_logo(canvas = game->capture_canvas()); }, 1500))
        << "the logo was replaced: a game started";
    save_artifact(test_artifact_name(), canvas);
}

TEST(Dialogs, NewGameOkStartsAGame)
{
    std::unique_ptr<Game> game(start_waiting());
    ASSERT_TRUE(game->ok()) << game->error();
    WindowId dialog = game->choose(GAME_MENU, 0);
    ASSERT_NE(dialog, 0u) << game->error();
    ASSERT_TRUE(game->click_dialog_button(dialog, 0)) << "no OK button found";
    ASSERT_TRUE(game->wait_dialog_gone(dialog));
    EXPECT_TRUE(wait_for_play(*game, "Level:1  Score:0 "))
        << "no play field at level 1 with score 0 after New Game, OK";
}

TEST(Dialogs, QuitCancelKeepsRunningAndQuitOkExitsMakingNoTableWithNothingToSave)
{
    ScoreFileGuard guard;
    guard.remove();
    std::unique_ptr<Game> game(start_waiting());
    ASSERT_TRUE(game->ok()) << game->error();

    WindowId dialog = game->choose(GAME_MENU, 4);
    ASSERT_NE(dialog, 0u) << game->error();
    ASSERT_TRUE(game->click_dialog_button(dialog, 1)) << "no Cancel button found";
    ASSERT_TRUE(game->wait_dialog_gone(dialog));
    EXPECT_TRUE(game->process().running());
    EXPECT_FALSE(wait_until([&] { return !game->process().running(); }, 500));

    dialog = game->choose(GAME_MENU, 4);
    ASSERT_NE(dialog, 0u) << game->error();
    ASSERT_TRUE(game->click_dialog_button(dialog, 0)) << "no OK button found";
    ASSERT_TRUE(game->process().wait_exit()) << "Quit, OK did not end the program";
    EXPECT_TRUE(game->process().status().exited);
    EXPECT_EQ(game->process().status().code, 0) << game->process().err();

    bool exists = false;
    read_file(score_file(), &exists);
    EXPECT_FALSE(exists) << "a quit with no new score made " << score_file();
}

TEST(Dialogs, ScoreFileIsReadAtStartAndLeftAsItIsByAQuitWithNothingNew)
{
    ScoreFileGuard guard;
    guard.remove();
    const char *names[] = {"ada",   "brian", "carol", "dmitri", "eve",
                           "frank", "grace", "heidi", "ivan",   "judy"};
    std::string table = score_file_text(names, [](int i) { return 10 - i; });
    std::unique_ptr<Game> game(start_waiting());
    ASSERT_TRUE(game->ok()) << game->error();
    WindowId dialog = game->choose(GAME_MENU, 3);
    ASSERT_NE(dialog, 0u) << game->error();
    wait_until([&] { return !game->dialog_buttons(dialog).empty(); }, UI_TIMEOUT_MS, 100);
    save_artifact(test_artifact_name("high-scores"), capture_window(dialog));
    ASSERT_TRUE(game->click_dialog_button(dialog, 0));
    ASSERT_TRUE(game->wait_dialog_gone(dialog));
    ASSERT_TRUE(game->close_and_wait());
    EXPECT_EQ(game->process().status().code, 0);
    EXPECT_EQ(read_file(score_file()), table) << "the table did not survive a run unchanged";
}

TEST(Dialogs, WarpFromTheLogoStartsAGameAtThatLevel)
{
    std::unique_ptr<Game> game(start_waiting());
    ASSERT_TRUE(game->ok()) << game->error();
    WindowId dialog = open_warp_and_type(*game, "3");
    ASSERT_NE(dialog, 0u) << game->error();
    save_artifact(test_artifact_name("typed"), capture_window(dialog));
    tap_key(XK_Return);
    ASSERT_TRUE(game->wait_dialog_gone(dialog)) << "Enter in the entry did not close the dialog";
    EXPECT_TRUE(wait_for_play(*game, "Level:3  Score:0 "))
        << "no play field at level 3 after warping to 3";
}

TEST(Dialogs, WarpWithTextThatIsNotANumberStartsNothing)
{
    std::unique_ptr<Game> game(start_waiting());
    ASSERT_TRUE(game->ok()) << game->error();
    WindowId dialog = open_warp_and_type(*game, "3a");
    ASSERT_NE(dialog, 0u) << game->error();
    ASSERT_TRUE(game->click_dialog_button(dialog, 0));
    ASSERT_TRUE(game->wait_dialog_gone(dialog));
    game->move_to_canvas(200, 200);
    // Repainted, then well over one ticker period, as above.
    ASSERT_TRUE(wait_until([&] { return shows_logo(game->capture_canvas()); }, UI_TIMEOUT_MS, 50))
        << "the window did not show the logo again";
    EXPECT_TRUE(holds_for([&] { return shows_logo(game->capture_canvas()); }, 1500))
        << "a game started from \"3a\"";
}

// ---------------------------------------------------------------- the ticker

TEST(Ticker, GameStartedFromTheCommandLineRunsAndThePointerLeavingPausesIt)
{
    std::unique_ptr<Game> game(new Game({"-l", "1"}));
    ASSERT_TRUE(game->ok()) << game->error();
    game->move_to_canvas(200, 200);
    Capture first;
    ASSERT_TRUE(wait_until(
        [&] {
            first = game->capture_canvas();
            return status_says(first, "Level:1  Score:0 ");
        },
        UI_TIMEOUT_MS, 50))
        << "no status line for level 1: the game does not tick";
    save_artifact(test_artifact_name("playing"), first);
    // Glimps enter on the first tick and walk on every tick: the field keeps changing.
    Capture second = game->wait_canvas_change(first);
    ASSERT_FALSE(second.empty()) << "the field did not change between ticks";
    Capture third = game->wait_canvas_change(second);
    ASSERT_FALSE(third.empty()) << "the field stopped changing";

    // The pointer leaves the canvas: once a tick that was under way has been drawn, the
    // field stands still.
    move_pointer_away();
    Capture paused = game->capture_canvas();
    auto unchanged = [&] { return game->capture_canvas().differences(paused) == 0; };
    ASSERT_TRUE(wait_until(
        [&] {
            paused = game->capture_canvas();
            return holds_for(unchanged, 700);
        },
        UI_TIMEOUT_MS, 50))
        << "the field keeps changing with the pointer off the canvas";
    // Well over a few ticker periods: nothing moves.
    EXPECT_TRUE(holds_for(unchanged, 1500)) << "a tick ran while paused";
    save_artifact(test_artifact_name("paused"), paused);

    // Back on the canvas, the game goes on.
    game->move_to_canvas(200, 200);
    EXPECT_FALSE(game->wait_canvas_change(paused).empty()) << "the game did not resume";
}

TEST(Ticker, PauseDialogHoldsTheGameUntilContinue)
{
    std::unique_ptr<Game> game(new Game({"-l", "1"}));
    ASSERT_TRUE(game->ok()) << game->error();
    game->move_to_canvas(200, 200);
    ASSERT_TRUE(wait_until([&] { return status_says(game->capture_canvas(), "Level:1 "); },
                           UI_TIMEOUT_MS, 50));
    WindowId dialog = game->choose(GAME_MENU, 1);
    ASSERT_NE(dialog, 0u) << game->error();
    EXPECT_EQ(title_of(dialog), "Pause Game");
    wait_until([&] { return game->dialog_buttons(dialog).size() == 1; }, UI_TIMEOUT_MS, 100);
    Capture held = game->capture_canvas();
    // Well over a few ticks: nothing moves on the field behind the dialog.
    EXPECT_TRUE(holds_for([&] { return game->capture_canvas().differences(held) == 0; }, 1500))
        << "the game ran behind the pause dialog";
    ASSERT_TRUE(game->click_dialog_button(dialog, 0)) << "no \"Continue\" button found";
    ASSERT_TRUE(game->wait_dialog_gone(dialog));
    game->move_to_canvas(200, 200);
    EXPECT_FALSE(game->wait_canvas_change(game->capture_canvas()).empty())
        << "the game did not go on after \"Continue\"";
}

// ---------------------------------------------------------------- the end of a game

// Left alone, a game at level 10 is lost within a minute or so: the end-game dialog, then the
// name for a score that makes the table, then the table, then the logo again.
TEST(GameOver, LostGameAsksForANameShowsTheTableAndReturnsToTheLogo)
{
    ScoreFileGuard guard;
    guard.remove();
    // Every old entry scored -1, so the lost game's score (0 or more) makes the table.
    std::string old_table;
    for (int i = 0; i < 10; ++i) {
        char line[64];
        snprintf(line, sizeof line, "%-20s %d %d\n", ("old" + std::to_string(i)).c_str(), 1, -1);
        old_table += line;
    }
    write_file(score_file(), old_table);

    std::unique_ptr<Game> game(new Game({"-l", "10"}));
    ASSERT_TRUE(game->ok()) << game->error();
    // The pointer stays on the field, or the game would pause.
    game->move_to_canvas(200, 200);

    WindowId end = game->wait_for_dialog(180000);
    ASSERT_NE(end, 0u) << "the game was not lost within three minutes";
    EXPECT_EQ(title_of(end), "End Game");
    wait_until([&] { return game->dialog_buttons(end).size() == 1; }, UI_TIMEOUT_MS, 100);
    save_artifact(test_artifact_name("end-game"), capture_window(end));
    Capture field = game->capture_canvas();
    save_artifact(test_artifact_name("field"), field);
    EXPECT_FALSE(status_line_shown(field)) << "the lost field is redrawn without a status line";
    EXPECT_FALSE(find_on_field(field, {"toaster"}).empty()) << "no computer turned into a toaster";
    ASSERT_TRUE(game->click_dialog_button(end, 0)) << "no \"Nuts!\" button found";
    ASSERT_TRUE(game->wait_dialog_gone(end));

    WindowId name = game->wait_for_dialog();
    ASSERT_NE(name, 0u) << "no dialog asked for a name";
    EXPECT_EQ(title_of(name), "Enter Name");
    wait_until([&] { return game->dialog_buttons(name).size() == 1; }, UI_TIMEOUT_MS, 100);
    Rect d = window_rect(name);
    move_pointer(d.cx(), d.cy());
    type_text("tester");
    save_artifact(test_artifact_name("enter-name"), capture_window(name));
    tap_key(XK_Return);
    ASSERT_TRUE(game->wait_dialog_gone(name)) << "Enter did not close the name dialog";

    WindowId table = game->wait_for_dialog();
    ASSERT_NE(table, 0u) << "no high-score table after the name";
    EXPECT_EQ(title_of(table), "View High Scores");
    wait_until([&] { return game->dialog_buttons(table).size() == 1; }, UI_TIMEOUT_MS, 100);
    save_artifact(test_artifact_name("high-scores"), capture_window(table));
    ASSERT_TRUE(game->click_dialog_button(table, 0));
    ASSERT_TRUE(game->wait_dialog_gone(table));

    game->move_to_canvas(200, 200);
    EXPECT_TRUE(wait_until([&] { return shows_logo(game->capture_canvas()); }, UI_TIMEOUT_MS, 50))
        << "the logo did not come back after the game";
    save_artifact(test_artifact_name("after"), game->capture_canvas());

    ASSERT_TRUE(game->close_and_wait());
    EXPECT_EQ(game->process().status().code, 0);
    std::istringstream file(read_file(score_file()));
    std::string first;
    std::getline(file, first);
    EXPECT_EQ(first.substr(0, 24), "tester               10 ") << "first line: " << first;
    int lines = 1;
    std::string line;
    while (std::getline(file, line)) {
        ++lines;
        EXPECT_EQ(line.substr(0, 4), "old" + std::to_string(lines - 2)) << line;
    }
    EXPECT_EQ(lines, 10);
}

// ---------------------------------------------------------------- the high-score table

namespace {

// Each entry's row of the High Scores dialog, read from its capture: where its level's and
// its score's ink ends, and where the level's ink begins at the top.
struct NumberRow {
    int top = 0, level_end = 0, score_end = 0;
};

// The rows of the table above `bottom` (the buttons' top), read in the two columns of ink at
// the right: the numbers. Each entry's level is the same digit, so its ink's top lies at the
// same height in every row.
std::vector<NumberRow> number_rows(const Capture &shot, int bottom, std::string *why)
{
    constexpr int DARK = 110;
    std::vector<Band> columns = dark_columns(shot, 0, bottom, DARK, 6);
    if (columns.size() < 3) {
        *why = "fewer than three columns of text";
        return {};
    }
    const Band &level = columns[columns.size() - 2], &score = columns.back();
    Capture levels = shot.crop(level.top, 0, level.height(), bottom);
    std::vector<Band> bands = dark_bands(levels, DARK, 3);
    if (bands.size() < 10) {
        *why = std::to_string(bands.size()) + " rows of levels";
        return {};
    }
    std::vector<NumberRow> rows;
    for (size_t i = bands.size() - 10; i < bands.size(); ++i) {
        NumberRow row;
        row.top = bands[i].top;
        auto last_dark = [&](const Band &column) {
            int end = -1;
            for (int y = bands[i].top; y <= bands[i].bottom; ++y)
                for (int x = column.top; x <= column.bottom; ++x)
                    if (shot.at(x, y).luma() <= DARK)
                        end = std::max(end, x);
            return end;
        };
        row.level_end = last_dark(level);
        row.score_end = last_dark(score);
        rows.push_back(row);
    }
    return rows;
}

} // namespace

// Names in Chinese characters (each two columns wide, from a font of their own, taller than
// Latin) and with emoji (in colour, from yet another font) beside Latin ones: the High
// Scores dialog keeps its columns: every level and every score ends at the same x, and every
// row is of one height.
TEST(HighScores, CjkEmojiAndLatinNamesKeepTheColumnsAndOneRowHeight)
{
    ScoreFileGuard guard;
    guard.remove();
    const char *names[] = {
        "Anonymous",
        "\xE7\x8E\x8B\xE5\xB0\x8F\xE6\x98\x8E\xE7\x9A\x84\xE9\xAB\x98\xE5\x88\x86", // 王小明的高分
        "ada",
        "Zo\xC3\xAB \xF0\x9F\x8E\xAE\xF0\x9F\x90\xA7 \xCE\xA9mega",               // Zoë 🎮🐧 Ωmega
        "Mmmmmmmmmmmmmmmmmmmm",
        "\xE6\xBC\xA2\xE5\xAD\x97",                                                // 漢字
        "i",
        "\xF0\x9F\x98\x80",                                                        // 😀
        "Ren\xC3\xA9",
        "WWW",
    };
    const int emoji_row = 3;
    // Every level the same digit, every score ending in 0.
    score_file_text(names, [](int) { return 7; });
    std::unique_ptr<Game> game(start_waiting());
    ASSERT_TRUE(game->ok()) << game->error();
    WindowId dialog = game->choose(GAME_MENU, 3);
    ASSERT_NE(dialog, 0u) << game->error();
    std::vector<Rect> buttons;
    ASSERT_TRUE(wait_until([&] { return (buttons = game->dialog_buttons(dialog)).size() == 1; }, UI_TIMEOUT_MS, 100));
    // Measured once the table is drawn whole and two looks a moment apart agree: on a
    // loaded machine the button can be there before the rows above it.
    Rect d;
    Capture shot, before;
    std::string why;
    std::vector<NumberRow> rows;
    wait_until(
        [&] {
            d = window_rect(dialog);
            shot = capture_window(dialog);
            why.clear();
            rows = number_rows(shot, buttons[0].y - d.y - 4, &why);
            bool settled = rows.size() == 10u && shot.width == before.width && shot.height == before.height &&
                           shot.differences(before) == 0;
            before = shot;
            return settled;
        },
        UI_TIMEOUT_MS, 100);
    save_artifact(test_artifact_name(), shot);
    ASSERT_EQ(rows.size(), 10u) << why;
    int pitch = rows[1].top - rows[0].top;
    EXPECT_GT(pitch, 0);
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_NEAR(rows[i].level_end, rows[0].level_end, 1) << "the level column is out of line";
        EXPECT_NEAR(rows[i].score_end, rows[0].score_end, 1) << "the score column is out of line";
        if (i > 0) {
            EXPECT_EQ(rows[i].top - rows[i - 1].top, pitch) << "a row of another height above this one";
        }
    }
    // The emoji are drawn in colour, from their own font: not as boxes of a missing glyph.
    int coloured = 0;
    for (int y = rows[emoji_row].top - pitch / 3; y < rows[emoji_row].top + pitch / 2; ++y)
        for (int x = 0; x < d.w; ++x) {
            Rgb c = shot.at(x, y);
            coloured += std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b}) > 100;
        }
    EXPECT_GT(coloured, 10) << "no emoji in colour on the row of " << names[emoji_row];
    ASSERT_TRUE(game->click_dialog_button(dialog, 0));
    ASSERT_TRUE(game->wait_dialog_gone(dialog));
}
