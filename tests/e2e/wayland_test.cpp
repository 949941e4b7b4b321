// The GTK 3 program under a Wayland compositor: weston's headless back end with its pixman
// renderer, no X server in reach. Nothing can be clicked there; the compositor's own picture
// of its screen (weston-screenshooter) shows the whole canvas, pixel for pixel what the
// program shows on X11, at scale 1 and 2, and the program ends cleanly on SIGTERM or when the
// compositor goes away.
#include "tests/e2e/harness.h"

#include <gtest/gtest.h>

#ifdef E2E_GTK3_TEXT
#include <cairo.h>
#endif

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>

using namespace e2e;

namespace {

// A headless weston with its own runtime directory and socket, stopped when destroyed.
class Compositor {
public:
    // A screen of width x height logical pixels at the scale factor (each is scale x scale
    // pixels of the screen).
    Compositor(int width, int height, int scale)
    {
        char dir_template[] = "/tmp/glimpwatch-wayland-XXXXXX";
        if (!mkdtemp(dir_template))
            return;
        runtime_dir_ = dir_template;
        chmod(runtime_dir_.c_str(), 0700);
        log_ = runtime_dir_ + "/weston.log";
        std::string socket_option = "--socket=" + socket_;
        std::string log_option = "--log=" + log_;
        std::string width_option = "--width=" + std::to_string(width);
        std::string height_option = "--height=" + std::to_string(height);
        std::string scale_option = "--scale=" + std::to_string(scale);
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            setenv("XDG_RUNTIME_DIR", runtime_dir_.c_str(), 1);
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            // The pixman renderer draws what a screen would show, and --debug lets
            // weston-screenshooter take its picture.
            execlp("weston", "weston", "--backend=headless-backend.so", "--use-pixman", "--debug",
                   width_option.c_str(), height_option.c_str(), scale_option.c_str(),
                   socket_option.c_str(), "--idle-time=0", log_option.c_str(),
                   static_cast<char *>(nullptr));
            _exit(127);
        }
        std::string socket_path = runtime_dir_ + "/" + socket_;
        struct stat info;
        ready_ = pid_ > 0 &&
                 wait_until([&] { return stat(socket_path.c_str(), &info) == 0 && running(); },
                            WINDOW_TIMEOUT_MS);
    }
    ~Compositor()
    {
        stop();
        std::string command = "rm -rf '" + runtime_dir_ + "'";
        if (!runtime_dir_.empty() && system(command.c_str()) != 0)
            ADD_FAILURE() << "could not remove " << runtime_dir_;
    }
    Compositor(const Compositor &) = delete;
    Compositor &operator=(const Compositor &) = delete;

    bool ready() const { return ready_; }
    std::string log() const { return read_file(log_); }
    // The settings that send a program to this compositor, and nowhere else.
    std::vector<std::string> client_env() const
    {
        return {"XDG_RUNTIME_DIR=" + runtime_dir_, "WAYLAND_DISPLAY=" + socket_,
                "GDK_BACKEND=wayland"};
    }
    // The compositor's picture of its screen, as weston-screenshooter takes it; empty when
    // none could be had.
    Capture screenshot() const;
    bool running()
    {
        if (pid_ <= 0)
            return false;
        if (waitpid(pid_, nullptr, WNOHANG) == pid_)
            pid_ = -1;
        return pid_ > 0;
    }
    void stop()
    {
        if (!running())
            return;
        kill(pid_, SIGTERM);
        if (!wait_until([&] { return !running(); }, EXIT_TIMEOUT_MS)) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }

private:
    std::string runtime_dir_, log_;
    std::string socket_ = "glimpwatch-test";
    pid_t pid_ = -1;
    bool ready_ = false;
};

Capture Compositor::screenshot() const
{
    Capture shot;
#ifdef E2E_GTK3_TEXT
    // The tool writes wayland-screenshot-<time>.png into its working directory.
    WorkDir dir;
    std::string command = "cd '" + dir.path() + "' && XDG_RUNTIME_DIR='" + runtime_dir_ +
                          "' WAYLAND_DISPLAY='" + socket_ +
                          "' weston-screenshooter >screenshooter.log 2>&1";
    if (system(command.c_str()) != 0)
        return shot;
    std::string png;
    if (DIR *d = opendir(dir.path().c_str())) {
        while (dirent *e = readdir(d))
            if (strncmp(e->d_name, "wayland-screenshot", 18) == 0)
                png = dir.path() + "/" + e->d_name;
        closedir(d);
    }
    if (png.empty())
        return shot;
    cairo_surface_t *image = cairo_image_surface_create_from_png(png.c_str());
    if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS &&
        (cairo_image_surface_get_format(image) == CAIRO_FORMAT_RGB24 ||
         cairo_image_surface_get_format(image) == CAIRO_FORMAT_ARGB32)) {
        cairo_surface_flush(image);
        shot.width = cairo_image_surface_get_width(image);
        shot.height = cairo_image_surface_get_height(image);
        const unsigned char *data = cairo_image_surface_get_data(image);
        int stride = cairo_image_surface_get_stride(image);
        for (int y = 0; y < shot.height; ++y)
            for (int x = 0; x < shot.width; ++x) {
                uint32_t p;
                memcpy(&p, data + static_cast<size_t>(y) * stride + 4 * static_cast<size_t>(x), 4);
                shot.rgb.push_back(static_cast<uint8_t>(p >> 16));
                shot.rgb.push_back(static_cast<uint8_t>(p >> 8));
                shot.rgb.push_back(static_cast<uint8_t>(p));
            }
    }
    cairo_surface_destroy(image);
