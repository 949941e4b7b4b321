// The GTK 3 program under a Wayland compositor: weston's headless back end, no X server in
// reach. Nothing can be clicked there, so this is a smoke test: the program shows its window
// (its own protocol log says so) and ends cleanly on SIGTERM or when the compositor goes away.
#include "tests/e2e/harness.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

using namespace e2e;

namespace {

// A headless weston with its own runtime directory and socket, stopped when destroyed.
class Compositor {
public:
    Compositor()
    {
        char dir_template[] = "/tmp/glimpwatch-wayland-XXXXXX";
        if (!mkdtemp(dir_template))
            return;
        runtime_dir_ = dir_template;
        chmod(runtime_dir_.c_str(), 0700);
        log_ = runtime_dir_ + "/weston.log";
        std::string socket_option = "--socket=" + socket_;
        std::string log_option = "--log=" + log_;
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
            execlp("weston", "weston", "--backend=headless-backend.so", socket_option.c_str(),
                   "--idle-time=0", log_option.c_str(), static_cast<char *>(nullptr));
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
                "GDK_BACKEND=wayland", "WAYLAND_DEBUG=client"};
    }
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

// Whether the program's protocol log shows a top-level with the game's title that got a
// picture: a buffer attached to a surface and committed.
bool shows_main_window(const std::string &protocol)
{
    size_t titled = protocol.find(std::string(".set_title(\"") + MAIN_TITLE + "\")");
    if (titled == std::string::npos)
        return false;
    size_t attached = protocol.find(".attach(wl_buffer@", titled);
    return attached != std::string::npos &&
           protocol.find("wl_surface@", attached) != std::string::npos &&
           protocol.find(".commit()", attached) != std::string::npos;
}

struct WaylandCase {
    const char *name;
    bool compositor_goes; // the compositor ends instead of the program being sent SIGTERM
};

} // namespace

// Started natively under the compositor, the program shows its window; SIGTERM ends it at
// once, and a compositor that goes away ends it with an error status, never a crash or a hang.
TEST(Wayland, StartsNativelyShowsItsWindowAndEndsCleanly)
{
    if (!toolkit_is_gtk3())
        GTEST_SKIP() << "the GTK 2 program runs only on X11";
    const WaylandCase cases[] = {{"sigterm", false}, {"compositor-goes", true}};
    for (const WaylandCase &c : cases) {
        SCOPED_TRACE(c.name);
        Compositor compositor;
        ASSERT_TRUE(compositor.ready()) << "weston did not start; its log:\n" << compositor.log();
        WorkDir dir;
        dir.link_pixmaps();
        GameProcess game;
        game.start({"-l", "1"}, dir, {"DISPLAY"}, compositor.client_env());
        bool shown = wait_until([&] { return shows_main_window(game.err()) || !game.running(); },
                                WINDOW_TIMEOUT_MS, 100) &&
                     shows_main_window(game.err());
        ASSERT_TRUE(shown) << "no titled window with a picture; the program's log ends:\n"
                           << game.err().substr(game.err().size() > 3000 ? game.err().size() - 3000
                                                                         : 0);
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
