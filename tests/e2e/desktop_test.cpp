// The game on a desktop as players have it: a window manager that frames and titles the
// windows, large fonts on a small screen.
#include "tests/e2e/field_view.h"
#include "tests/e2e/harness.h"
#include "tests/scoped_env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace e2e;

namespace {

constexpr int GAME_MENU = 0, INFO_MENU = 1;
// The widths of the icon at the left of openbox's title bars and of its buttons (iconify,
// maximize, close) at the right; the title lies between.
constexpr int FRAME_ICON_WIDTH = 20, FRAME_BUTTONS_WIDTH = 60;

// The title's text on a frame's title bar: the box around its light pixels (the focused
// title's text is white on a darker bar).
Capture title_text(const Capture &bar)
{
    int left = bar.width, right = -1, top = bar.height, bottom = -1;
    for (int y = 0; y < bar.height; ++y)
        for (int x = FRAME_ICON_WIDTH; x < bar.width - FRAME_BUTTONS_WIDTH; ++x) {
            Rgb c = bar.at(x, y);
            if (c.r > 220 && c.g > 220 && c.b > 220) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    return right < 0 ? Capture() : bar.crop(left, top, right - left + 1, bottom - top + 1);
}

// A panel along the bottom of the screen, as desktops have one: a dock window that keeps
// `height` pixels clear of other windows (the window manager's work area ends above it).
// Made with Xlib at the end of the file.
class Panel {
public:
    explicit Panel(int height);
    ~Panel();
    Panel(const Panel &) = delete;
    Panel &operator=(const Panel &) = delete;

private:
    WindowId window_ = 0;
};
// The desktop's work area as the window manager gives it (_NET_WORKAREA); empty without one.
Rect work_area();
int screen_height();
// The title bar of a framed window once drawn (the same on two looks); empty while it has no
// frame.
Capture title_bar(WindowId w);
// The title bar of a window 600 pixels wide with this title, framed by the window manager
// and focused, as dialogs are when they show: captured, and the window gone again.
Capture title_bar_of_wide_window(const std::string &title);

// Texts 1.5 times their usual size: GTK 3 scales its fonts by GDK_DPI_SCALE, GTK 2 takes its
// font from its settings (an rc file): its usual Sans 10 at 15.
void scale_fonts(ScopedEnv &env, const std::string &rc_file)
{
    if (toolkit_is_gtk3()) {
        env.set("GDK_DPI_SCALE", "1.5");
    } else {
        write_file(rc_file, "gtk-font-name = \"Sans 15\"\n");
        env.set("GTK2_RC_FILES", rc_file);
    }
}

} // namespace

// With fonts at 1.5 times their size on a 1024 x 768 screen with a panel along its bottom, the
// Rules dialog is taller than the work area: it scrolls, it lies wholly in the work area,
// frame included, and its button is reached and closes it.
TEST(TallDialogsOn1024x768, RulesDialogWithLargeFontsScrollsAndItsButtonIsReached)
{
    if (screen_height() != 768)
        GTEST_SKIP() << "needs a 1024 x 768 screen of its own: run it alone (ctest does)";
    WindowManager wm;
    ASSERT_TRUE(wm.ok()) << "openbox did not start";
    Panel panel(48);
    ASSERT_EQ(work_area().h, 768 - 48) << "the window manager keeps no room for the panel";
    std::unique_ptr<Game> game;
    {
        ScopedEnv env;
        scale_fonts(env, home_dir() + "/large-fonts.rc");
        game.reset(new Game({}));
    }
    ASSERT_TRUE(game->ok()) << game->error();
    WindowId dialog = game->choose(INFO_MENU, 1);
    ASSERT_NE(dialog, 0u) << game->error();
    EXPECT_EQ(title_of(dialog), "Rules");
    std::vector<Rect> buttons;
    ASSERT_TRUE(wait_until([&] { return (buttons = game->dialog_buttons(dialog)).size() == 1; }, UI_TIMEOUT_MS,
                           100))
        << "no button in sight";
    Rect frame = frame_rect(dialog), area = work_area();
    Capture top = capture_window(dialog);
    save_artifact(test_artifact_name("top"), top);
    EXPECT_GE(frame.y, area.y);
    EXPECT_LE(frame.y + frame.h, area.y + area.h) << "the dialog reaches below the work area";
    EXPECT_LE(buttons[0].y + buttons[0].h, area.y + area.h) << "the button is out of reach";

    // The logo heads the text; scrolled down (the wheel over the text), it goes up.
    const XpmPicture &logo = field_picture("logo");
    std::vector<Point> before = find_picture(top, logo, 0, true);
    ASSERT_EQ(before.size(), 1u) << "no logo at the top of the dialog";
    Rect d = window_rect(dialog);
    move_pointer(d.cx(), d.y + d.h / 3);
    for (int i = 0; i < 15; ++i) {
        press_button(5);
        release_button(5);
    }
    Capture scrolled;
    std::vector<Point> after;
    EXPECT_TRUE(wait_until(
        [&] {
            scrolled = capture_window(dialog);
            after = find_picture(scrolled, logo, 0, true);
            return after.empty() || after[0].y < before[0].y;
        },
        UI_TIMEOUT_MS, 50))
        << "the text does not scroll";
    save_artifact(test_artifact_name("scrolled"), scrolled);

    ASSERT_TRUE(game->click_dialog_button(dialog, 0));
    EXPECT_TRUE(game->wait_dialog_gone(dialog)) << "its button did not close the dialog";
}

// The small dialogs show their titles whole in a window manager's frame, as a window wide
// enough for them does: the title bar's left part (icon and title) is the same as in the
// frame of a wide window of the same title.
// Disabled: openbox does not always give the wide window the keyboard, and its unfocused
// title bar cannot be compared; the dialogs' title widths themselves pass when it does.
TEST(FramedDialogs, DISABLED_ShowTheirTitlesWhole)
{
    if (toolkit_is_gtk3())
        GTEST_SKIP() << "GTK 3's small dialogs are not yet widened for their titles";
    WindowManager wm;
    ASSERT_TRUE(wm.ok()) << "openbox did not start";
    struct Case {
        int menu, item;
        const char *title;
    };
    for (const Case &c : {Case{GAME_MENU, 2, "Warp to level..."}, Case{GAME_MENU, 4, "Quit Game"}}) {
        SCOPED_TRACE(c.title);
        Capture wide = title_bar_of_wide_window(c.title);
        ASSERT_FALSE(wide.empty()) << "no frame around the wide window";
        Game game({});
        ASSERT_TRUE(game.ok()) << game.error();
        WindowId dialog = game.choose(c.menu, c.item);
        ASSERT_NE(dialog, 0u) << game.error();
        std::vector<Rect> buttons;
        ASSERT_TRUE(
            wait_until([&] { return !(buttons = game.dialog_buttons(dialog)).empty(); }, UI_TIMEOUT_MS, 100));
        Capture bar;
        ASSERT_TRUE(wait_until([&] { return !(bar = title_bar(dialog)).empty(); }, UI_TIMEOUT_MS, 50))
            << "no frame around the dialog";
        save_artifact(test_artifact_name(std::string("title-") + std::to_string(c.item)), bar);
        Capture text = title_text(bar), whole = title_text(wide);
        ASSERT_FALSE(whole.empty()) << "no title on the wide window's frame";
        EXPECT_EQ(text.differences(whole), 0) << "the title is cut in a frame " << bar.width << " wide";
    }
}

// Xlib last: its macros (None, Bool, Status...) would clash with GoogleTest's names above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

Panel::Panel(int height)
{
    Display *x = XServerEnvironment::display();
    int screen = DefaultScreen(x);
    int width = DisplayWidth(x, screen), bottom = DisplayHeight(x, screen);
    Window w = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, bottom - height, static_cast<unsigned>(width),
                                   static_cast<unsigned>(height), 0, 0, 0x303030);
    Atom dock = XInternAtom(x, "_NET_WM_WINDOW_TYPE_DOCK", False);
    XChangeProperty(x, w, XInternAtom(x, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char *>(&dock), 1);
    long strut[12] = {0, 0, 0, height, 0, 0, 0, 0, 0, 0, 0, width - 1};
    XChangeProperty(x, w, XInternAtom(x, "_NET_WM_STRUT_PARTIAL", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char *>(strut), 12);
    // Where it asks to be: the window manager places it there, not where it finds room.
    XSizeHints hints = {};
    hints.flags = USPosition | PPosition;
    hints.x = 0;
    hints.y = bottom - height;
    XSetWMNormalHints(x, w, &hints);
    window_ = w;
    // A window mapped while the window manager is still starting up can stay out of its
    // hands, its room not kept: mapped again until the work area ends above it.
    for (int tries = 0; tries < 5; ++tries) {
        XUnmapWindow(x, w);
        XMapWindow(x, w);
        XSync(x, False);
        if (wait_until([&] { return work_area().h == bottom - height; }, 2000, 50))
            return;
    }
}

Panel::~Panel()
{
    Display *x = XServerEnvironment::display();
    XDestroyWindow(x, window_);
    XSync(x, False);
}

Rect work_area()
{
    Display *x = XServerEnvironment::display();
    Atom type;
    int format;
    unsigned long items = 0, after;
    unsigned char *data = nullptr;
    Rect area;
    if (XGetWindowProperty(x, DefaultRootWindow(x), XInternAtom(x, "_NET_WORKAREA", False), 0, 4, False,
                           XA_CARDINAL, &type, &format, &items, &after, &data) == Success &&
        items == 4) {
        const long *v = reinterpret_cast<const long *>(data);
        area = Rect{static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]), static_cast<int>(v[3])};
    }
    if (data)
        XFree(data);
    return area;
}

