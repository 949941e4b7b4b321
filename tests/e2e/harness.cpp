// End-to-end harness: Xvfb, child processes, window lookup, captures and XTest input.
#include "tests/e2e/harness.h"

#include "base/install_paths.h"
#include "tests/xpm_file.h"

// GoogleTest before Xlib, whose macros would spoil its headers.
#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>

#ifdef E2E_GTK3_TEXT
#include "gui/gtk3/status_text.h"
#endif

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace e2e {

namespace {
Display *x_display = nullptr;
std::string display_name_;
int ignored_x_errors = 0;
} // namespace

const char *const TOOLKIT = GLIMPWATCH_TOOLKIT;

bool toolkit_is_gtk3() { return std::strcmp(TOOLKIT, "gtk3") == 0; }

// ---------------------------------------------------------------- waiting

bool wait_until(const std::function<bool()> &cond, int timeout_ms, int poll_ms)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (cond())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return cond();
        std::this_thread::sleep_for(std::chrono::milliseconds(poll_ms));
    }
}

bool holds_for(const std::function<bool()> &cond, int ms, int poll_ms)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (!cond())
            return false;
        if (std::chrono::steady_clock::now() >= end)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(poll_ms));
    }
}

namespace {

// A pause between input events, where the program must have taken one before the next
// arrives and nothing outside it tells when it has (see the callers).
void pause_between_events(int ms)
{
    if (x_display)
        XSync(x_display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

// ---------------------------------------------------------------- the X server

namespace {

// Windows come and go while we look at them; an X error about a vanished window is expected.
int ignore_x_error(Display *, XErrorEvent *)
{
    ++ignored_x_errors;
    return 0;
}

// A directory of this test process alone, removed after the last test: the home and the XDG
// directories of every game it starts, and the high-score table the test build's program
// is told to keep, so that no player's own name, scores or settings reach the tests, the
// tests write nothing into the home of whoever runs them, and test processes running side
// by side never share a file.
std::string private_home;

// The table this process's games keep, below its home, in a directory of its own.
std::string own_score_file() { return private_home + "/scores/glimpwatch.scores"; }

void make_private_home()
{
    std::string base = std::string(TEST_BINARY_DIR) + "/e2e-home";
    std::error_code ec;
    fs::create_directories(base, ec);
    std::string templ = base + "/run-XXXXXX";
    ASSERT_NE(mkdtemp(templ.data()), nullptr) << templ << ": " << strerror(errno);
    private_home = templ;
    const std::pair<const char *, const char *> dirs[] = {
        {"HOME", ""},
        {"XDG_DATA_HOME", "/.local/share"},
        {"XDG_CONFIG_HOME", "/.config"},
        {"XDG_CACHE_HOME", "/.cache"},
        {"XDG_STATE_HOME", "/.local/state"},
        {"XDG_RUNTIME_DIR", "/runtime"},
    };
    for (const auto &d : dirs) {
        std::string path = private_home + d.second;
        fs::create_directories(path, ec);
        setenv(d.first, path.c_str(), 1);
    }
    chmod((private_home + "/runtime").c_str(), 0700);
    fs::create_directories(fs::path(own_score_file()).parent_path(), ec);
    setenv("GLIMPWATCH_TEST_SCORE_FILE", own_score_file().c_str(), 1);
}

// The global environment that GoogleTest runs around all tests.
class XvfbEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        make_private_home();
        XServerEnvironment::start();
    }
    void TearDown() override
    {
        XServerEnvironment::stop();
        std::error_code ec;
        if (!private_home.empty())
            fs::remove_all(private_home, ec);
    }
};

[[maybe_unused]] ::testing::Environment *const xvfb_environment =
    ::testing::AddGlobalTestEnvironment(new XvfbEnvironment);

} // namespace

void XServerEnvironment::start()
{
    // main() below has put the process under an X server of its own.
    const char *display = getenv("DISPLAY");
    ASSERT_TRUE(display && *display) << "no DISPLAY: the tests run under scripts/with_xvfb.sh";
    display_name_ = display;
    // The games under test are heard nowhere, whatever sound the machine has (SDL's silent
    // driver).
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    x_display = XOpenDisplay(display_name_.c_str());
    ASSERT_NE(x_display, nullptr) << "cannot connect to Xvfb on " << display_name_;
    fcntl(ConnectionNumber(x_display), F_SETFD, FD_CLOEXEC);
    XSetErrorHandler(ignore_x_error);
    int event_base, error_base, major, minor;
    ASSERT_TRUE(XTestQueryExtension(x_display, &event_base, &error_base, &major, &minor))
        << "the X server has no XTEST extension";
    // Park the pointer in the bottom-right corner, away from where the game's window appears.
    move_pointer_away();
}

void XServerEnvironment::stop()
{
    // The X server itself goes with scripts/with_xvfb.sh, when this process ends.
    if (x_display) {
        XCloseDisplay(x_display);
        x_display = nullptr;
    }
}

_XDisplay *XServerEnvironment::display() { return x_display; }
const std::string &XServerEnvironment::name() { return display_name_; }
std::string home_dir() { return private_home; }

// ---------------------------------------------------------------- files

std::string source_dir() { return TEST_SOURCE_DIR; }

std::string pixmaps_dir()
{
    const char *override_dir = getenv("GLIMPWATCH_E2E_PIXMAPS");
    return override_dir ? override_dir : source_dir() + "/pixmaps";
}

std::string pixmap_path(const std::string &name) { return pixmaps_dir() + "/" + name + ".xpm"; }

std::string sounds_dir() { return source_dir() + "/sounds"; }
std::string replays_dir() { return source_dir() + "/replays"; }

std::string artifacts_dir()
{
    std::string dir = std::string(TEST_BINARY_DIR) + "/artifacts";
    std::error_code ec;
    fs::create_directories(dir, ec);
    return dir;
}

std::string score_file()
{
    return InstallPaths::TEST_SCORE_FILE_FROM_ENV ? own_score_file() : std::string(InstallPaths::SCORE_FILE);
}

std::string read_file(const std::string &path, bool *exists)
{
    std::ifstream in(path, std::ios::binary);
    if (exists)
        *exists = static_cast<bool>(in);
    if (!in)
        return "";
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const std::string &path, const std::string &content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

namespace {

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Parses an XPM colour value: #RGB forms and a few names. Unknown names are reported as such.
bool parse_colour(const std::string &value, Rgb *out, bool *transparent)
{
    *transparent = false;
    std::string v = value;
    for (auto &ch : v)
        ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    if (v == "none") {
        *transparent = true;
        return true;
    }
    if (!v.empty() && v[0] == '#') {
        std::string digits = v.substr(1);
        if (digits.empty() || digits.size() % 3 != 0)
            return false;
        size_t n = digits.size() / 3;
        int channel[3];
        for (int k = 0; k < 3; ++k) {
            // The most significant byte of each channel; #RGB means R0, G0, B0 in X.
            int hi = hex_digit(digits[k * n]);
            int lo = n > 1 ? hex_digit(digits[k * n + 1]) : 0;
            if (hi < 0 || lo < 0)
                return false;
            channel[k] = hi * 16 + lo;
        }
        *out = Rgb{static_cast<uint8_t>(channel[0]), static_cast<uint8_t>(channel[1]),
                   static_cast<uint8_t>(channel[2])};
        return true;
    }
    static const std::map<std::string, Rgb> names = {
        {"white", {255, 255, 255}}, {"black", {0, 0, 0}},       {"red", {255, 0, 0}},
        {"green", {0, 255, 0}},     {"blue", {0, 0, 255}},      {"yellow", {255, 255, 0}},
        {"cyan", {0, 255, 255}},    {"magenta", {255, 0, 255}},
    };
    auto it = names.find(v);
    if (it == names.end())
        return false;
    *out = it->second;
    return true;
}

} // namespace

XpmPicture read_xpm(const std::string &path)
{
    XpmPicture pic;
    auto strings = XpmFile::strings(read_file(path));
    if (strings.empty())
        return pic;
    std::istringstream header(strings[0]);
    int w, h, ncolours, cpp;
    if (!(header >> w >> h >> ncolours >> cpp) || w <= 0 || h <= 0 || cpp <= 0 ||
        static_cast<int>(strings.size()) < 1 + ncolours + h)
        return pic;
    struct Entry {
        Rgb rgb;
        bool transparent = false, known = false;
    };
    std::map<std::string, Entry> table;
    for (int k = 0; k < ncolours; ++k) {
        const std::string &line = strings[1 + k];
        if (static_cast<int>(line.size()) < cpp)
            return pic;
        Entry e;
        std::istringstream rest(line.substr(cpp));
        std::string key, value;
        while (rest >> key) {
            if (!(rest >> value))
                break;
            if (key == "c") {
                e.known = parse_colour(value, &e.rgb, &e.transparent);
                if (e.transparent)
                    e.known = true;
                break;
            }
        }
        table[line.substr(0, cpp)] = e;
    }
    pic.width = w;
    pic.height = h;
    pic.pixels.assign(static_cast<size_t>(w) * h, Rgb{});
    pic.opaque.assign(static_cast<size_t>(w) * h, 0);
    pic.known.assign(static_cast<size_t>(w) * h, 0);
    for (int y = 0; y < h; ++y) {
        const std::string &row = strings[1 + ncolours + y];
        for (int x = 0; x < w && static_cast<int>(row.size()) >= (x + 1) * cpp; ++x) {
            auto it = table.find(row.substr(static_cast<size_t>(x) * cpp, cpp));
            if (it == table.end())
                continue;
            size_t i = static_cast<size_t>(y) * w + x;
            pic.pixels[i] = it->second.rgb;
            pic.opaque[i] = !it->second.transparent;
            pic.known[i] = it->second.known;
        }
    }
    return pic;
}

WorkDir::WorkDir()
{
    std::string base = std::string(TEST_BINARY_DIR) + "/e2e-work";
    std::error_code ec;
    fs::create_directories(base, ec);
    std::string templ = base + "/run-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()))
        path_ = buf.data();
}

WorkDir::~WorkDir()
{
    if (!path_.empty()) {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
}

void WorkDir::link_pixmaps()
{
    std::error_code ec;
    fs::create_directory_symlink(pixmaps_dir(), path_ + "/pixmaps", ec);
}

void WorkDir::link_sounds()
{
    std::error_code ec;
    fs::create_directory_symlink(sounds_dir(), path_ + "/sounds", ec);
}

void WorkDir::link_replays()
{
    std::error_code ec;
    fs::create_directory_symlink(replays_dir(), path_ + "/replays", ec);
}

void WorkDir::copy_sounds()
{
    std::error_code ec;
    fs::copy(sounds_dir(), path_ + "/sounds", fs::copy_options::recursive, ec);
}

void WorkDir::copy_pixmaps()
{
    std::error_code ec;
    fs::copy(pixmaps_dir(), path_ + "/pixmaps", fs::copy_options::recursive, ec);
}

std::string WorkDir::pixmap(const std::string &name) const
{
    return path_ + "/pixmaps/" + name + ".xpm";
}

ScoreFileGuard::ScoreFileGuard() { content_ = read_file(score_file(), &existed_); }

ScoreFileGuard::~ScoreFileGuard()
{
    if (existed_)
        write_file(score_file(), content_);
    else
        unlink(score_file().c_str());
}

void ScoreFileGuard::remove()
{
    unlink(score_file().c_str());
    std::error_code ec;
    fs::create_directories(fs::path(score_file()).parent_path(), ec);
}

// ---------------------------------------------------------------- the game process

std::string game_binary()
{
    const char *override_binary = getenv("GLIMPWATCH_E2E_BINARY");
    return override_binary ? override_binary : GLIMPWATCH_BINARY;
}

GameProcess::~GameProcess() { kill_and_reap(); }

void GameProcess::start(const std::vector<std::string> &args, const WorkDir &dir,
                        const std::vector<std::string> &unset_env,
                        const std::vector<std::string> &set_env)
{
    out_path_ = dir.path() + "/stdout.txt";
    err_path_ = dir.path() + "/stderr.txt";
    std::string binary = game_binary();
    std::vector<std::string> argv_strings{binary};
    argv_strings.insert(argv_strings.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (auto &a : argv_strings)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        ADD_FAILURE() << "fork: " << strerror(errno);
        return;
    }
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (chdir(dir.path().c_str()) != 0)
            _exit(125);
        int out = open(out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0)
            _exit(125);
        dup2(out, 1);
        dup2(err, 2);
        close(out);
        close(err);
        int devnull = open("/dev/null", O_RDONLY);
        if (devnull >= 0) {
            dup2(devnull, 0);
            close(devnull);
        }
        for (auto &name : unset_env)
            unsetenv(name.c_str());
        for (auto &setting : set_env)
            putenv(const_cast<char *>(setting.c_str()));
        execv(binary.c_str(), argv.data());
        fprintf(stderr, "exec %s: %s\n", binary.c_str(), strerror(errno));
        _exit(126);
    }
    pid_ = pid;
    reaped_ = false;
    status_ = ExitStatus{};
}

bool GameProcess::running()
{
    if (pid_ <= 0 || reaped_)
        return false;
    int status;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == 0)
        return true;
    reaped_ = true;
    if (r == pid_) {
        if (WIFEXITED(status)) {
            status_.exited = true;
            status_.code = WEXITSTATUS(status);
        } else if (WIFSIGNALED(status)) {
            status_.signalled = true;
            status_.signal = WTERMSIG(status);
        }
    }
    return false;
}

bool GameProcess::wait_exit(int timeout_ms)
{
    return wait_until([this] { return !running(); }, timeout_ms, 20);
}

std::string GameProcess::out() const { return read_file(out_path_); }
std::string GameProcess::err() const { return read_file(err_path_); }

void GameProcess::kill_and_reap()
{
    if (pid_ <= 0)
        return;
    long pid = pid_;
    if (running()) {
        kill(pid_, SIGKILL);
        wait_until([this] { return !running(); }, 10000, 10);
    }
    // The X server frees a dead client's windows a moment later; later tests must not see them.
    if (x_display)
        wait_until(
            [pid] {
                for (auto &t : top_levels())
                    if (t.pid == pid)
                        return false;
                return true;
            },
            5000, 20);
    pid_ = -1;
}

RunResult run_game(const std::vector<std::string> &args, const WorkDir &dir,
                   const std::vector<std::string> &unset_env, int timeout_ms)
{
    RunResult result;
    GameProcess p;
    p.start(args, dir, unset_env);
    result.timed_out = !p.wait_exit(timeout_ms);
    if (result.timed_out)
        p.kill_and_reap();
    result.status = p.status();
    result.out = p.out();
    result.err = p.err();
    return result;
}

// ---------------------------------------------------------------- windows

namespace {

long window_pid(Window w)
{
    Atom pid_atom = XInternAtom(x_display, "_NET_WM_PID", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char *data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(x_display, w, pid_atom, 0, 1, False, XA_CARDINAL, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
        if (type == XA_CARDINAL && format == 32 && count == 1)
            pid = static_cast<long>(*reinterpret_cast<unsigned long *>(data));
        XFree(data);
    }
    return pid;
}

std::string window_title(Window w)
{
    char *name = nullptr;
    std::string title;
    if (XFetchName(x_display, w, &name) && name) {
        title = name;
        XFree(name);
    }
    return title;
}

} // namespace

// Under a window manager a program's window lies inside the manager's frame: the window in
// there that has WM_STATE (the manager's mark of a client), searched a few levels down.
Window client_in_frame(Window frame, int depth = 3)
{
    Atom wm_state = XInternAtom(x_display, "WM_STATE", True);
    if (wm_state == None || depth == 0)
        return 0;
    Window root_return, parent;
    Window *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(x_display, frame, &root_return, &parent, &children, &n))
        return 0;
    Window found = 0;
    for (unsigned int i = 0; i < n && !found; ++i) {
        Atom type;
        int format;
        unsigned long items, after;
        unsigned char *data = nullptr;
        if (XGetWindowProperty(x_display, children[i], wm_state, 0, 0, False, AnyPropertyType, &type, &format,
                               &items, &after, &data) == Success &&
            type != None)
            found = children[i];
        if (data)
            XFree(data);
        if (!found)
            found = client_in_frame(children[i], depth - 1);
    }
    if (children)
        XFree(children);
    return found;
}

std::vector<TopLevel> top_levels()
{
    std::vector<TopLevel> result;
    if (!x_display)
        return result;
    XSync(x_display, False);
    Window root_return, parent;
    Window *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(x_display, DefaultRootWindow(x_display), &root_return, &parent, &children, &n))
        return result;
    for (unsigned int i = 0; i < n; ++i) {
        XWindowAttributes attr;
        if (!XGetWindowAttributes(x_display, children[i], &attr))
            continue;
        TopLevel t;
        t.id = children[i];
        t.rect = Rect{attr.x, attr.y, attr.width, attr.height};
        t.viewable = attr.map_state == IsViewable;
        t.override_redirect = attr.override_redirect;
        t.pid = window_pid(children[i]);
        t.title = window_title(children[i]);
        // A window manager's frame: the program's window inside stands for it.
        Window client = 0;
        if (!t.override_redirect && t.pid == -1 && t.title.empty() && (client = client_in_frame(children[i]))) {
            XWindowAttributes inner;
            if (XGetWindowAttributes(x_display, client, &inner)) {
                t.id = client;
                t.rect = window_rect(client);
                t.viewable = t.viewable && inner.map_state == IsViewable;
                t.pid = window_pid(client);
                t.title = window_title(client);
            }
        }
        result.push_back(t);
    }
    if (children)
        XFree(children);
    return result;
}

