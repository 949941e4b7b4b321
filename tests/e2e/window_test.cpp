// The program from the outside: its options, its start-up errors and its main window.
#include "tests/e2e/harness.h"
#include "tests/expected_texts.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace e2e;

namespace {

// A run that only reads its options ends at once; the deadline is for a slow machine.
constexpr int OPTIONS_TIMEOUT_MS = 30000;

std::string describe(const RunResult &r)
{
    return "exited=" + std::to_string(r.status.exited) + " code=" + std::to_string(r.status.code) +
           " signalled=" + std::to_string(r.status.signalled) +
           (r.timed_out ? " (timed out)" : "") + "\nstdout: [" + r.out + "]\nstderr: [" + r.err +
           "]";
}

struct OptionCase {
    std::vector<std::string> args;
    int status;
    const char *out;
    const char *err;
};

// Runs the program once per case and checks its exit status and both outputs exactly.
void expect_runs(const std::vector<OptionCase> &cases)
{
    for (const auto &c : cases) {
        std::string line;
        for (auto &a : c.args)
            line += a + " ";
        SCOPED_TRACE("glimpwatch " + line);
        WorkDir dir;
        dir.link_pixmaps();
        RunResult r = run_game(c.args, dir, {}, OPTIONS_TIMEOUT_MS);
        EXPECT_TRUE(r.status.exited && r.status.code == c.status) << describe(r);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, c.out);
    }
}

// What a canvas showing the start-up logo must look like: white, with the logo picture
// drawn at the centre of the field.
void expect_logo_centred(const Capture &canvas, int size)
{
    XpmPicture logo = read_xpm(pixmap_path("logo"));
    ASSERT_TRUE(logo.ok()) << "cannot read pixmaps/logo.xpm";
    ASSERT_EQ(canvas.width, size);
    ASSERT_EQ(canvas.height, size);
    int x0 = (size - logo.width) / 2, y0 = (size - logo.height) / 2;

    for (auto [x, y] : {std::pair{0, 0}, {size - 1, 0}, {0, size - 1}, {size - 1, size - 1}})
        EXPECT_TRUE(canvas.is_white(x, y)) << "canvas corner " << x << "," << y << " is not white";

    Rect seen = non_white_box(canvas);
    ASSERT_FALSE(seen.empty()) << "the canvas is all white: no logo";
    EXPECT_LE(seen.w, logo.width);
    EXPECT_LE(seen.h, logo.height);
    // The logo's drawn part sits where the picture's own drawn part lies once centred.
    Rect own = picture_non_white_box(logo);
    EXPECT_NEAR(seen.x, x0 + own.x, 1);
    EXPECT_NEAR(seen.y, y0 + own.y, 1);
    EXPECT_NEAR(seen.w, own.w, 1);
    EXPECT_NEAR(seen.h, own.h, 1);
    // Centred: the picture's margins are split evenly (to within the odd pixel).
    EXPECT_NEAR(x0 + logo.width / 2.0, size / 2.0, 1.0);
    EXPECT_NEAR(y0 + logo.height / 2.0, size / 2.0, 1.0);
    // And pixel for pixel: the picture's colours on white, nothing else.
    EXPECT_EQ(composite_mismatches(canvas, logo, x0, y0), 0)
        << "pixels that differ from the logo centred on white";
}

} // namespace

// ---------------------------------------------------------------- command line

TEST(CommandLine, OptionErrorsPrintOneLineAndExitWithStatus1)
{
    const std::vector<OptionCase> cases = {
        {{"-l"}, 1, "", "-l takes an argument\n"},
        {{"-l", "0"}, 1, "", "invalid level '0'\n"},
        {{"-l7x"}, 1, "", "invalid level '7x'\n"},
        {{"-level"}, 1, "", "invalid level 'evel'\n"},
        {{"-l", "--size"}, 1, "", "invalid level '--size'\n"},
        {{"-l", "99999999999"}, 1, "", "invalid level '99999999999'\n"},
        {{"--size", "399"}, 1, "", "screensize must be larger than '400'\n"},
        {{"--size", "5x"}, 1, "", "invalid screensize '5x'\n"},
        {{"--size", "0"}, 1, "", "invalid screensize '0'\n"},
        {{"--size", "5000"}, 1, "", "screensize must not be larger than '4000'\n"},
        {{"--size"}, 1, "", "--size takes an argument\n"},
        {{"--gui"}, 1, "", "--gui takes an argument\n"},
        {{"--gui", "motif"}, 1, "", "GUI 'motif' not found\n"},
        {{"--gui", "-v"}, 1, "", "GUI '-v' not found\n"},
        {{"--size", "10", "-v"}, 1, "", "screensize must be larger than '400'\n"},
    };
    expect_runs(cases);
}

