// End-to-end harness: a private Xvfb, the game as a child process, X captures and XTest input.
#pragma once

#include "gui/title.h"

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

struct _XDisplay;

namespace e2e {

// An X window id (Xlib's Window). Xlib's header is kept out of the tests: its macros
// (None, Bool, Status...) clash with GoogleTest.
using WindowId = unsigned long;

// Generous deadlines: CI machines are slow and share two cores, and the tests run side by
// side. A deadline only bounds how long a failing test waits: a passing one goes on as soon
// as what it waits for is there.
constexpr int WINDOW_TIMEOUT_MS = 30000;
constexpr int EXIT_TIMEOUT_MS = 30000;
constexpr int UI_TIMEOUT_MS = 30000;
// How long a test lets a game be played before it looks again, when what it looks for
// (walking Glimps, a thief) comes within seconds of play but need not.
constexpr int PLAY_LOOK_MS = 5000;

// The title of the game's main window.
using Gui::MAIN_TITLE;

// The toolkit of the program under test ("gtk2" or "gtk3"), as it was built.
extern const char *const TOOLKIT;
bool toolkit_is_gtk3();

// ---------------------------------------------------------------- waiting

// Polls cond every poll_ms until it holds or timeout_ms pass; returns its last answer.
bool wait_until(const std::function<bool()> &cond, int timeout_ms, int poll_ms = 30);
// Whether cond holds at every look, every poll_ms, for ms milliseconds; false at the first
// look where it fails. For what must not happen (a game that must not start, a field that
// must stand still): there is nothing to wait for there but time.
bool holds_for(const std::function<bool()> &cond, int ms, int poll_ms = 50);

// ---------------------------------------------------------------- the X server

// The X server of this test process: the program runs itself under scripts/with_xvfb.sh,
// which starts a private Xvfb on a free display and sets DISPLAY, so every child inherits it.
// Connects before the first test and disconnects after the last one.
class XServerEnvironment {
public:
    static void start();
    static void stop();
    static _XDisplay *display();      // the tests' own connection
    static const std::string &name(); // ":N"
};

// ---------------------------------------------------------------- files

std::string source_dir(); // the project's source tree
// This test process's own HOME (XDG_DATA_HOME and the other XDG directories lie below it),
// fresh, and removed after the last test.
std::string home_dir();
// The pictures the game is run with (the project's pixmaps/; GLIMPWATCH_E2E_PIXMAPS overrides).
std::string pixmaps_dir();
// One picture of pixmaps_dir() by name, e.g. "logo".
std::string pixmap_path(const std::string &name);
// The project's sound effects (sounds/*.wav).
std::string sounds_dir();
// The recorded games that ship with the game (replays/demo.replay).
std::string replays_dir();
std::string artifacts_dir(); // TEST_BINARY_DIR/artifacts, created on demand
std::string score_file();    // the high-score file the test build's games write (this process's own)
std::string read_file(const std::string &path, bool *exists = nullptr);
void write_file(const std::string &path, const std::string &content);

// A fresh working directory for one run of the game, removed when destroyed.
class WorkDir {
public:
    WorkDir();
    ~WorkDir();
    WorkDir(const WorkDir &) = delete;
    WorkDir &operator=(const WorkDir &) = delete;

    const std::string &path() const { return path_; }
    // ./pixmaps as a symbolic link to the project's pictures.
    void link_pixmaps();
    // ./pixmaps as a copy of the project's pictures, so single files can be removed or spoilt.
    void copy_pixmaps();
    // ./sounds as a link to the project's sound effects, or as a copy of them.
    void link_sounds();
    // ./replays as a link to the project's recorded games (the demo).
    void link_replays();
    void copy_sounds();
    std::string pixmap(const std::string &name) const; // path of ./pixmaps/<name>.xpm

private:
    std::string path_;
};

// Keeps the high-score file as it was before a test and puts it back afterwards.
class ScoreFileGuard {
public:
    ScoreFileGuard();
    ~ScoreFileGuard();
    ScoreFileGuard(const ScoreFileGuard &) = delete;
    ScoreFileGuard &operator=(const ScoreFileGuard &) = delete;
    void remove(); // starts the test without a file (its directory exists)

private:
    bool existed_ = false;
    std::string content_;
};

// ---------------------------------------------------------------- the game process

struct ExitStatus {
    bool exited = false; // ended through exit()
    int code = -1;       // exit status when exited
    bool signalled = false;
    int signal = 0;
};

class GameProcess {
public:
    GameProcess() = default;
    ~GameProcess(); // kills a process still running
    GameProcess(const GameProcess &) = delete;
    GameProcess &operator=(const GameProcess &) = delete;