Rect frame_rect(Window w)
{
    Window root_return, parent = w, at = w;
    Window *children = nullptr;
    unsigned int n = 0;
    // Up to the root's child that holds it.
    while (XQueryTree(x_display, at, &root_return, &parent, &children, &n)) {
        if (children)
            XFree(children);
        children = nullptr;
        if (parent == root_return || parent == 0)
            break;
        at = parent;
    }
    return window_rect(at);
}

Rect window_rect(Window w)
{
    XWindowAttributes attr;
    if (!x_display || !XGetWindowAttributes(x_display, w, &attr))
        return Rect{};
    int x, y;
    Window child;
    XTranslateCoordinates(x_display, w, DefaultRootWindow(x_display), 0, 0, &x, &y, &child);
    return Rect{x, y, attr.width, attr.height};
}

bool window_viewable(Window w)
{
    XWindowAttributes attr;
    if (!x_display)
        return false;
    XSync(x_display, False);
    return XGetWindowAttributes(x_display, w, &attr) && attr.map_state == IsViewable;
}

namespace {

// A viewable window of pid with the title below w, depth first: a window manager puts the
// top-levels into frames of its own.
Window find_below(Window w, const std::string &title, long pid)
{
    Window root_return, parent;
    Window *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(x_display, w, &root_return, &parent, &children, &n))
        return 0;
    Window found = 0;
    for (unsigned int i = 0; i < n && !found; ++i) {
        XWindowAttributes attr;
        if (XGetWindowAttributes(x_display, children[i], &attr) && attr.map_state == IsViewable &&
            window_title(children[i]) == title && (window_pid(children[i]) == pid || window_pid(children[i]) == -1))
            found = children[i];
        else
            found = find_below(children[i], title, pid);
    }
    if (children)
        XFree(children);
    return found;
}

} // namespace