TEST(CommandLine, VersionAndHelpGoToStdoutAndExitWithStatus0)
{
    const std::vector<OptionCase> cases = {
        {{"-v"}, 0, ExpectedTexts::VERSION, ""},
        {{"--version"}, 0, ExpectedTexts::VERSION, ""},
        {{"-h"}, 0, ExpectedTexts::HELP, ""},
        {{"--help"}, 0, ExpectedTexts::HELP, ""},
        // Arguments are handled in order: a later error is never reached, the GUI name is
        // looked up only after the loop.
        {{"-v", "--size", "10"}, 0, ExpectedTexts::VERSION, ""},
        {{"--size", "500", "-v"}, 0, ExpectedTexts::VERSION, ""},
        {{"--gui", "nosuch", "-h"}, 0, ExpectedTexts::HELP, ""},
    };
    expect_runs(cases);
}

TEST(CommandLine, WithoutDisplayTheToolkitRefusesToStart)
{
    WorkDir dir;
    dir.link_pixmaps();
    RunResult r = run_game({}, dir, {"DISPLAY"});
    EXPECT_FALSE(r.timed_out) << describe(r);
    EXPECT_FALSE(r.status.exited && r.status.code == 0) << describe(r);
    EXPECT_NE(r.err.find("cannot open display"), std::string::npos) << describe(r);
}

// ---------------------------------------------------------------- pictures

TEST(Pictures, MissingPictureIsAFatalErrorNamingItsPathAndWhy)
{
    WorkDir dir;
    dir.copy_pixmaps();
    ASSERT_EQ(std::remove(dir.pixmap("about").c_str()), 0) << "pixmaps/about.xpm is missing";
    RunResult r = run_game({}, dir);
    EXPECT_TRUE(r.status.exited && r.status.code == 1) << describe(r);
    EXPECT_EQ(r.err, "error reading ./pixmaps/about.xpm: No such file or directory\n");
}

TEST(Pictures, CorruptPictureIsAFatalErrorNamingItsPathAndWhy)
{
    WorkDir dir;
    dir.copy_pixmaps();
    const char garbage[] = "\x89garbage\x00\xff not a picture\n";
    write_file(dir.pixmap("icon"), std::string(garbage, sizeof garbage - 1));
    RunResult r = run_game({}, dir);
    EXPECT_TRUE(r.status.exited && r.status.code == 1) << describe(r);
    EXPECT_EQ(r.err, "error reading ./pixmaps/icon.xpm: not an XPM picture\n");
}