    // Starts the game with args in dir; stdout and stderr go to files in dir.
    // unset_env names variables removed from the child's environment (e.g. "DISPLAY").
    // set_env holds NAME=value settings added to the child's environment.
    void start(const std::vector<std::string> &args, const WorkDir &dir,
               const std::vector<std::string> &unset_env = {},
               const std::vector<std::string> &set_env = {});
    int pid() const { return pid_; }
    bool running();
    // Waits for the process to end; false on timeout (the process keeps running).
    bool wait_exit(int timeout_ms = EXIT_TIMEOUT_MS);
    const ExitStatus &status() const { return status_; }
    std::string out() const;
    std::string err() const;
    // SIGKILL, reap, and wait until the X server has dropped the game's windows.
    void kill_and_reap();

private:
    int pid_ = -1;
    bool reaped_ = false;
    ExitStatus status_;
    std::string out_path_, err_path_;
};

// Runs the game without a display session in mind (option errors, version, help) and waits.
struct RunResult {
    ExitStatus status;
    std::string out, err;
    bool timed_out = false;
};
RunResult run_game(const std::vector<std::string> &args, const WorkDir &dir,
                   const std::vector<std::string> &unset_env = {},
                   int timeout_ms = EXIT_TIMEOUT_MS);

// The path of the game binary (GLIMPWATCH_E2E_BINARY overrides the built one).
std::string game_binary();

// ---------------------------------------------------------------- windows

struct Rect {
    int x = 0, y = 0, w = 0, h = 0; // root coordinates for windows
    int cx() const { return x + w / 2; }
    int cy() const { return y + h / 2; }
    bool empty() const { return w <= 0 || h <= 0; }
};

struct TopLevel {
    WindowId id = 0;
    Rect rect;
    bool viewable = false;
    bool override_redirect = false;
    long pid = -1; // _NET_WM_PID, -1 when absent
    std::string title;
};

// Direct children of the root window (without a window manager these are the top-levels);
// under a window manager, the program's window inside each of its frames.
std::vector<TopLevel> top_levels();
// Geometry in root coordinates; empty rect when the window is gone.
Rect window_rect(WindowId w);
// The window with the frame a window manager put around it (the window itself without one).
Rect frame_rect(WindowId w);
bool window_viewable(WindowId w);
// The viewable top-level of process pid with this title; 0 when none yet.
WindowId find_window(const std::string &title, long pid);
WindowId wait_for_window(const std::string &title, long pid, int timeout_ms = WINDOW_TIMEOUT_MS);
// Viewable top-levels (not override-redirect) of pid other than those in known.
std::vector<WindowId> other_windows(long pid, const std::set<WindowId> &known);
// A viewable override-redirect window (menu pop-up) not among known; 0 when none.
WindowId find_popup(const std::set<WindowId> &known);
// The window's title (WM_NAME), empty when it has none.
std::string title_of(WindowId w);
// Ids of every viewable top-level now.
std::set<WindowId> viewable_ids();

// ---------------------------------------------------------------- captures

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb &o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Rgb &o) const { return !(*this == o); }
    int luma() const { return (r * 299 + g * 587 + b * 114) / 1000; }
};

struct Capture {
    int x = 0, y = 0; // where the capture's top-left pixel was on the screen
    int width = 0, height = 0;
    std::vector<uint8_t> rgb; // rows top to bottom, 3 bytes a pixel