Window find_window(const std::string &title, long pid)
{
    for (auto &t : top_levels())
        if (t.viewable && t.title == title && (t.pid == pid || t.pid == -1))
            return t.id;
    return x_display ? find_below(DefaultRootWindow(x_display), title, pid) : 0;
}

Window wait_for_window(const std::string &title, long pid, int timeout_ms)
{
    Window found = 0;
    wait_until(
        [&] {
            found = find_window(title, pid);
            return found != 0;
        },
        timeout_ms, 30);
    return found;
}

std::vector<Window> other_windows(long pid, const std::set<Window> &known)
{
    std::vector<Window> result;
    for (auto &t : top_levels())
        if (t.viewable && !t.override_redirect && (t.pid == pid || t.pid == -1) &&
            !known.count(t.id) && t.rect.w > 1 && t.rect.h > 1)
            result.push_back(t.id);
    return result;
}

Window find_popup(const std::set<Window> &known)
{
    for (auto &t : top_levels())
        if (t.viewable && t.override_redirect && !known.count(t.id) && t.rect.w > 10 &&
            t.rect.h > 10)
            return t.id;
    return 0;
}

std::string title_of(Window w) { return x_display ? window_title(w) : std::string(); }

std::set<Window> viewable_ids()
{
    std::set<Window> ids;
    for (auto &t : top_levels())
        if (t.viewable)
            ids.insert(t.id);
    return ids;
}

// ---------------------------------------------------------------- captures

Rgb Capture::at(int px, int py) const
{
    size_t i = (static_cast<size_t>(py) * width + px) * 3;
    return Rgb{rgb[i], rgb[i + 1], rgb[i + 2]};
}

bool Capture::is_white(int px, int py) const
{
    Rgb p = at(px, py);
    return p.r >= 250 && p.g >= 250 && p.b >= 250;
}

Capture Capture::reduced(int factor, bool *crisp) const
{
    Capture c;
    if (crisp)
        *crisp = true;
    if (factor < 1)
        return c;
    c.x = x;
    c.y = y;
    c.width = width / factor;
    c.height = height / factor;
    c.rgb.resize(static_cast<size_t>(c.width) * c.height * 3);
    for (int row = 0; row < c.height; ++row)
        for (int col = 0; col < c.width; ++col) {
            Rgb corner = at(col * factor, row * factor);
            for (int dy = 0; dy < factor && crisp && *crisp; ++dy)
                for (int dx = 0; dx < factor; ++dx)
                    if (at(col * factor + dx, row * factor + dy) != corner)
                        *crisp = false;
            size_t i = (static_cast<size_t>(row) * c.width + col) * 3;
            c.rgb[i] = corner.r;
            c.rgb[i + 1] = corner.g;
            c.rgb[i + 2] = corner.b;
        }
    return c;
}

Capture Capture::crop(int px, int py, int w, int h) const
{
    Capture c;
    int x0 = std::max(px, 0), y0 = std::max(py, 0);
    int x1 = std::min(px + w, width), y1 = std::min(py + h, height);
    if (x1 <= x0 || y1 <= y0)
        return c;
    c.x = x + x0;
    c.y = y + y0;
    c.width = x1 - x0;
    c.height = y1 - y0;
    c.rgb.resize(static_cast<size_t>(c.width) * c.height * 3);
    for (int row = 0; row < c.height; ++row)
        std::memcpy(&c.rgb[static_cast<size_t>(row) * c.width * 3],
                    &rgb[(static_cast<size_t>(y0 + row) * width + x0) * 3],
                    static_cast<size_t>(c.width) * 3);
    return c;
}

