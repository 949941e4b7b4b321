// Around the rules, what a player keeps and sees: the paused field, the final result, names
// as typed and remembered, scores kept in the player's own directory, the icon from the
// first map, and cursors with a rim.
#include "tests/e2e/harness.h"
#include "tests/scoped_env.h"
#include "tests/xpm_file.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace e2e;
namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------- the paused field

TEST(PausedField, PointerOffTheFieldShowsTheFrameDimmedWithWhyAndItComesBackUnchanged)
{
    Game game({"-l", "1"});
    ASSERT_TRUE(game.ok()) << game.error();
    game.move_to_canvas(200, 200);
    ASSERT_TRUE(
        wait_until([&] { return status_line_shown(game.capture_canvas()); }, UI_TIMEOUT_MS, 50));

    // The frame comes back on the pointer's return before the next tick draws: the ticker
    // restarts with a whole period to go. On a machine slow enough to let a tick in before
    // the capture, the comparison is tried again.
    Capture paused, back;
    long undimmed = -1;
    for (int attempt = 0; attempt < 4 && undimmed != 0; ++attempt) {
        // Playing: a tick drawn, then the pointer goes.
        game.move_to_canvas(200, 200);
        game.wait_canvas_change(game.capture_canvas());
        move_pointer_away();
        // Taken once two looks a moment apart agree: the view may be caught half drawn.
        Capture last;
        ASSERT_TRUE(wait_until(
            [&] {
                paused = game.capture_canvas();
                bool settled = shows_paused_view(paused) && !last.empty() &&
                               paused.differences(last) == 0;
                last = paused;
                return settled;
            },
            UI_TIMEOUT_MS, 20))
            << "the field did not look paused with the pointer off it";
        // Held: nothing moves while the pointer is away, for a few ticker periods.
        EXPECT_TRUE(
            holds_for([&] { return game.capture_canvas().differences(paused) == 0; }, 600))
            << "the paused field changed";
        game.move_to_canvas(200, 200);
        ASSERT_TRUE(wait_until([&] { return !shows_paused_view(back = game.capture_canvas()); },
                               UI_TIMEOUT_MS, 5))
            << "the paused view stayed after the pointer came back";
        undimmed = paused_view_mismatches(paused, back);
    }
    save_artifact(test_artifact_name("paused"), paused);
    save_artifact(test_artifact_name("back"), back);
    EXPECT_EQ(undimmed, 0)
        << "outside its message, the paused view is not the frame at half brightness";
    // Where the message is, the paused view is more than the dimmed frame.
    long text = 0;
    for (int y = back.height / 2 - 8; y <= back.height / 2 + 8; ++y)
        for (int x = 0; x < back.width; ++x)
            text += paused.at(x, y).luma() > 200;
    EXPECT_GT(text, 150) << "no message across the paused field";
    // The game goes on.
    EXPECT_FALSE(game.wait_canvas_change(back).empty()) << "the game did not resume";
}