    bool empty() const { return width <= 0 || height <= 0; }
    Rgb at(int px, int py) const;
    bool is_white(int px, int py) const;
    Capture crop(int px, int py, int w, int h) const;
    // Number of pixels that differ from other (same size), or -1 when the sizes differ.
    long differences(const Capture &other) const;
    // Writes a binary PPM (P6).
    bool save_ppm(const std::string &path) const;
    // The capture with each factor x factor block of pixels as one pixel (its top-left
    // one); *crisp is false when some block is not of one colour (a blurred enlargement).
    Capture reduced(int factor, bool *crisp = nullptr) const;
};

// The screen area r (clipped to the screen), as a person sees it.
Capture capture_area(const Rect &r);
Capture capture_window(WindowId w);
// Saves c as artifacts/<name>.ppm and returns the path.
std::string save_artifact(const std::string &name, const Capture &c);
// A name for an artifact of the running test: <Suite>.<Test>[-suffix].
std::string test_artifact_name(const std::string &suffix = "");

// A picture read from an XPM file, for comparing what the game shows with its artwork.
struct XpmPicture {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;     // row by row
    std::vector<uint8_t> opaque; // 0 where the picture is transparent ("None")
    std::vector<uint8_t> known;  // 0 where the colour is a name this reader does not know
    bool ok() const { return width > 0 && height > 0; }
};
// Reads an XPM file; an empty picture (ok() false) when it cannot be read.
XpmPicture read_xpm(const std::string &path);
// Number of opaque, known pixels of pic that differ from c when pic's corner is at (px, py)
// of c (pixels outside c count as differing).
long picture_mismatches(const Capture &c, const XpmPicture &pic, int px, int py);
// Number of pixels of c that differ from pic drawn at (px, py) on a plain background
// (pixels of pic whose colour this reader does not know are not compared).
long composite_mismatches(const Capture &c, const XpmPicture &pic, int px, int py,
                          Rgb background = Rgb{255, 255, 255});
// The picture's own bounding box of opaque pixels that are not white.
Rect picture_non_white_box(const XpmPicture &pic);
// Places in c where pic appears with at most max_mismatch differing pixels. With
// allow_outside, parts of pic that fall outside c (a window cut off by the screen edge)
// are not compared.
struct Point {
    int x = 0, y = 0;
};
std::vector<Point> find_picture(const Capture &c, const XpmPicture &pic, long max_mismatch = 0,
                                bool allow_outside = false);

// Every pixel of a capture as an opaque picture, for finding that exact image elsewhere.
XpmPicture picture_of(const Capture &c);
// The text as the status line draws it, black on white, as tall as the font's ascent and
// descent and as wide as the text's character cells: X's core font "fixed" in the GTK 2
// program, the GTK 3 program's own font (at the scale factor) in the other.
Capture render_text(const std::string &text, int scale = 1);
// Whether the area shows the text exactly as render_text draws it (blank cells included, so a
// trailing blank tells "Level:1 " from "Level:12").
bool shows_text(const Capture &area, const std::string &text, int scale = 1);

// What a size x size canvas shows: exactly the logo picture centred on white.
bool shows_logo(const Capture &canvas, int size = 400);
// Whether the canvas shows the paused view: the field at half brightness with a dark band
// across its middle that holds a white line of text.
bool shows_paused_view(const Capture &canvas);
// Pixels outside the paused view's band where paused is not frame at half brightness.
long paused_view_mismatches(const Capture &paused, const Capture &frame);
// Half the height of the paused view's band around the canvas's middle row (an upper bound).
constexpr int PAUSED_BAND_HALF_HEIGHT = 24;

// Whether the status line is drawn at the bottom left, as it is while a level is played.
bool status_line_shown(const Capture &canvas);
// Whether the status line shows the text, cell for cell ("Level:3 " is not "Level:30"); the
// canvas captured at that scale factor.
bool status_says(const Capture &canvas, const std::string &text, int scale = 1);

// Bounding box of the pixels that are not white (all channels >= 250 count as white).
Rect non_white_box(const Capture &c);

// A colour with a tolerance per channel, for finding pictures in captures.
struct ColourMatch {
    Rgb colour;
    int tolerance = 24;
    bool matches(const Rgb &p) const;
};