#endif
    return shot;
}

// Where the picture lies in the shot, every pixel the same; (-1, -1) when nowhere. Only the
// places where the shot has the picture's first coloured pixel are looked at in full.
Point find_exactly(const Capture &shot, const Capture &picture)
{
    int ax = -1, ay = -1;
    for (int i = 0; i < picture.width * picture.height && ax < 0; ++i)
        if (!picture.is_white(i % picture.width, i / picture.width)) {
            ax = i % picture.width;
            ay = i / picture.width;
        }
    if (ax < 0)
        return Point{-1, -1};
    Rgb anchor = picture.at(ax, ay);
    for (int y = ay; y + picture.height - ay <= shot.height; ++y)
        for (int x = ax; x + picture.width - ax <= shot.width; ++x)
            if (shot.at(x, y) == anchor &&
                shot.crop(x - ax, y - ay, picture.width, picture.height).differences(picture) == 0)
                return Point{x - ax, y - ay};
    return Point{-1, -1};
}

struct WaylandCase {
    int scale;
    bool compositor_goes; // the compositor ends instead of the program being sent SIGTERM
};

} // namespace

// Started natively under the compositor, the program shows its whole canvas, pixel for pixel
// what it shows on X11 at the same scale (it once showed the top 180 rows, in a white box
// where its shadow belongs); SIGTERM ends it at once, and a compositor that goes away ends it
// with an error status, never a crash or a hang.
TEST(Wayland, ShowsTheWholeCanvasAsOnX11AtScale1And2AndEndsCleanly)
{
    if (!toolkit_is_gtk3())
        GTEST_SKIP() << "the GTK 2 program runs only on X11";
    const WaylandCase cases[] = {{1, false}, {2, true}};
    for (const WaylandCase &c : cases) {
        SCOPED_TRACE("scale " + std::to_string(c.scale));
        // The title screen on X11, at the same scale factor: the logo centred on white.
        Capture on_x11;
        {
            Game x11({}, 400, c.scale);
            ASSERT_TRUE(x11.ok()) << x11.error();
            ASSERT_TRUE(wait_until([&] { return shows_logo(x11.logical_canvas()); }, UI_TIMEOUT_MS, 50));
            on_x11 = x11.capture_canvas();
        }
        ASSERT_EQ(on_x11.width, 400 * c.scale);

        Compositor compositor(1024, 768, c.scale);
        ASSERT_TRUE(compositor.ready()) << "weston did not start; its log:\n" << compositor.log();
        WorkDir dir;
        dir.link_pixmaps();
        GameProcess game;
        game.start({}, dir, {"DISPLAY"}, compositor.client_env());
        Capture shot;
        Point canvas{-1, -1};
        wait_until(
            [&] {
                shot = compositor.screenshot();
                canvas = find_exactly(shot, on_x11);
                return canvas.x >= 0 || !game.running();
            },
            WINDOW_TIMEOUT_MS, 200);
        ASSERT_FALSE(shot.empty()) << "weston-screenshooter took no picture; weston's log:\n"
                                   << compositor.log();
        // The window around the canvas (its title bar and menus above it), or all of the screen.
        std::string artifact = test_artifact_name("scale-" + std::to_string(c.scale));
        if (canvas.x >= 0) {
            int margin = 80 * c.scale, left = std::max(0, canvas.x - margin), top = std::max(0, canvas.y - margin);
            save_artifact(artifact, shot.crop(left, top, std::min(shot.width - left, on_x11.width + 2 * margin),
                                              std::min(shot.height - top, on_x11.height + 2 * margin)));
        } else {
            save_artifact(artifact, shot);
        }
        EXPECT_GE(canvas.x, 0) << "the compositor's screen does not show the whole canvas as X11 does; "
                                  "the program's log:\n"
                               << game.err();
        EXPECT_TRUE(game.running()) << "the program ended by itself";
        if (c.compositor_goes)
            compositor.stop();
        else
            kill(game.pid(), SIGTERM);
        ASSERT_TRUE(game.wait_exit()) << "the program is still running";
        if (c.compositor_goes) {
            EXPECT_TRUE(game.status().exited) << "ended by signal " << game.status().signal;
            EXPECT_NE(game.status().code, 0);
        } else {
            EXPECT_TRUE(game.status().signalled);
            EXPECT_EQ(game.status().signal, SIGTERM);
        }
    }
}