long Capture::differences(const Capture &other) const
{
    if (width != other.width || height != other.height)
        return -1;
    long n = 0;
    for (size_t i = 0; i < rgb.size(); i += 3)
        if (rgb[i] != other.rgb[i] || rgb[i + 1] != other.rgb[i + 1] ||
            rgb[i + 2] != other.rgb[i + 2])
            ++n;
    return n;
}

bool Capture::save_ppm(const std::string &path) const
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out << "P6\n" << width << " " << height << "\n255\n";
    out.write(reinterpret_cast<const char *>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    return static_cast<bool>(out);
}

namespace {
int mask_shift(unsigned long mask)
{
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}
} // namespace

Capture capture_area(const Rect &r)
{
    Capture c;
    if (!x_display)
        return c;
    XSync(x_display, False);
    int sw = DisplayWidth(x_display, DefaultScreen(x_display));
    int sh = DisplayHeight(x_display, DefaultScreen(x_display));
    int x0 = std::max(r.x, 0), y0 = std::max(r.y, 0);
    int x1 = std::min(r.x + r.w, sw), y1 = std::min(r.y + r.h, sh);
    if (x1 <= x0 || y1 <= y0)
        return c;
    XImage *img =
        XGetImage(x_display, DefaultRootWindow(x_display), x0, y0, static_cast<unsigned>(x1 - x0),
                  static_cast<unsigned>(y1 - y0), AllPlanes, ZPixmap);
    if (!img)
        return c;
    c.x = x0;
    c.y = y0;
    c.width = x1 - x0;
    c.height = y1 - y0;
    c.rgb.resize(static_cast<size_t>(c.width) * c.height * 3);
    int rs = mask_shift(img->red_mask), gs = mask_shift(img->green_mask),
        bs = mask_shift(img->blue_mask);
    size_t i = 0;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            unsigned long p = XGetPixel(img, x, y);
            c.rgb[i++] = static_cast<uint8_t>((p & img->red_mask) >> rs);
            c.rgb[i++] = static_cast<uint8_t>((p & img->green_mask) >> gs);
            c.rgb[i++] = static_cast<uint8_t>((p & img->blue_mask) >> bs);
        }
    XDestroyImage(img);
    return c;
}

Capture capture_window(Window w) { return capture_area(window_rect(w)); }

std::string test_artifact_name(const std::string &suffix)
{
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "run";
    if (!suffix.empty())
        name += "-" + suffix;
    for (auto &ch : name)
        if (ch == '/' || ch == ' ')
            ch = '_';
    return name;
}

std::string save_artifact(const std::string &name, const Capture &c)
{
    std::string path = artifacts_dir() + "/" + name + ".ppm";
    c.save_ppm(path);
    return path;
}

XpmPicture picture_of(const Capture &c)
{
    XpmPicture pic;
    pic.width = c.width;
    pic.height = c.height;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            pic.pixels.push_back(c.at(x, y));
    pic.opaque.assign(pic.pixels.size(), 1);
    pic.known.assign(pic.pixels.size(), 1);
    return pic;
}