// Connected regions (8-neighbourhood) of pixels matching the colour, at least min_pixels
// large, as bounding boxes in capture coordinates, ordered top to bottom then left to right.
struct Blob {
    Rect box;
    int pixels = 0;
};
std::vector<Blob> find_blobs(const Capture &c, const ColourMatch &colour, int min_pixels = 4);

// Runs of rows in which some pixel is darker than max_luma, at least min_height rows tall.
struct Band {
    int top = 0, bottom = 0; // inclusive rows
    int height() const { return bottom - top + 1; }
    int middle() const { return (top + bottom) / 2; }
};
std::vector<Band> dark_bands(const Capture &c, int max_luma, int min_height);
// Runs of columns within rows [top, bottom] with a dark pixel, joined across gaps of at most
// max_gap columns: the pieces of a button row, for instance.
std::vector<Band> dark_columns(const Capture &c, int top, int bottom, int max_luma, int max_gap);

// ---------------------------------------------------------------- input (XTest)

void move_pointer(int root_x, int root_y);
// To the screen's far corner, off every window of the game: a game stands still meanwhile.
void move_pointer_away();
void press_button(int button = 1);
// Moves the pointer to the point and presses the button there, as a person does: the
// toolkit has seen the pointer come in before the press.
void press_at(int root_x, int root_y, int button = 1);
void release_button(int button = 1);
void click_at(int root_x, int root_y, int button = 1);
// Presses and releases the key of keysym (with Shift when the keysym needs it).
void tap_key(unsigned long keysym);
// The same with Ctrl held (a menu shortcut).
void tap_key_with_control(unsigned long keysym);
// Types UTF-8 text: ASCII with the keyboard's keys, other characters through a spare key.
void type_text(const std::string &text);
// The pointer's shape as the X server shows it now (XFixes): ARGB pixels, row by row.
struct CursorImage {
    int width = 0, height = 0, xhot = 0, yhot = 0;
    std::vector<uint32_t> argb;
    bool empty() const { return argb.empty(); }
    uint32_t at(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
};
CursorImage current_cursor();
// Whether the cursor is a black shape with a white rim one pixel wide all around it (where
// the shape does not touch the cursor's edge): no black pixel next to a transparent one.
bool black_shape_with_white_rim(const CursorImage &c);
// The cursor drawn over a dark grey, as it shows over the screen of an infected computer.
Capture cursor_over_dark(const CursorImage &c);

// Asks a window to close as a window manager would: WM_PROTOCOLS / WM_DELETE_WINDOW.
void send_delete_window(WindowId w);
// Root coordinates of a point given in w's own coordinates.
void to_root(WindowId w, int x, int y, int *root_x, int *root_y);

// ---------------------------------------------------------------- the game's window

// A running game with its main window found: the canvas is the bottom size x size square
// of the window (the drawing area has no X window of its own).
class Game {
public:
    // Starts the game with args; ASSERTs nothing, check ok() (a failure message is in error()).
    // With a scale above 1 the game runs with GDK_SCALE set to it: every logical pixel of
    // the canvas is then scale x scale pixels of the screen.
    explicit Game(const std::vector<std::string> &args, int size = 400, int scale = 1);
    ~Game();
    Game(const Game &) = delete;
    Game &operator=(const Game &) = delete;

    bool ok() const { return window_ != 0; }
    const std::string &error() const { return error_; }
    GameProcess &process() { return process_; }
    WorkDir &dir() { return dir_; }
    WindowId window() const { return window_; }
    int size() const { return size_; }
    int scale() const { return scale_; }