// A FIFO as a picture once hung start-up for ever, blocked in open; a link to /dev/zero read
// zeros at full speed. Each ends start-up at once with the usual line.
TEST(Pictures, SpecialOrOversizedPictureEndsStartUpAtOnce)
{
    struct Case {
        const char *what, *name;
        std::function<void(const std::string &path)> spoil;
        const char *reason;
    } cases[] = {
        {"a FIFO", "logo", [](const std::string &p) { mkfifo(p.c_str(), 0644); }, "not a regular file"},
        {"a link to /dev/zero", "icon",
         [](const std::string &p) { symlink("/dev/zero", p.c_str()); }, "not a regular file"},
        {"a link to a FIFO", "about",
         [](const std::string &p) {
             mkfifo((p + ".fifo").c_str(), 0644);
             symlink((p + ".fifo").c_str(), p.c_str());
         },
         "not a regular file"},
        {"a directory", "toaster", [](const std::string &p) { mkdir(p.c_str(), 0755); }, "not a regular file"},
        {"a file of 8 MiB", "bucket",
         [](const std::string &p) { write_file(p, "/* XPM */\n" + std::string(8 << 20, ' ')); },
         "larger than 4194304 bytes"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        WorkDir dir;
        dir.copy_pixmaps();
        ASSERT_EQ(std::remove(dir.pixmap(k.name).c_str()), 0);
        k.spoil(dir.pixmap(k.name));
        auto start = std::chrono::steady_clock::now();
        RunResult r = run_game({}, dir);
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_TRUE(r.status.exited && r.status.code == 1) << describe(r);
        EXPECT_EQ(r.err, std::string("error reading ./pixmaps/") + k.name + ".xpm: " + k.reason + "\n");
        printf("[ figures  ] %s as pixmaps/%s.xpm: start-up ended in %.2f s\n", k.what, k.name,
               seconds);
    }
}

TEST(Pictures, MissingPlayFieldPictureIsFatalToo)
{
    // The play-field pictures are loaded at start-up as well, after the logo is shown.
    WorkDir dir;
    dir.copy_pixmaps();
    ASSERT_EQ(std::remove(dir.pixmap("toaster").c_str()), 0) << "pixmaps/toaster.xpm is missing";
    RunResult r = run_game({}, dir);
    EXPECT_TRUE(r.status.exited && r.status.code == 1) << describe(r);
    EXPECT_EQ(r.err, "error reading ./pixmaps/toaster.xpm: No such file or directory\n");
}

// ---------------------------------------------------------------- the main window

TEST(MainWindow, OpensWithTitleAndShowsTheLogoCentredOnA400PixelCanvas)
{
    Game game({});
    ASSERT_TRUE(game.ok()) << game.error();
    Rect w = game.window_area();
    EXPECT_EQ(w.w, 400) << "the window is as wide as the canvas";
    int bar = game.menu_bar_height();
    EXPECT_GE(bar, 15) << "a menu bar above the canvas";
    EXPECT_LE(bar, 60);

    Capture canvas;
    wait_until(
        [&] {
            canvas = game.capture_canvas();
            return shows_logo(canvas, 400);
        },
        WINDOW_TIMEOUT_MS, 50);
    save_artifact(test_artifact_name(), game.capture_window());
    expect_logo_centred(canvas, 400);
}

TEST(MainWindow, SizeOptionGivesALargerCanvas)
{
    Game game({"--size", "600"}, 600);
    ASSERT_TRUE(game.ok()) << game.error();
    Rect w = game.window_area();
    EXPECT_EQ(w.w, 600);
    EXPECT_GE(game.menu_bar_height(), 15);
    EXPECT_LE(game.menu_bar_height(), 60);

    Capture canvas;
    wait_until(
        [&] {
            canvas = game.capture_canvas();
            return shows_logo(canvas, 600);
        },
        WINDOW_TIMEOUT_MS, 50);
    save_artifact(test_artifact_name(), game.capture_window());
    expect_logo_centred(canvas, 600);
}

// On a 2x screen (GDK_SCALE=2) the window is twice its logical size and every pixel of a
// picture is a 2 x 2 block of one colour: enlarged, not blurred.
TEST(Scale, At2xTheWindowIsTwiceAsLargeAndThePicturesAreCrisp)
{
    if (!toolkit_is_gtk3())
        GTEST_SKIP() << "the GTK 2 program has no scale factor";
    Game game({}, 400, 2);
    ASSERT_TRUE(game.ok()) << game.error();
    EXPECT_EQ(game.window_area().w, 800);
    EXPECT_GE(game.menu_bar_height(), 30);
    EXPECT_LE(game.menu_bar_height(), 120);

    Capture canvas;
    bool crisp = false;
    bool shown = wait_until(
        [&] {
            canvas = game.logical_canvas(&crisp);
            return shows_logo(canvas);
        },
        WINDOW_TIMEOUT_MS, 50);
    save_artifact(test_artifact_name(), game.capture_window());
    EXPECT_TRUE(shown) << "the canvas, taken 2 x 2 pixels at a time, does not show the logo";
    EXPECT_TRUE(crisp)
        << "some 2 x 2 block of the canvas is not of one colour: the logo is blurred";
}

TEST(MainWindow, LogoStaysUntilAGameStarts)
{
    // Waiting: no ticker runs, so the logo is not replaced by a play field.
    Game game({});
    ASSERT_TRUE(game.ok()) << game.error();
    ASSERT_TRUE(
        wait_until([&] { return shows_logo(game.capture_canvas(), 400); }, WINDOW_TIMEOUT_MS, 50));
    game.move_to_canvas(200, 200);
    Capture before = game.capture_canvas();
    // Several ticker periods: a running ticker would have redrawn the field by then.
    EXPECT_TRUE(holds_for([&] { return game.capture_canvas().differences(before) == 0; }, 1500))
        << "the logo was redrawn: a ticker runs";
}

// Quitting at once used to rewrite the table, and a line the reader did not take became an
// empty entry: another player's score was gone.
TEST(MainWindow, CloseRequestEndsTheProgramWithStatus0LeavingTheTableByteForByte)
{
    ScoreFileGuard guard;
    guard.remove();
    std::string table = "An_Extremely_Long_Player 9 5000\nAnn 1 400\nnot an entry\n";
    write_file(score_file(), table);
    Game game({});
    ASSERT_TRUE(game.ok()) << game.error();
    ASSERT_TRUE(game.close_and_wait()) << "the program did not end after WM_DELETE_WINDOW";
    EXPECT_TRUE(game.process().status().exited);
    EXPECT_EQ(game.process().status().code, 0) << game.process().err();
    EXPECT_EQ(read_file(score_file()), table);
}