#ifdef E2E_GTK3_TEXT
Capture render_text(const std::string &text, int scale)
{
    Capture c;
    if (text.empty())
        return c;
    // Laid out once at scale 1 for the logical size, then drawn at the scale factor, as the
    // program lays out its status line and draws it on its scaled canvas.
    cairo_surface_t *probe = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    cairo_t *probe_cr = cairo_create(probe);
    PangoLayout *layout = StatusText::new_layout(probe_cr);
    pango_layout_set_text(layout, text.c_str(), -1);
    int w = 0, h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w * scale, h * scale);
    cairo_surface_set_device_scale(surface, scale, scale);
    cairo_t *cr = cairo_create(surface);
    pango_cairo_update_layout(cr, layout);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_move_to(cr, 0, 0);
    pango_cairo_show_layout(cr, layout);
    cairo_surface_flush(surface);
    c.width = w * scale;
    c.height = h * scale;
    c.rgb.resize(static_cast<size_t>(c.width) * c.height * 3);
    const unsigned char *data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    size_t i = 0;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            uint32_t p;
            std::memcpy(&p, data + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 4, 4);
            c.rgb[i++] = static_cast<uint8_t>(p >> 16);
            c.rgb[i++] = static_cast<uint8_t>(p >> 8);
            c.rgb[i++] = static_cast<uint8_t>(p);
        }
    g_object_unref(layout);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    cairo_destroy(probe_cr);
    cairo_surface_destroy(probe);
    return c;
}
#else
Capture render_text(const std::string &text, int scale)
{
    Capture c;
    if (!x_display || text.empty() || scale != 1)
        return c;
    XFontStruct *font = XLoadQueryFont(x_display, "fixed");
    if (!font)
        return c;
    int len = static_cast<int>(text.size());
    int w = XTextWidth(font, text.c_str(), len), h = font->ascent + font->descent;
    int screen = DefaultScreen(x_display);
    Pixmap pix = XCreatePixmap(x_display, DefaultRootWindow(x_display), static_cast<unsigned>(w),
                               static_cast<unsigned>(h),
                               static_cast<unsigned>(DefaultDepth(x_display, screen)));
    GC gc = XCreateGC(x_display, pix, 0, nullptr);
    XSetFont(x_display, gc, font->fid);
    XSetForeground(x_display, gc, WhitePixel(x_display, screen));
    XFillRectangle(x_display, pix, gc, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
    XSetForeground(x_display, gc, BlackPixel(x_display, screen));
    XDrawString(x_display, pix, gc, 0, font->ascent, text.c_str(), len);
    XImage *img = XGetImage(x_display, pix, 0, 0, static_cast<unsigned>(w),
                            static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (img) {
        c.width = w;
        c.height = h;
        c.rgb.resize(static_cast<size_t>(w) * h * 3);
        // An image of a pixmap carries no colour masks: take the screen's visual's.
        Visual *visual = DefaultVisual(x_display, screen);
        int rs = mask_shift(visual->red_mask), gs = mask_shift(visual->green_mask),
            bs = mask_shift(visual->blue_mask);
        size_t i = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                unsigned long p = XGetPixel(img, x, y);
                c.rgb[i++] = static_cast<uint8_t>((p & visual->red_mask) >> rs);
                c.rgb[i++] = static_cast<uint8_t>((p & visual->green_mask) >> gs);
                c.rgb[i++] = static_cast<uint8_t>((p & visual->blue_mask) >> bs);
            }
        XDestroyImage(img);
    }
    XFreeGC(x_display, gc);
    XFreePixmap(x_display, pix);
    XFreeFont(x_display, font);
    return c;
}
#endif

bool shows_text(const Capture &area, const std::string &text, int scale)
{
    Capture rendered = render_text(text, scale);
    return !rendered.empty() && !find_picture(area, picture_of(rendered)).empty();
}

bool shows_logo(const Capture &canvas, int size)
{
    static const XpmPicture logo = read_xpm(pixmap_path("logo"));
    return logo.ok() && canvas.width == size &&
           composite_mismatches(canvas, logo, (size - logo.width) / 2, (size - logo.height) / 2) ==
               0;
}

bool status_line_shown(const Capture &canvas)
{
    int size = canvas.width;
    return !non_white_box(canvas.crop(0, size - 20, size / 2, 20)).empty();
}

bool status_says(const Capture &canvas, const std::string &text, int scale)
{
    return shows_text(canvas.crop(0, canvas.height - 20 * scale, canvas.width, 20 * scale), text,
                      scale);
}

namespace {

// The smallest rectangle holding every pixel of a width x height area that `counts`.
template <class Counts>
Rect box_of(int width, int height, Counts counts)
{
    int x0 = width, y0 = height, x1 = -1, y1 = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (counts(x, y)) {
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
    if (x1 < 0)
        return Rect{};
    return Rect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

} // namespace

Rect non_white_box(const Capture &c)
{
    return box_of(c.width, c.height, [&](int x, int y) { return !c.is_white(x, y); });
}

long picture_mismatches(const Capture &c, const XpmPicture &pic, int px, int py)
{
    long n = 0;
    for (int y = 0; y < pic.height; ++y)
        for (int x = 0; x < pic.width; ++x) {
            size_t i = static_cast<size_t>(y) * pic.width + x;
            if (!pic.opaque[i] || !pic.known[i])
                continue;
            int cx = px + x, cy = py + y;
            if (cx < 0 || cy < 0 || cx >= c.width || cy >= c.height ||
                c.at(cx, cy) != pic.pixels[i])
                ++n;
        }
    return n;
}

long composite_mismatches(const Capture &c, const XpmPicture &pic, int px, int py, Rgb background)
{
    long n = 0;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            Rgb expected = background;
            int lx = x - px, ly = y - py;
            if (lx >= 0 && ly >= 0 && lx < pic.width && ly < pic.height) {
                size_t i = static_cast<size_t>(ly) * pic.width + lx;
                if (!pic.known[i])
                    continue;
                if (pic.opaque[i])
                    expected = pic.pixels[i];
            }
            if (c.at(x, y) != expected)
                ++n;
        }
    return n;
}

Rect picture_non_white_box(const XpmPicture &pic)
{
    return box_of(pic.width, pic.height, [&](int x, int y) {
        size_t i = static_cast<size_t>(y) * pic.width + x;
        const Rgb &p = pic.pixels[i];
        return pic.opaque[i] && !(p.r >= 250 && p.g >= 250 && p.b >= 250);
    });
}

std::vector<Point> find_picture(const Capture &c, const XpmPicture &pic, long max_mismatch,
                                bool allow_outside)
{
    std::vector<Point> found;
    if (!pic.ok())
        return found;
    // Anchor on the last opaque pixel of a known colour (the bottom of a picture is the part
    // most likely on the screen); only places where the capture has that colour there are
    // checked in full.
    int ax = -1, ay = -1;
    for (int i = pic.width * pic.height - 1; i >= 0 && ax < 0; --i)
        if (pic.opaque[static_cast<size_t>(i)] && pic.known[static_cast<size_t>(i)]) {
            ax = i % pic.width;
            ay = i / pic.width;
        }
    if (ax < 0)
        return found;
    Rgb anchor = pic.pixels[static_cast<size_t>(ay) * pic.width + ax];
    for (int py = -ay; py + ay < c.height; ++py)
        for (int px = -ax; px + ax < c.width; ++px) {
            if (c.at(px + ax, py + ay) != anchor)
                continue;
            if (!allow_outside &&
                (px < 0 || py < 0 || px + pic.width > c.width || py + pic.height > c.height))
                continue;
            long bad = 0;
            for (int y = 0; y < pic.height && bad <= max_mismatch; ++y)
                for (int x = 0; x < pic.width && bad <= max_mismatch; ++x) {
                    size_t i = static_cast<size_t>(y) * pic.width + x;
                    if (!pic.opaque[i] || !pic.known[i])
                        continue;
                    int cx = px + x, cy = py + y;
                    if (cx < 0 || cy < 0 || cx >= c.width || cy >= c.height)
                        continue; // outside: refused above unless allowed
                    if (c.at(cx, cy) != pic.pixels[i])
                        ++bad;
                }
            if (bad <= max_mismatch)
                found.push_back(Point{px, py});
        }
    return found;
}

bool ColourMatch::matches(const Rgb &p) const
{
    return std::abs(p.r - colour.r) <= tolerance && std::abs(p.g - colour.g) <= tolerance &&
           std::abs(p.b - colour.b) <= tolerance;
}

std::vector<Blob> find_blobs(const Capture &c, const ColourMatch &colour, int min_pixels)
{
    std::vector<Blob> blobs;
    std::vector<uint8_t> seen(static_cast<size_t>(c.width) * c.height, 0);
    std::deque<std::pair<int, int>> queue;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            size_t i = static_cast<size_t>(y) * c.width + x;
            if (seen[i] || !colour.matches(c.at(x, y)))
                continue;
            seen[i] = 1;
            queue.emplace_back(x, y);
            int x0 = x, y0 = y, x1 = x, y1 = y, n = 0;
            while (!queue.empty()) {
                auto [qx, qy] = queue.front();
                queue.pop_front();
                ++n;
                x0 = std::min(x0, qx);
                y0 = std::min(y0, qy);
                x1 = std::max(x1, qx);
                y1 = std::max(y1, qy);
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        int nx = qx + dx, ny = qy + dy;
                        if (nx < 0 || ny < 0 || nx >= c.width || ny >= c.height)
                            continue;
                        size_t j = static_cast<size_t>(ny) * c.width + nx;
                        if (!seen[j] && colour.matches(c.at(nx, ny))) {
                            seen[j] = 1;
                            queue.emplace_back(nx, ny);
                        }
                    }
            }
            if (n >= min_pixels)
                blobs.push_back(Blob{Rect{x0, y0, x1 - x0 + 1, y1 - y0 + 1}, n});
        }
    return blobs;
}

std::vector<Band> dark_bands(const Capture &c, int max_luma, int min_height)
{
    std::vector<Band> bands;
    int start = -1;
    for (int y = 0; y <= c.height; ++y) {
        bool dark = false;
        for (int x = 0; y < c.height && x < c.width && !dark; ++x)
            dark = c.at(x, y).luma() <= max_luma;
        if (dark && start < 0)
            start = y;
        if (!dark && start >= 0) {
            if (y - start >= min_height)
                bands.push_back(Band{start, y - 1});
            start = -1;
        }
    }
    return bands;
}

std::vector<Band> dark_columns(const Capture &c, int top, int bottom, int max_luma, int max_gap)
{
    std::vector<Band> runs;
    top = std::max(top, 0);
    bottom = std::min(bottom, c.height - 1);
    int start = -1, last = -1;
    for (int x = 0; x < c.width; ++x) {
        bool dark = false;
        for (int y = top; y <= bottom && !dark; ++y)
            dark = c.at(x, y).luma() <= max_luma;
        if (!dark)
            continue;
        if (start >= 0 && x - last - 1 > max_gap) {
            runs.push_back(Band{start, last});
            start = -1;
        }
        if (start < 0)
            start = x;
        last = x;
    }
    if (start >= 0)
        runs.push_back(Band{start, last});
    return runs;
}

// ---------------------------------------------------------------- input (XTest)

void move_pointer(int root_x, int root_y)
{
    XTestFakeMotionEvent(x_display, DefaultScreen(x_display), root_x, root_y, CurrentTime);
    XSync(x_display, False);
}

void move_pointer_away()
{
    // The screen's bottom-right corner (see the Xvfb start below): no game window reaches it.
    move_pointer(DisplayWidth(x_display, DefaultScreen(x_display)) - 10,
                 DisplayHeight(x_display, DefaultScreen(x_display)) - 10);
}

void press_button(int button)
{
    XTestFakeButtonEvent(x_display, static_cast<unsigned>(button), True, CurrentTime);
    XSync(x_display, False);
}

void release_button(int button)
{
    XTestFakeButtonEvent(x_display, static_cast<unsigned>(button), False, CurrentTime);
    XSync(x_display, False);
}

void press_at(int root_x, int root_y, int button)
{
    move_pointer(root_x, root_y);
    // The toolkit needs the crossing into the widget before the press to take it as a click.
    pause_between_events(60);
    press_button(button);
}

void click_at(int root_x, int root_y, int button)
{
    press_at(root_x, root_y, button);
    // A press and its release an instant apart, as a finger makes them.
    pause_between_events(30);
    release_button(button);
}