int screen_height()
{
    Display *x = XServerEnvironment::display();
    return DisplayHeight(x, DefaultScreen(x));
}

Capture title_bar(WindowId w)
{
    Rect frame = frame_rect(w), client = window_rect(w);
    if (client.y <= frame.y)
        return Capture();
    Rect bar{frame.x, frame.y, frame.w, client.y - frame.y};
    Capture first = capture_area(bar), second = capture_area(bar);
    return first.differences(second) == 0 ? second : Capture();
}

Capture title_bar_of_wide_window(const std::string &title)
{
    Display *x = XServerEnvironment::display();
    Window w = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 600, 100, 0, 0, 0xffffff);
    XStoreName(x, w, title.c_str());
    XMapWindow(x, w);
    XSync(x, False);
    Capture bar;
    Window focus = 0;
    int revert = 0;
    wait_until(
        [&] {
            XGetInputFocus(x, &focus, &revert);
            if (focus != w) {
                // Given the keyboard as a click would, once it is there.
                if (window_viewable(w))
                    XSetInputFocus(x, w, RevertToParent, CurrentTime);
                return false;
            }
            return !(bar = title_bar(w)).empty();
        },
        WINDOW_TIMEOUT_MS, 50);
    XDestroyWindow(x, w);
    XSync(x, False);
    return bar;
}

} // namespace
