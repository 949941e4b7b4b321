// The game on a desktop as players have it: a window manager that frames and titles the
// windows, large fonts on a small screen.
#include "tests/e2e/field_view.h"
#include "tests/e2e/harness.h"
#include "tests/scoped_env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

using namespace e2e;

namespace {

constexpr int GAME_MENU = 0, INFO_MENU = 1;
// The widths of the icon at the left of openbox's title bars and of its buttons (iconify,
// maximize, close) at the right; the title lies between.
constexpr int FRAME_ICON_WIDTH = 20, FRAME_BUTTONS_WIDTH = 60;

// The box around the title's text on a frame's title bar, between the icon and the buttons:
// the pixels unlike the bar behind them (the colour most of the row has). The same box
// whether the window has the keyboard or not: a focused title is white on blue, an
// unfocused one grey on a light bar, in the same font. Empty while the bar shows no text.
Rect title_text_box(const Capture &bar)
{
    Rect box;
    int left = bar.width, right = -1, top = bar.height, bottom = -1;
    for (int y = 0; y < bar.height; ++y) {
        std::map<std::tuple<int, int, int>, int> counts;
        for (int x = FRAME_ICON_WIDTH; x < bar.width - FRAME_BUTTONS_WIDTH; ++x) {
            Rgb c = bar.at(x, y);
            ++counts[std::make_tuple(c.r, c.g, c.b)];
        }
        if (counts.empty())
            return box;
        auto most = std::max_element(counts.begin(), counts.end(),
                                     [](const auto &a, const auto &b) { return a.second < b.second; });
        Rgb back{static_cast<uint8_t>(std::get<0>(most->first)), static_cast<uint8_t>(std::get<1>(most->first)),
                 static_cast<uint8_t>(std::get<2>(most->first))};
        for (int x = FRAME_ICON_WIDTH; x < bar.width - FRAME_BUTTONS_WIDTH; ++x) {
            Rgb c = bar.at(x, y);
            if (std::abs(c.luma() - back.luma()) > 48) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right >= 0)
        box = Rect{left, top, right - left + 1, bottom - top + 1};
    return box;
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
// The title bar of a window 600 pixels wide with this title, framed by the window manager,
// once it shows the title: captured, and the window gone again.
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
// enough for them does: the title's text on the dialog's bar is as wide and as tall as on the
// frame of a wide window of the same title (a shortened title, "Warp to le...", is narrower).
TEST(FramedDialogs, ShowTheirTitlesWhole)
{
    WindowManager wm;
    ASSERT_TRUE(wm.ok()) << "openbox did not start";
    struct Case {
        int menu, item;
        const char *title;
        int buttons;
    };
    for (const Case &c : {Case{GAME_MENU, 2, "Warp to level...", 1}, Case{GAME_MENU, 4, "Quit Game", 2}}) {
        SCOPED_TRACE(c.title);
        Capture wide = title_bar_of_wide_window(c.title);
        ASSERT_FALSE(wide.empty()) << "no title on the wide window's frame";
        save_artifact(test_artifact_name(std::string("wide-") + std::to_string(c.item)), wide);
        Rect whole = title_text_box(wide);
        Game game({});
        ASSERT_TRUE(game.ok()) << game.error();
        WindowId dialog = game.choose(c.menu, c.item);
        ASSERT_NE(dialog, 0u) << game.error();
        ASSERT_TRUE(wait_until([&] { return static_cast<int>(game.dialog_buttons(dialog).size()) == c.buttons; },
                               UI_TIMEOUT_MS, 100));
        Capture bar;
        ASSERT_TRUE(wait_until([&] { return !(bar = title_bar(dialog)).empty() && !title_text_box(bar).empty(); },
                               UI_TIMEOUT_MS, 50))
            << "no title on a frame around the dialog";
        save_artifact(test_artifact_name(std::string("title-") + std::to_string(c.item)), bar);
        Rect text = title_text_box(bar);
        // A focused title has a shadow a pixel to its right and below.
        EXPECT_NEAR(text.w, whole.w, 1) << "the title is cut in a frame " << bar.width << " wide";
        EXPECT_NEAR(text.h, whole.h, 1);
        // The widened dialog's last button (Warp's OK with nothing typed, Quit's Cancel) is
        // found apart from the entry above it and closes the dialog.
        ASSERT_TRUE(game.click_dialog_button(dialog, c.buttons - 1));
        EXPECT_TRUE(game.wait_dialog_gone(dialog)) << "its last button did not close the dialog";
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
    // Whether the window manager gives it the keyboard or not, its title's text is the same.
    // A window mapped while the window manager is still starting up can stay out of its hands,
    // unframed: mapped again until it has a frame.
    Capture bar;
    for (int tries = 0; tries < 5 && bar.empty(); ++tries) {
        XUnmapWindow(x, w);
        XMapWindow(x, w);
        XSync(x, False);
        if (!wait_until([&] { return frame_rect(w).y < window_rect(w).y; }, 2000, 50))
            continue;
        wait_until([&] { return !(bar = title_bar(w)).empty() && !title_text_box(bar).empty(); }, WINDOW_TIMEOUT_MS,
                   50);
    }
    XDestroyWindow(x, w);
    XSync(x, False);
    return bar;
}

} // namespace