void tap_key(unsigned long keysym)
{
    KeyCode code = XKeysymToKeycode(x_display, keysym);
    if (!code)
        return;
    bool shift = XkbKeycodeToKeysym(x_display, code, 0, 0) != keysym &&
                 XkbKeycodeToKeysym(x_display, code, 0, 1) == keysym;
    KeyCode shift_code = XKeysymToKeycode(x_display, XK_Shift_L);
    if (shift)
        XTestFakeKeyEvent(x_display, shift_code, True, CurrentTime);
    XTestFakeKeyEvent(x_display, code, True, CurrentTime);
    XTestFakeKeyEvent(x_display, code, False, CurrentTime);
    if (shift)
        XTestFakeKeyEvent(x_display, shift_code, False, CurrentTime);
    XSync(x_display, False);
    // Keys a moment apart, as a person types them.
    pause_between_events(20);
}

void tap_key_with_control(unsigned long keysym)
{
    KeyCode control = XKeysymToKeycode(x_display, XK_Control_L);
    XTestFakeKeyEvent(x_display, control, True, CurrentTime);
    XSync(x_display, False);
    tap_key(keysym);
    XTestFakeKeyEvent(x_display, control, False, CurrentTime);
    XSync(x_display, False);
    pause_between_events(20);
}

// A character no key of the keyboard has is typed with a spare keycode given its keysym for
// the moment (a Unicode keysym: 0x01000000 plus the code point), as input tools do.
void tap_unicode(unsigned code_point)
{
    int min_code = 0, max_code = 0, per_code = 0;
    XDisplayKeycodes(x_display, &min_code, &max_code);
    KeySym *map = XGetKeyboardMapping(x_display, static_cast<KeyCode>(min_code),
                                      max_code - min_code + 1, &per_code);
    int spare = 0;
    for (int code = max_code; code >= min_code && !spare; --code) {
        bool empty = true;
        for (int i = 0; i < per_code; ++i)
            empty = empty && map[(code - min_code) * per_code + i] == NoSymbol;
        if (empty)
            spare = code;
    }
    XFree(map);
    if (!spare)
        return;
    KeySym keysym = 0x01000000UL + code_point;
    KeySym both[2] = {keysym, keysym};
    XChangeKeyboardMapping(x_display, spare, 2, both, 1);
    XSync(x_display, False);
    pause_between_events(30); // the program takes the new mapping before the key arrives
    XTestFakeKeyEvent(x_display, static_cast<KeyCode>(spare), True, CurrentTime);
    XTestFakeKeyEvent(x_display, static_cast<KeyCode>(spare), False, CurrentTime);
    XSync(x_display, False);
    pause_between_events(30); // and the key before its keysym goes again
    KeySym none[2] = {NoSymbol, NoSymbol};
    XChangeKeyboardMapping(x_display, spare, 2, none, 1);
    XSync(x_display, False);
}

void type_text(const std::string &text)
{
    for (size_t i = 0; i < text.size();) {
        unsigned char ch = static_cast<unsigned char>(text[i]);
        if (ch < 0x80) {
            tap_key(ch); // ASCII keysyms equal their characters
            ++i;
            continue;
        }
        int length = ch >= 0xF0 ? 4 : ch >= 0xE0 ? 3 : 2;
        unsigned code_point = ch & (0x3F >> (length - 1));
        for (int k = 1; k < length && i + k < text.size(); ++k)
            code_point = (code_point << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        tap_unicode(code_point);
        i += static_cast<size_t>(length);
    }
}

CursorImage current_cursor()
{
    CursorImage result;
    int event_base = 0, error_base = 0;
    if (!XFixesQueryExtension(x_display, &event_base, &error_base))
        return result;
    XFixesCursorImage *image = XFixesGetCursorImage(x_display);
    if (!image)
        return result;
    result.width = image->width;
    result.height = image->height;
    result.xhot = image->xhot;
    result.yhot = image->yhot;
    // Xlib hands each 32-bit ARGB pixel over in a long.
    for (int i = 0; i < image->width * image->height; ++i)
        result.argb.push_back(static_cast<uint32_t>(image->pixels[i]));
    XFree(image);
    return result;
}

bool shows_paused_view(const Capture &c)
{
    int mid = c.height / 2;
    if (c.empty() || c.at(1, mid).luma() > 90)
        return false;
    int bright = 0;
    for (int x = 0; x < c.width; ++x)
        bright += c.at(x, mid).luma() > 200;
    return bright > 10;
}

long paused_view_mismatches(const Capture &paused, const Capture &frame)
{
    if (paused.width != frame.width || paused.height != frame.height)
        return -1;
    long wrong = 0;
    for (int y = 0; y < frame.height; ++y) {
        if (std::abs(y - frame.height / 2) <= PAUSED_BAND_HALF_HEIGHT)
            continue;
        for (int x = 0; x < frame.width; ++x) {
            Rgb p = paused.at(x, y), f = frame.at(x, y);
            if (std::abs(p.r - f.r / 2) > 2 || std::abs(p.g - f.g / 2) > 2 ||
                std::abs(p.b - f.b / 2) > 2)
                ++wrong;
        }
    }
    return wrong;
}

Capture cursor_over_dark(const CursorImage &c)
{
    Capture out;
    out.width = c.width;
    out.height = c.height;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            uint32_t p = c.at(x, y);
            uint32_t alpha = p >> 24;
            for (int shift : {16, 8, 0}) {
                // XFixes gives premultiplied colour.
                uint32_t value = ((p >> shift) & 0xFF) + (255 - alpha) * 0x30 / 255;
                out.rgb.push_back(static_cast<uint8_t>(value > 255 ? 255 : value));
            }
        }
    return out;
}

bool black_shape_with_white_rim(const CursorImage &c)
{
    auto alpha = [&](int x, int y) { return c.at(x, y) >> 24; };
    auto black = [&](int x, int y) { return alpha(x, y) == 0xFF && (c.at(x, y) & 0xFFFFFF) == 0; };
    auto white = [&](int x, int y) {
        return alpha(x, y) == 0xFF && (c.at(x, y) & 0xFFFFFF) == 0xFFFFFF;
    };
    int blacks = 0, whites = 0;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            if (white(x, y))
                ++whites;
            if (!black(x, y))
                continue;
            ++blacks;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    int nx = x + dx, ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < c.width && ny < c.height && alpha(nx, ny) == 0)
                        return false;
                }
        }
    return blacks > 0 && whites > 0;
}