    Rect window_area() const; // root coordinates
    // The field on the screen, root coordinates, size * zoom() pixels square: below the menu
    // bar, at the largest whole factor that fits the window (1 when the window is as it
    // opens), centred.
    Rect canvas_area() const;
    int menu_bar_height() const;
    // For a window that may open already larger (a factor kept from an earlier game): the
    // menu bar's height as an earlier game of the same program showed it.
    void assume_menu_bar_height(int height) { menu_bar_ = height; }
    // The field's factor in the window, and screen pixels per pixel of the game: scale * factor.
    int factor() const;
    int zoom() const { return scale_ * factor(); }
    Capture capture_canvas() const; // screen pixels
    // The canvas in the game's own (logical) pixels: each zoom x zoom block of the screen
    // as one pixel; *crisp tells whether every block was of one colour.
    Capture logical_canvas(bool *crisp = nullptr) const;
    Capture capture_window() const;
    // Root coordinates of a canvas point given in logical pixels.
    int canvas_root_x(int cx) const { return canvas_area().x + cx * zoom(); }
    int canvas_root_y(int cy) const { return canvas_area().y + cy * zoom(); }
    // Moves the pointer onto the canvas point (cx, cy), in logical pixels like every canvas
    // point below.
    void move_to_canvas(int cx, int cy);
    void press_canvas(int cx, int cy, int button = 1); // press_at the canvas point
    void click_canvas(int cx, int cy, int button = 1);
    // Clicks the canvas points one after the other with no pause between: all of them reach
    // the game together, before a tick can move anything.
    void burst_clicks(const std::vector<Point> &points, int button = 1);
    // Takes the pointer off the canvas, which pauses a game in play, and returns the field
    // exactly as the game drew it, in its own (logical) pixels (the paused view dims it); the
    // pointer is left off the canvas and the game paused. Empty when no still field could be
    // had.
    Capture still_field();
    // Waits until the canvas shows something other than before (differing in more than
    // min_pixels pixels); returns the new capture (empty on timeout).
    Capture wait_canvas_change(const Capture &before, int timeout_ms = UI_TIMEOUT_MS,
                               long min_pixels = 1);

    // Menus: clicks the title ("Game" or "Info") in the menu bar and waits for the pop-up.
    // Returns the pop-up window, or 0 (error() says why).
    WindowId open_menu(int menu_index);
    // The entries of an open menu, top to bottom (root coordinates, each as wide as the menu),
    // once it shows at least count of them; *shot gets the menu's capture.
    std::vector<Rect> menu_entries(WindowId popup, int count, Capture *shot = nullptr);
    // Opens menu menu_index and clicks its entry entry_index (0 = first after the tear-off;
    // separators do not count). False when there is no such entry (error() says why).
    bool click_entry(int menu_index, int entry_index, const std::string &artifact = "");
    // Chooses an entry that opens a dialog. Returns the dialog window that appears, or 0.
    WindowId choose(int menu_index, int entry_index, const std::string &artifact = "");

    // Dialogs.
    std::vector<WindowId> dialogs() const; // viewable dialogs of the game now
    WindowId wait_for_dialog(int timeout_ms = UI_TIMEOUT_MS);
    // Button rectangles of a dialog (root coordinates), left to right, found in a capture
    // of its bottom-most row of framed, labelled widgets.
    std::vector<Rect> dialog_buttons(WindowId dialog) const;
    // Clicks button index (from the left) of the dialog; false when it has no such button.
    bool click_dialog_button(WindowId dialog, int index);
    bool wait_dialog_gone(WindowId dialog, int timeout_ms = UI_TIMEOUT_MS);

    // Closes the main window as a window manager would and waits for the process to end.
    bool close_and_wait(int timeout_ms = EXIT_TIMEOUT_MS);

private:
    WorkDir dir_;
    GameProcess process_;
    WindowId window_ = 0;
    int size_;
    int scale_;
    int menu_bar_ = 0;   // learnt when the window first shows, the field at 1x
    std::string error_;
};

// A window manager on the test's X server (openbox), as a desktop has: for full screen and
// for windows the player resizes, for frames and the desktop's work area. Stopped when
// destroyed; ok() once it manages the screen and has told the work area.
// The test's games share the player's data: the factor and full screen one game leaves are
// forgotten when it starts, so that every game of these tests opens as a first one does.
class WindowManager {
public:
    WindowManager();
    ~WindowManager();
    WindowManager(const WindowManager &) = delete;
    WindowManager &operator=(const WindowManager &) = delete;
    bool ok() const { return ok_; }

private:
    int pid_ = -1;
    bool ok_ = false;
};

// Asks for a new size of a top-level window, as a player dragging its border would.
void resize_window(WindowId w, int width, int height);
// Gives the window the keyboard without moving the pointer, as a click on its frame would
// (without a window manager the keyboard follows the pointer).
void focus_window(WindowId w);

} // namespace e2e
