// Start-up probe: runs the game and times how long it takes until its window shows the logo.

// Usage: glimpwatch_first_frame [--runs N] [--size S] -- program [arguments...]
//
// For each run: the clock starts just before the exec; "mapped" is the moment the main window
// becomes viewable, "first frame" the moment its canvas is cleared white with the logo in the
// middle. The game is then ended with SIGTERM. Needs DISPLAY; prints one line per run and the
// medians.
#include "gui/title.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
Display *display = nullptr;
} // namespace

namespace {

using Clock = std::chrono::steady_clock;

constexpr int POLL_US = 1000;
constexpr double TIMEOUT_MS = 20000;

double ms_since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The title as its bytes, whatever the property's encoding: ours is plain ASCII.
bool has_main_title(Window w)
{
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(display, w, XA_WM_NAME, 0, 256, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) != Success || !data)
        return false;
    bool same = format == 8 && count == strlen(Gui::MAIN_TITLE) &&
                memcmp(data, Gui::MAIN_TITLE, count) == 0;
    XFree(data);
    return same;
}

// The viewable top-level window with the game's title that is not one of the old ones, or 0.
Window find_main_window(const std::vector<Window> &old)
{
    Window root_return, parent, *children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root_return, &parent, &children, &count))
        return 0;
    for (unsigned int i = 0; i < count && !found; i++) {
        XWindowAttributes a;
        if (std::find(old.begin(), old.end(), children[i]) == old.end() &&
            XGetWindowAttributes(display, children[i], &a) && a.map_state == IsViewable &&
            has_main_title(children[i]))
            found = children[i];
    }
    if (children)
        XFree(children);
    return found;
}

bool is_white(XImage *image, int x, int y)
{
    return (XGetPixel(image, x, y) & 0xffffff) == 0xffffff;
}

// The canvas is the bottom size x size square of the window. Drawn: a corner far from the
// logo is white (the canvas was cleared) and the row or the column through the middle of
// the canvas holds something that is not.
bool canvas_shows_logo(Window w, int size)
{
    XWindowAttributes a;
    if (!XGetWindowAttributes(display, w, &a) || a.height < size || a.width < size)
        return false;
    int top = a.height - size;
    XImage *corner = XGetImage(display, w, size - 3, top + size - 3, 1, 1, AllPlanes, ZPixmap);
    if (!corner)
        return false;
    bool cleared = is_white(corner, 0, 0);
    XDestroyImage(corner);
    if (!cleared)
        return false;
    int span = std::min(size, 320);
    XImage *row = XGetImage(display, w, (size - span) / 2, top + size / 2, span, 1, AllPlanes,
                            ZPixmap);
    XImage *column = XGetImage(display, w, size / 2, top + (size - span) / 2, 1, span, AllPlanes,
                               ZPixmap);
    bool drawn = false;
    for (int i = 0; i < span && !drawn; i++)
        drawn = (row && !is_white(row, i, 0)) || (column && !is_white(column, 0, i));
    if (row)
        XDestroyImage(row);
    if (column)
        XDestroyImage(column);
    return drawn;
}

struct Run {
    double mapped_ms = -1;
    double frame_ms = -1;
};

Run measure(char **command, int size)
{
    Run run;
    // A game ended just before may not be gone from the server yet: none of its windows counts.
    std::vector<Window> old;
    for (Window w; (w = find_main_window(old)) != 0;)
        old.push_back(w);
    XSync(display, False);
    Clock::time_point start = Clock::now();
    pid_t child = fork();
    if (child < 0) {
        perror("fork");
        exit(1);
    }
    if (child == 0) {
        execvp(command[0], command);
        perror(command[0]);
        _exit(127);
    }
    Window main_window = 0;
    while (ms_since(start) < TIMEOUT_MS) {
        int status;
        if (waitpid(child, &status, WNOHANG) == child) {
            fprintf(stderr, "the game ended before its first frame\n");
            return run;
        }
        if (!main_window) {
            main_window = find_main_window(old);
            if (main_window)
                run.mapped_ms = ms_since(start);
        }
        if (main_window && canvas_shows_logo(main_window, size)) {
            run.frame_ms = ms_since(start);
            break;
        }
        usleep(POLL_US);
    }
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    return run;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

int ignore_x_errors(Display *, XErrorEvent *) { return 0; }

} // namespace

int main(int argc, char **argv)
{
    int runs = 10;
    int size = 400;
    int i = 1;
    for (; i < argc && strcmp(argv[i], "--") != 0; i++) {
        if (strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = atoi(argv[++i]);
        else if (strcmp(argv[i], "--size") == 0 && i + 1 < argc)
            size = atoi(argv[++i]);
        else {
            fprintf(stderr, "usage: %s [--runs N] [--size S] -- program [arguments...]\n", argv[0]);
            return 2;
        }
    }
    if (i + 1 >= argc || runs < 1) {
        fprintf(stderr, "usage: %s [--runs N] [--size S] -- program [arguments...]\n", argv[0]);
        return 2;
    }
    display = XOpenDisplay(nullptr);
    if (!display) {
        fprintf(stderr, "cannot open the display\n");
        return 1;
    }
    // A window can vanish between the query and the look at it.
    XSetErrorHandler(ignore_x_errors);

    std::vector<double> mapped, frames;
    for (int r = 0; r < runs; r++) {
        Run run = measure(argv + i + 1, size);
        printf("run %d: window mapped %.1f ms, first frame %.1f ms\n", r + 1, run.mapped_ms,
               run.frame_ms);
        if (run.frame_ms < 0)
            return 1;
        mapped.push_back(run.mapped_ms);
        frames.push_back(run.frame_ms);
        usleep(200000);
    }
    printf("median of %d runs: window mapped %.1f ms (%.1f to %.1f), first frame %.1f ms (%.1f to %.1f)\n",
           runs, median(mapped), *std::min_element(mapped.begin(), mapped.end()),
           *std::max_element(mapped.begin(), mapped.end()), median(frames),
           *std::min_element(frames.begin(), frames.end()), *std::max_element(frames.begin(), frames.end()));
    XCloseDisplay(display);
    return 0;
}