void send_delete_window(Window w)
{
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = XInternAtom(x_display, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(XInternAtom(x_display, "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(x_display, w, False, NoEventMask, &ev);
    XSync(x_display, False);
}

void to_root(Window w, int x, int y, int *root_x, int *root_y)
{
    Window child;
    XTranslateCoordinates(x_display, w, DefaultRootWindow(x_display), x, y, root_x, root_y, &child);
}

// ---------------------------------------------------------------- the game's window

Game::Game(const std::vector<std::string> &args, int size, int scale) : size_(size), scale_(scale)
{
    if (!x_display) {
        error_ = "no X server";
        return;
    }
    // The pointer waits away from where the window appears, so no stray crossing reaches it.
    move_pointer_away();
    dir_.link_pixmaps();
    dir_.link_sounds();
    std::vector<std::string> settings;
    if (scale != 1)
        settings.push_back("GDK_SCALE=" + std::to_string(scale));
    process_.start(args, dir_, {}, settings);
    window_ = wait_for_window(MAIN_TITLE, process_.pid());
    if (!window_) {
        bool alive = process_.running();
        error_ = std::string("no window titled \"") + MAIN_TITLE + "\" appeared" +
                 (alive ? "" : " (the program ended)") + "; stderr:\n" + process_.err();
        return;
    }
    // The window opens with the field at 1x below the menu bar (the player's HOME is fresh).
    menu_bar_ = window_area().h - size_ * scale_;
}

Game::~Game() { process_.kill_and_reap(); }

Rect Game::window_area() const { return window_rect(window_); }

int Game::factor() const
{
    // The program's own rule, in logical pixels: the largest whole factor that fits.
    Rect w = window_area();
    int width = w.w / scale_, height = (w.h - menu_bar_) / scale_;
    return std::max(1, std::min(width / size_, height / size_));
}

Rect Game::canvas_area() const
{
    Rect w = window_area();
    int f = factor();
    int width = w.w / scale_, height = (w.h - menu_bar_) / scale_;
    int x = std::max(0, (width - size_ * f) / 2), y = std::max(0, (height - size_ * f) / 2);
    int side = size_ * scale_ * f;
    return Rect{w.x + x * scale_, w.y + menu_bar_ + y * scale_, side, side};
}

int Game::menu_bar_height() const { return menu_bar_; }

Capture Game::capture_canvas() const { return capture_area(canvas_area()); }
Capture Game::logical_canvas(bool *crisp) const { return capture_canvas().reduced(zoom(), crisp); }
Capture Game::capture_window() const { return capture_area(window_area()); }

void Game::move_to_canvas(int cx, int cy) { move_pointer(canvas_root_x(cx), canvas_root_y(cy)); }

// The paused view covers the frame, so the frame is read in the moment the pointer is back
// on the canvas: the game shows it at once, and its next tick is a whole period away. The
// pointer leaves again right after. Should a tick slip in (the frame is then not the one the
// paused view dimmed, or the field moved before the pointer was off again), it is tried again.
Capture Game::still_field()
{
    for (int attempt = 0; attempt < 10; ++attempt) {
        move_pointer_away();
        Capture paused;
        if (!wait_until([&] { return shows_paused_view(paused = logical_canvas()); }, UI_TIMEOUT_MS,
                        10))
            return Capture{};
        move_to_canvas(size_ - 3, 2);
        Capture frame;
        if (!wait_until([&] { return !shows_paused_view(frame = logical_canvas()); }, UI_TIMEOUT_MS,
                        2))
            return Capture{};
        move_pointer_away();
        Capture again;
        if (!wait_until([&] { return shows_paused_view(again = logical_canvas()); }, UI_TIMEOUT_MS,
                        10))
            return Capture{};
        if (paused_view_mismatches(paused, frame) == 0 && again.differences(paused) == 0)
            return frame;
    }
    return Capture{};
}

void Game::press_canvas(int cx, int cy, int button)
{
    press_at(canvas_root_x(cx), canvas_root_y(cy), button);
}

void Game::click_canvas(int cx, int cy, int button)
{
    click_at(canvas_root_x(cx), canvas_root_y(cy), button);
}

void Game::burst_clicks(const std::vector<Point> &points, int button)
{
    Rect canvas = canvas_area();
    for (const Point &p : points) {
        XTestFakeMotionEvent(x_display, DefaultScreen(x_display), canvas.x + p.x * zoom(),
                             canvas.y + p.y * zoom(), CurrentTime);
        XTestFakeButtonEvent(x_display, static_cast<unsigned>(button), True, CurrentTime);
        XTestFakeButtonEvent(x_display, static_cast<unsigned>(button), False, CurrentTime);
    }
    XSync(x_display, False);
}

Capture Game::wait_canvas_change(const Capture &before, int timeout_ms, long min_pixels)
{
    Capture now;
    bool changed = wait_until(
        [&] {
            now = capture_canvas();
            long d = now.differences(before);
            return d < 0 || d >= min_pixels;
        },
        timeout_ms, 40);
    return changed ? now : Capture{};
}

namespace {

bool uniform(const Capture &c)
{
    for (size_t i = 3; i < c.rgb.size(); ++i)
        if (c.rgb[i] != c.rgb[i % 3])
            return false;
    return true;
}

// A capture of the window once it shows something and two looks in a row agree: it has
// finished drawing.
Capture stable_capture(Window w, int timeout_ms = UI_TIMEOUT_MS)
{
    Capture previous = capture_window(w), now;
    wait_until(
        [&] {
            now = capture_window(w);
            bool same = now.differences(previous) == 0 && !now.empty() && !uniform(now);
            previous = now;
            return same;
        },
        timeout_ms, 80);
    return now;
}

} // namespace

Window Game::open_menu(int menu_index)
{
    Rect w = window_area();
    int bar = menu_bar_height();
    if (bar <= 0) {
        error_ = "the window has no room for a menu bar";
        return 0;
    }
    // The titles are dark text on the bar; words are more than a few pixels apart. A window
    // that has just appeared may not have drawn its bar yet.
    Capture strip;
    std::vector<Band> titles;
    wait_until(
        [&] {
            strip = capture_area(Rect{w.x, w.y, w.w, bar});
            titles = dark_columns(strip, 2, bar - 3, 110, 6);
            // A window not painted yet may be all dark: a title is a word, not the whole bar.
            for (const Band &title : titles)
                if (title.height() > w.w / 2)
                    return false;
            return static_cast<int>(titles.size()) > menu_index;
        },
        UI_TIMEOUT_MS, 50);
    if (static_cast<int>(titles.size()) <= menu_index) {
        error_ = "found " + std::to_string(titles.size()) + " menu titles in the menu bar";
        save_artifact(test_artifact_name("menubar"), strip);
        return 0;
    }
    auto known = viewable_ids();
    int x = w.x + (titles[static_cast<size_t>(menu_index)].top +
                   titles[static_cast<size_t>(menu_index)].bottom) /
                      2;
    click_at(x, w.y + bar / 2);
    Window popup = 0;
    wait_until(
        [&] {
            popup = find_popup(known);
            return popup != 0;
        },
        UI_TIMEOUT_MS, 30);
    if (!popup)
        error_ = "no menu popped up";
    return popup;
}

std::vector<Rect> Game::menu_entries(Window popup, int count, Capture *shot)
{
    // Inside the menu's frame every entry is a row of text; the tear-off line is thin. A menu
    // may show part of its rows for a moment (GTK 3 draws it in more than one pass), so the
    // rows count once two stable looks agree on them.
    Capture menu, inner;
    std::vector<Band> rows, last_rows;
    auto same_rows = [](const std::vector<Band> &a, const std::vector<Band> &b) {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (a[i].top != b[i].top || a[i].bottom != b[i].bottom)
                return false;
        return true;
    };
    wait_until(
        [&] {
            menu = stable_capture(popup);
            inner = menu.crop(4, 3, menu.width - 8, menu.height - 6);
            last_rows = rows;
            rows = dark_bands(inner, 170, 5);
            return static_cast<int>(rows.size()) >= count && same_rows(rows, last_rows);
        },
        UI_TIMEOUT_MS, 50);
    if (shot)
        *shot = menu;
    std::vector<Rect> entries;
    for (const Band &row : rows)
        entries.push_back(Rect{menu.x, inner.y + row.top, menu.width, row.height()});
    return entries;
}

bool Game::click_entry(int menu_index, int entry_index, const std::string &artifact)
{
    Window popup = open_menu(menu_index);
    if (!popup)
        return false;
    Capture menu;
    std::vector<Rect> rows = menu_entries(popup, entry_index + 1, &menu);
    if (!artifact.empty())
        save_artifact(artifact, menu);
    if (static_cast<int>(rows.size()) <= entry_index) {
        error_ = "the menu shows " + std::to_string(rows.size()) + " entries";
        save_artifact(test_artifact_name("menu"), menu);
        return false;
    }
    click_at(rows[static_cast<size_t>(entry_index)].cx(), rows[static_cast<size_t>(entry_index)].cy());
    return true;
}

Window Game::choose(int menu_index, int entry_index, const std::string &artifact)
{
    auto known = std::set<Window>{window_};
    for (Window d : dialogs())
        known.insert(d);
    if (!click_entry(menu_index, entry_index, artifact))
        return 0;
    Window dialog = 0;
    wait_until(
        [&] {
            auto others = other_windows(process_.pid(), known);
            dialog = others.empty() ? 0 : others.front();
            return dialog != 0;
        },
        UI_TIMEOUT_MS, 30);
    if (!dialog)
        error_ = "no dialog appeared after choosing entry " + std::to_string(entry_index);
    return dialog;
}

std::vector<Window> Game::dialogs() const
{
    return other_windows(process_.pid(), std::set<Window>{window_});
}

Window Game::wait_for_dialog(int timeout_ms)
{
    Window dialog = 0;
    wait_until(
        [&] {
            auto d = dialogs();
            dialog = d.empty() ? 0 : d.front();
            return dialog != 0;
        },
        timeout_ms, 30);
    return dialog;
}

std::vector<Rect> Game::dialog_buttons(Window dialog) const
{
    std::vector<Rect> buttons;
    Capture c = stable_capture(dialog);
    if (c.empty())
        return buttons;
    // The buttons are the bottom-most row of framed widgets; their frames have dark edges
    // (GTK 2's theme), or light grey ones on the lighter dialog background (GTK 3's).
    const int edge_luma = toolkit_is_gtk3() ? 215 : 100;
    Capture inner = c.crop(2, 2, c.width - 4, c.height - 4);
    auto rows = dark_bands(inner, edge_luma, 12);
    if (rows.empty())
        return buttons;
    const Band &row = rows.back();
    for (auto &run : dark_columns(inner, row.top, row.bottom, edge_luma, 2))
        if (run.height() >= 30)
            buttons.push_back(
                Rect{inner.x + run.top, inner.y + row.top, run.height(), row.height()});
    return buttons;
}

bool Game::click_dialog_button(Window dialog, int index)
{
    // A dialog that has just been mapped may not have drawn all of its buttons yet, and may
    // still be laid out or moved into place: the button is clicked once two looks a moment
    // apart find it at the same place.
    std::vector<Rect> buttons, before;
    auto same_place = [](const std::vector<Rect> &a, const std::vector<Rect> &b) {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (a[i].x != b[i].x || a[i].y != b[i].y || a[i].w != b[i].w || a[i].h != b[i].h)
                return false;
        return true;
    };
    wait_until(
        [&] {
            buttons = dialog_buttons(dialog);
            bool settled = index < static_cast<int>(buttons.size()) && same_place(buttons, before);
            before = buttons;
            return settled;
        },
        UI_TIMEOUT_MS, 100);
    if (index < 0 || index >= static_cast<int>(buttons.size())) {
        save_artifact(test_artifact_name("dialog-without-button"), e2e::capture_window(dialog));
        return false;
    }
    const Rect &b = buttons[static_cast<size_t>(index)];
    click_at(b.cx(), b.cy());
    return true;
}

bool Game::wait_dialog_gone(Window dialog, int timeout_ms)
{
    return wait_until([&] { return !window_viewable(dialog); }, timeout_ms, 30);
}

bool Game::close_and_wait(int timeout_ms)
{
    send_delete_window(window_);
    return process_.wait_exit(timeout_ms);
}

WindowManager::WindowManager()
{
    if (!x_display)
        return;
    std::remove((home_dir() + "/.local/share/glimpwatch/view").c_str());
    pid_ = fork();
    if (pid_ == 0) {
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        execlp("openbox", "openbox", "--sm-disable", static_cast<char *>(nullptr));
        _exit(127);
    }
    // It manages the screen once it has put up its check window; it tells the desktop's work
    // area last, once it manages the windows already there.
    ok_ = pid_ > 0 && wait_until(
                          [&] {
                              int count = 0;
                              Atom *names = XListProperties(x_display, DefaultRootWindow(x_display), &count);
                              auto has = [&](const char *name) {
                                  Atom atom = XInternAtom(x_display, name, True);
                                  return atom != None && std::find(names, names + count, atom) != names + count;
                              };
                              bool running = has("_NET_SUPPORTING_WM_CHECK") && has("_NET_WORKAREA");
                              if (names)
                                  XFree(names);
                              return running;
                          },
                          WINDOW_TIMEOUT_MS, 50);
}

WindowManager::~WindowManager()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        if (x_display) {
            XDeleteProperty(x_display, DefaultRootWindow(x_display),
                            XInternAtom(x_display, "_NET_SUPPORTING_WM_CHECK", False));
            XSync(x_display, False);
        }
    }
}

void focus_window(Window w)
{
    if (!x_display)
        return;
    wait_until([&] { return window_viewable(w); }, WINDOW_TIMEOUT_MS);
    XRaiseWindow(x_display, w);
    XSetInputFocus(x_display, w, RevertToParent, CurrentTime);
    XSync(x_display, False);
}

void resize_window(Window w, int width, int height)
{
    if (!x_display)
        return;
    XResizeWindow(x_display, w, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(x_display, False);
}

} // namespace e2e

// The tests run under an X server of their own: started by hand or by CTest, the program
// starts itself again under scripts/with_xvfb.sh, with a screen of the size that
// move_pointer_away counts on and the server's log among the artifacts (named after the test
// when one is picked). Listing the tests needs no server.
int main(int argc, char **argv)
{
    bool listing = false;
    std::string filter;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        listing = listing || arg == "--gtest_list_tests";
        if (arg.rfind("--gtest_filter=", 0) == 0)
            filter = arg.substr(std::strlen("--gtest_filter="));
    }
    const char *wrapper = getenv("XVFB_WRAPPER_PID");
    if (!listing && !(wrapper && std::to_string(getppid()) == wrapper)) {
        // The tests read the screen many times a second, a megabyte or more at a time, and
        // the X server sends it: memory freed after a read is kept for the next one, in the
        // tests, the server and the games alike, instead of going back to the kernel and
        // being faulted in again. That was most of the processor time of the end-to-end
        // tests (page faults are dear on a virtual machine); nothing else changes.
        setenv("GLIBC_TUNABLES",
               "glibc.malloc.mmap_threshold=33554432:glibc.malloc.trim_threshold=1073741824", 0);
        std::string name = filter.substr(0, 100);
        for (auto &ch : name)
            if (!isalnum(static_cast<unsigned char>(ch)) && ch != '.' && ch != '_')
                ch = '_';
        std::string script = std::string(TEST_SOURCE_DIR) + "/scripts/with_xvfb.sh";
        std::string log = e2e::artifacts_dir() + "/" + (name.empty() ? "" : name + "-") + "xvfb.log";
        std::error_code ec;
        std::string self = fs::read_symlink("/proc/self/exe", ec).string();
        // The tests of a suite named ...On1024x768 get a screen of that size.
        std::string suite = filter.substr(0, filter.find('.'));
        std::string screen = suite.size() > 10 && suite.compare(suite.size() - 10, 10, "On1024x768") == 0
                                 ? "1024x768"
                                 : "1280x1024";
        std::vector<std::string> args = {script, "-s", screen, "-l", log, "--",
                                         self.empty() ? argv[0] : self};
        args.insert(args.end(), argv + 1, argv + argc);
        std::vector<char *> exec_args;
        for (auto &a : args)
            exec_args.push_back(a.data());
        exec_args.push_back(nullptr);
        execv(script.c_str(), exec_args.data());
        fprintf(stderr, "exec %s: %s\n", script.c_str(), strerror(errno));
        return 127;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
