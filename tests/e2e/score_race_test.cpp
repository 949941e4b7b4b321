// Two games that end and quit at the same moment: both players' scores stay in the file.
#include "tests/e2e/harness.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace e2e;

namespace {

// Left alone, level 1 is lost in well under a minute; a slow machine gets plenty more.
constexpr int GAME_OVER_TIMEOUT_MS = 240000;
constexpr int GAME_MENU = 0;

void move_window(WindowId w, int x, int y); // with Xlib, at the end of the file

std::string line(const char *name, int level, int score)
{
    char text[64];
    snprintf(text, sizeof text, "%-*s %d %d\n", 20, name, level, score);
    return text;
}

// Ten entries below zero, so that a game lost without a point gets in; returns the text.
std::string seed_losing_table(ScoreFileGuard &guard)
{
    guard.remove();
    std::string seeded;
    for (int i = 0; i < 10; ++i)
        seeded += line("Nobody", 0, -1);
    write_file(score_file(), seeded);
    return seeded;
}

// Game over, "Nuts!", the name typed into the Enter Name dialog, then the high scores' "OK".
// Returns what went wrong, or an empty text; the table's dialog is measured into *table.
std::string enter_name(Game &game, const std::string &name, Rect *table = nullptr)
{
    WindowId nuts = game.wait_for_dialog(GAME_OVER_TIMEOUT_MS);
    if (!nuts)
        return "the game did not end";
    if (title_of(nuts) != "End Game")
        return "\"" + title_of(nuts) + "\" came up in place of the end-of-game dialog";
    if (!game.click_dialog_button(nuts, 0) || !game.wait_dialog_gone(nuts))
        return "the end-of-game dialog did not close";
    WindowId enter = game.wait_for_dialog();
    if (!enter || title_of(enter) != "Enter Name")
        return "no Enter Name dialog";
    // Without a window manager the keyboard follows the pointer.
    wait_until([&] { return !game.dialog_buttons(enter).empty(); }, UI_TIMEOUT_MS, 100);
    Rect d = window_rect(enter);
    move_pointer(d.cx(), d.cy());
    type_text(name);
    tap_key(XK_Return);
    if (!game.wait_dialog_gone(enter))
        return "Enter in the name's entry did not close its dialog";
    WindowId scores = game.wait_for_dialog();
    if (!scores || title_of(scores) != "View High Scores")
        return "no high-score dialog";
    wait_until([&] { return game.dialog_buttons(scores).size() == 1; }, UI_TIMEOUT_MS, 100);
    save_artifact(test_artifact_name(name), capture_window(scores));
    if (table)
        *table = window_rect(scores);
    if (!game.click_dialog_button(scores, 0) || !game.wait_dialog_gone(scores))
        return "the high-score dialog did not close";
    return "";
}

TEST(ScoreRace, TwoGamesEndingAndQuittingTogetherKeepBothScores)
{
    ScoreFileGuard guard;
    std::string seeded = seed_losing_table(guard);

    // Both play level 1, side by side, with nobody at the controls. A game runs only while
    // the pointer is on its field: it watches one until that game is lost, then the other.
    Game alpha({"-l", "1"});
    ASSERT_TRUE(alpha.ok()) << alpha.error();
    Game bravo({"-l", "1"});
    ASSERT_TRUE(bravo.ok()) << bravo.error();
    move_window(bravo.window(), 640, 0);
    ASSERT_TRUE(wait_until([&] { return bravo.window_area().x == 640; }, UI_TIMEOUT_MS));
    for (Game *game : {&alpha, &bravo}) {
        game->move_to_canvas(200, 200);
        ASSERT_NE(game->wait_for_dialog(GAME_OVER_TIMEOUT_MS), 0u) << "a game was not lost";
    }
    move_pointer_away();

    std::string failed = enter_name(alpha, "Alpha");
    ASSERT_EQ(failed, "") << "first game";
    failed = enter_name(bravo, "Bravo");
    ASSERT_EQ(failed, "") << "second game";

    // Both quit at the same moment.
    send_delete_window(alpha.window());
    send_delete_window(bravo.window());
    ASSERT_TRUE(alpha.process().wait_exit());
    ASSERT_TRUE(bravo.process().wait_exit());
    EXPECT_EQ(alpha.process().status().code, 0) << alpha.process().err();
    EXPECT_EQ(bravo.process().status().code, 0) << bravo.process().err();

    // Each once, at level 1 with no points, in the order the names were entered.
    std::string expected = line("Alpha", 1, 0) + line("Bravo", 1, 0);
    for (int i = 0; i < 8; ++i)
        expected += line("Nobody", 0, -1);
    EXPECT_EQ(read_file(score_file()), expected);
}

// Another player made the table read-only: the game says, under the table, that the score
// was not saved (it used to show it as if it were), and once on stderr.
TEST(ScoreRace, ReadOnlyTableShowsNotSavedUnderTheHighScores)
{
    ScoreFileGuard guard;
    std::string seeded = seed_losing_table(guard);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(score_file().c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(chmod(score_file().c_str(), 0444), 0);

    // The table's dialog as it is with nothing to tell.
    Rect plain;
    {
        Game viewer({});
        ASSERT_TRUE(viewer.ok()) << viewer.error();
        WindowId dialog = viewer.choose(GAME_MENU, 3);
        ASSERT_NE(dialog, 0u) << viewer.error();
        wait_until([&] { return viewer.dialog_buttons(dialog).size() == 1; }, UI_TIMEOUT_MS, 100);
        plain = window_rect(dialog);
        ASSERT_TRUE(viewer.click_dialog_button(dialog, 0));
        ASSERT_TRUE(viewer.wait_dialog_gone(dialog));
        ASSERT_TRUE(viewer.close_and_wait());
    }

    Game game({"-l", "1"});
    ASSERT_TRUE(game.ok()) << game.error();
    game.move_to_canvas(200, 200); // the game runs while the pointer is on its field
    Rect told;
    std::string failed = enter_name(game, "Carol", &told);
    ASSERT_EQ(failed, "");
    // Two more lines of text: a blank one and the note.
    EXPECT_GE(told.h - plain.h, 20) << "no \"Not saved\" line under the table";
    ASSERT_TRUE(game.close_and_wait());
    EXPECT_EQ(game.process().status().code, 0);
    EXPECT_EQ(game.process().err(), "glimpwatch: score not saved: the score file is read-only\n");
    EXPECT_EQ(read_file(score_file()), seeded);
    chmod(score_file().c_str(), 0666);
    if (geteuid() == 0) {
        EXPECT_EQ(chown(score_file().c_str(), 0, 0), 0);
    }
}

} // namespace

// Xlib last: its macros (None, Bool, Status...) would clash with GoogleTest's names above.
#include <X11/Xlib.h>

namespace {

// Without a window manager both games' windows come up at the same place, and so would
// their dialogs, each centred over its own window.
void move_window(WindowId w, int x, int y)
{
    Display *display = XServerEnvironment::display();
    XMoveWindow(display, w, x, y);
    XSync(display, False);
}

} // namespace