// A game that starts while its player is elsewhere waits for them: started from the command
// line, or from the keyboard with the pointer on the menu bar, it shows the paused view and
// nothing moves until the pointer comes onto the field; then it runs from its first tick.
TEST(PausedField, GameStartedWithThePointerAwayWaitsDimmedUntilThePointerComesOntoTheField)
{
    struct Case {
        const char *name;
        std::vector<std::string> args;
        bool new_game_from_keyboard; // Ctrl+N and OK, the pointer back on the menu bar
        const char *status;
    };
    const Case cases[] = {
        {"command-line", {"-l", "2"}, false, "Level:2  Score:0 "},
        {"keyboard", {}, true, "Level:1  Score:0 "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Game game(c.args);
        ASSERT_TRUE(game.ok()) << game.error();
        if (c.new_game_from_keyboard) {
            ASSERT_TRUE(wait_until([&] { return shows_logo(game.capture_canvas()); }, UI_TIMEOUT_MS, 50));
            // Without a window manager the keys go to the window under the pointer.
            Rect w = game.window_area();
            move_pointer(w.x + w.w - 20, w.y + game.menu_bar_height() / 2);
            tap_key_with_control(XK_n);
            WindowId dialog = game.wait_for_dialog();
            ASSERT_NE(dialog, 0u) << "Ctrl+N opened no dialog";
            // OK clicked, and the pointer back on the menu bar before the dialog has gone. A
            // click that a busy toolkit lost is made again while the dialog is still there.
            bool gone = false;
            for (int attempt = 0; attempt < 3 && !gone; ++attempt) {
                if (!window_viewable(dialog))
                    break;
                ASSERT_TRUE(game.click_dialog_button(dialog, 0)) << "no OK button found";
                move_pointer(w.x + w.w - 20, w.y + game.menu_bar_height() / 2);
                gone = game.wait_dialog_gone(dialog, 8000);
            }
            ASSERT_TRUE(gone || game.wait_dialog_gone(dialog)) << "OK did not confirm New Game";
        }
        Capture waiting;
        ASSERT_TRUE(wait_until([&] { return shows_paused_view(waiting = game.capture_canvas()); },
                               UI_TIMEOUT_MS, 20))
            << "the new game does not look paused with its player away";
        save_artifact(test_artifact_name(std::string(c.name) + "-waiting"), waiting);
        // Several ticker periods: no tick runs, nothing moves.
        EXPECT_TRUE(holds_for([&] { return game.capture_canvas().differences(waiting) == 0; }, 1500))
            << "the game ran with its player away";
        game.move_to_canvas(200, 200);
        Capture running;
        // The paused view may still show its dimmed status line for a moment.
        EXPECT_TRUE(wait_until(
            [&] {
                running = game.capture_canvas();
                return status_says(running, c.status) && !shows_paused_view(running);
            },
            UI_TIMEOUT_MS, 50))
            << "the game did not start with the pointer on the field";
        save_artifact(test_artifact_name(std::string(c.name) + "-running"), running);
        EXPECT_FALSE(shows_paused_view(running));
        EXPECT_FALSE(game.wait_canvas_change(running).empty()) << "the game does not go on";
    }
}

TEST(PausedField, TitleScreenNeverLooksPaused)
{
    Game game({});
    ASSERT_TRUE(game.ok()) << game.error();
    game.move_to_canvas(200, 200);
    ASSERT_TRUE(wait_until([&] { return shows_logo(game.capture_canvas()); }, UI_TIMEOUT_MS, 50));
    move_pointer_away();
    // A few ticker periods: a paused view would have come by then.
    EXPECT_TRUE(holds_for([&] { return shows_logo(game.capture_canvas()); }, 500))
        << "the title screen changed with the pointer off it";
}

// ---------------------------------------------------------------- the end of a game

// Left alone, level 40 is lost within seconds.
constexpr int GAME_OVER_TIMEOUT_MS = 120000;
const std::string ZHE = "\xD0\x96"; // a Cyrillic letter, two bytes

std::string table_line(const std::string &name, int level, int score)
{
    char text[96];
    snprintf(text, sizeof text, "%-*s %d %d\n", 20, name.c_str(), level, score);
    return text;
}

std::string repeat(const std::string &s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

// The rows of text in a dialog above its buttons.
int text_rows_above_buttons(Game &game, WindowId dialog)
{
    std::vector<Rect> buttons = game.dialog_buttons(dialog);
    if (buttons.empty())
        return -1;
    Capture c = capture_window(dialog);
    int buttons_top = buttons.front().y - c.y;
    int rows = 0;
    for (const Band &band : dark_bands(c.crop(4, 4, c.width - 8, buttons_top - 8), 120, 4))
        rows += band.height() < 30;
    return rows;
}

// Plays a game to its end and enters a name: typed (replacing what the entry offers) when
// given, else the offered one kept with Enter. Saves captures of the dialogs under tag and
// leaves the high-score dialog up, in *table.
std::string play_to_the_end(Game &game, const std::string &typed, const std::string &tag,
                            WindowId *table)
{
    WindowId end = game.wait_for_dialog(GAME_OVER_TIMEOUT_MS);
    if (!end || title_of(end) != "End Game")
        return "no End Game dialog";
    wait_until([&] { return game.dialog_buttons(end).size() == 1; }, UI_TIMEOUT_MS, 100);
    save_artifact(test_artifact_name(tag + "-end-game"), capture_window(end));
    // The End Game text, an empty line, and the final result below it.
    int rows = text_rows_above_buttons(game, end);
    if (rows != 4)
        return "the End Game dialog shows " + std::to_string(rows) +
               " rows of text, not 4 with the result";
    if (!game.click_dialog_button(end, 0) || !game.wait_dialog_gone(end))
        return "\"Nuts!\" did not close the End Game dialog";
    WindowId name = game.wait_for_dialog();
    if (!name || title_of(name) != "Enter Name")
        return "no Enter Name dialog";
    wait_until([&] { return game.dialog_buttons(name).size() == 1; }, UI_TIMEOUT_MS, 100);
    Rect d = window_rect(name);
    move_pointer(d.cx(), d.cy()); // without a window manager the keyboard follows the pointer
    save_artifact(test_artifact_name(tag + "-offered"), capture_window(name));
    type_text(typed);
    save_artifact(test_artifact_name(tag + "-typed"), capture_window(name));
    tap_key(XK_Return);
    if (!game.wait_dialog_gone(name))
        return "Enter did not close the Enter Name dialog";
    *table = game.wait_for_dialog();
    if (!*table || title_of(*table) != "View High Scores")
        return "no high-score dialog";
    wait_until([&] { return game.dialog_buttons(*table).size() == 1; }, UI_TIMEOUT_MS, 100);
    save_artifact(test_artifact_name(tag + "-high-scores"), capture_window(*table));
    return "";
}

// Where the level and the score of each row of the high-score dialog end (their right
// edges, in dialog pixels), for the rows of the table below its header.
std::vector<std::pair<int, int>> column_ends(Game &game, WindowId table)
{
    std::vector<std::pair<int, int>> ends;
    std::vector<Rect> buttons = game.dialog_buttons(table);
    Capture c = capture_window(table);
    int bottom = buttons.empty() ? c.height : buttons.front().y - c.y - 4;
    Capture text = c.crop(0, 0, c.width, bottom);
    std::vector<Band> rows = dark_bands(text, 120, 4);
    // The header and the ten entries are the eleven rows below the title (the games of the
    // player's that can be watched again may follow).
    for (size_t i = 1; i < rows.size() && i <= 11; ++i) {
        // Words: runs of dark columns closer than a blank ("-1" is one word).
        std::vector<Band> words = dark_columns(text, rows[i].top, rows[i].bottom, 120, 5);
        if (words.size() >= 3)
            ends.push_back({words[words.size() - 2].bottom, words.back().bottom});
    }
    return ends;
}

// A directory that must not exist for a test, put back afterwards (before the score file
// guard declared ahead of it restores the file there).
class DirectoryAway {
public:
    explicit DirectoryAway(const std::string &dir) : dir_(dir)
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    ~DirectoryAway()
    {
        std::error_code ec;
        fs::create_directories(dir_, ec);
    }

private:
    std::string dir_;
};

// Played from the checkout with no system table: the scores go to the player's own data
// directory and are there for the next run; a Cyrillic name is cut at a whole character,
// offered again by the next run, kept whole, and lined up in the table.
TEST(PlayerScores, KeptInThePlayersDirectoryAcrossRunsWithNamesAsTyped)
{
    ScoreFileGuard guard;
    DirectoryAway away(fs::path(score_file()).parent_path().string());
    std::string data_home = home_dir() + "/scores-test";
    std::error_code ec;
    fs::remove_all(data_home, ec);
    std::string own_table = data_home + "/glimpwatch/glimpwatch.scores";
    fs::create_directories(fs::path(own_table).parent_path(), ec);
    // Every entry below zero, so that a game lost without a point gets in.
    std::string seeded;
    for (int i = 0; i < 10; ++i)
        seeded += table_line("Anonymous", 0, -1);
    write_file(own_table, seeded);
    ScopedEnv env("XDG_DATA_HOME", data_home.c_str());

    // One Latin letter and 17 Cyrillic ones: the tenth Cyrillic letter would end at byte 21,
    // so the entry takes the first nine.
    const std::string kept = "x" + repeat(ZHE, 9);
    {
        Game first({"-l", "40"});
        ASSERT_TRUE(first.ok()) << first.error();
        first.move_to_canvas(200, 200);
        WindowId table = 0;
        std::string failed = play_to_the_end(first, "x" + repeat(ZHE, 17), "first", &table);
        ASSERT_EQ(failed, "") << "first run";
        ASSERT_TRUE(first.click_dialog_button(table, 0));
        ASSERT_TRUE(first.wait_dialog_gone(table));
        ASSERT_TRUE(first.close_and_wait());
    }
    EXPECT_EQ(read_file(own_table),
              table_line(kept, 40, 0) + repeat(table_line("Anonymous", 0, -1), 9))
        << "the score is not in " << own_table;
    EXPECT_FALSE(fs::exists(score_file())) << "a system table was made";

    // The next run offers the name, and Enter keeps it whole.
    Game second({"-l", "40"});
    ASSERT_TRUE(second.ok()) << second.error();
    second.move_to_canvas(200, 200);
    WindowId table = 0;
    std::string failed = play_to_the_end(second, "", "second", &table);
    ASSERT_EQ(failed, "") << "second run";
    auto ends = column_ends(second, table);
    ASSERT_EQ(ends.size(), 11u) << "not a header and ten rows in the high-score dialog";
    // Glyphs end a pixel apart within their cells; a column out of line is a whole cell off.
    for (size_t i = 1; i < ends.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(ends[i].first, ends[0].first, 2) << "the level column is not in line";
        EXPECT_NEAR(ends[i].second, ends[0].second, 2) << "the score column is not in line";
    }
    ASSERT_TRUE(second.click_dialog_button(table, 0));
    ASSERT_TRUE(second.wait_dialog_gone(table));
    ASSERT_TRUE(second.close_and_wait());
    EXPECT_EQ(read_file(own_table), table_line(kept, 40, 0) + table_line(kept, 40, 0) +
                                        repeat(table_line("Anonymous", 0, -1), 8));
}

// ---------------------------------------------------------------- window icon and cursors

// What the window carried when it was first mapped.
struct FirstMap {
    bool mapped = false;
    bool icon = false;           // _NET_WM_ICON there at the map
    bool icon_after_map = false; // _NET_WM_ICON (re)set after the map
    int icon_width = 0, icon_height = 0;
};
FirstMap watch_first_map(Game *&game, const std::vector<std::string> &args); // with Xlib, below

TEST(WindowIcon, MainWindowHasItsIconWhenFirstMapped)
{
    Game *game = nullptr;
    FirstMap seen = watch_first_map(game, {});
    std::unique_ptr<Game> owned(game);
    ASSERT_TRUE(game && game->ok()) << (game ? game->error() : "no game");
    ASSERT_TRUE(seen.mapped) << "the main window's map was not seen";
    EXPECT_TRUE(seen.icon) << "no icon on the window when it was first mapped";
    EXPECT_FALSE(seen.icon_after_map) << "the icon was set only after the window was mapped";
    int width = 0, height = 0;
    ASSERT_TRUE(XpmFile::size(pixmap_path("icon"), &width, &height));
    EXPECT_EQ(seen.icon_width, width);
    EXPECT_EQ(seen.icon_height, height);
}

TEST(Cursors, BucketCursorHasAWhiteRim)
{
    Game game({"-l", "1"});
    ASSERT_TRUE(game.ok()) << game.error();
    game.move_to_canvas(200, 200);
    ASSERT_TRUE(
        wait_until([&] { return status_line_shown(game.capture_canvas()); }, UI_TIMEOUT_MS, 50));
    game.press_canvas(15, 15);
    CursorImage cursor;
    bool bucket = wait_until(
        [&] {
            cursor = current_cursor();
            return cursor.width == 24 && cursor.height == 24;
        },
        UI_TIMEOUT_MS, 30);
    release_button(1);
    ASSERT_TRUE(bucket) << "the pointer did not become the bucket";
    save_artifact(test_artifact_name("bucket"), cursor_over_dark(cursor));
    EXPECT_TRUE(black_shape_with_white_rim(cursor)) << "the bucket cursor has no white rim";
}

} // namespace

// Xlib last: its macros (None, Bool, Status...) would clash with GoogleTest's names above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

namespace {

FirstMap watch_first_map(Game *&game, const std::vector<std::string> &args)
{
    FirstMap seen;
    Display *d = XOpenDisplay(XServerEnvironment::name().c_str());
    if (!d)
        return seen;
    Window root = DefaultRootWindow(d);
    Atom icon_atom = XInternAtom(d, "_NET_WM_ICON", False);
    Atom pid_atom = XInternAtom(d, "_NET_WM_PID", False);
    XSelectInput(d, root, SubstructureNotifyMask);
    XSync(d, False);
    game = new Game(args);
    long pid = game->process().pid();

    auto window_pid = [&](Window w) {
        Atom type;
        int format;
        unsigned long count = 0, after = 0;
        unsigned char *data = nullptr;
        long result = -1;
        if (XGetWindowProperty(d, w, pid_atom, 0, 1, False, XA_CARDINAL, &type, &format, &count,
                               &after, &data) == Success &&
            data && count == 1)
            result = *reinterpret_cast<long *>(data);
        if (data)
            XFree(data);
        return result;
    };
    Window main_window = 0;
    auto deadline = WINDOW_TIMEOUT_MS / 10;
    for (int waited = 0; waited < deadline && !main_window;) {
        if (!XPending(d)) {
            pollfd ready{ConnectionNumber(d), POLLIN, 0};
            poll(&ready, 1, 10);
            ++waited;
            continue;
        }
        XEvent ev;
        XNextEvent(d, &ev);
        if (ev.type == CreateNotify && !ev.xcreatewindow.override_redirect)
            XSelectInput(d, ev.xcreatewindow.window, PropertyChangeMask);
        if (ev.type != MapNotify || ev.xmap.event != root || window_pid(ev.xmap.window) != pid)
            continue;
        char *name = nullptr;
        bool is_main =
            XFetchName(d, ev.xmap.window, &name) && name && std::string(name) == MAIN_TITLE;
        if (name)
            XFree(name);
        if (!is_main)
            continue;
        main_window = ev.xmap.window;
        seen.mapped = true;
        // Read right away: what the window holds now is what it held at its map, unless a
        // change came after the map, which the events still queued would show.
        Atom type;
        int format;
        unsigned long count = 0, after = 0;
        unsigned char *data = nullptr;
        if (XGetWindowProperty(d, main_window, icon_atom, 0, 2, False, XA_CARDINAL, &type, &format,
                               &count, &after, &data) == Success &&
            data && count == 2) {
            seen.icon = true;
            seen.icon_width = static_cast<int>(reinterpret_cast<long *>(data)[0]);
            seen.icon_height = static_cast<int>(reinterpret_cast<long *>(data)[1]);
        }
        if (data)
            XFree(data);
    }
    // Whatever the program does to the icon right after the map comes within half a second;
    // nothing tells that it is done, so the events are watched for that long.
    holds_for(
        [&] {
            XSync(d, False);
            while (XPending(d)) {
                XEvent ev;
                XNextEvent(d, &ev);
                if (ev.type == PropertyNotify && ev.xproperty.window == main_window &&
                    ev.xproperty.atom == icon_atom)
                    seen.icon_after_map = true;
            }
            return !seen.icon_after_map;
        },
        500, 20);
    XCloseDisplay(d);
    return seen;
}

} // namespace
