// A seeded game on the program's real GTK back end (GTK 2, or GTK 3 at its scale factor), played tick by tick by a scripted player, with the
// canvas window captured after every tick. Two runs with the same seed and size, one with
// GLIMPWATCH_FULL_REDRAW set and one without, must capture the same pixels.
//
// It is the program with its clock taken away: the back end's table is GTK's own, except
// that the driver below ticks the game (while the game's timer would run) instead of a
// 200 ms timer, and dialogs are answered at once (their captures are taken instead). The
// player's clicks and drags are real XTest events, handled by the back end before the tick
// that follows, so every run of a seed sees the same game.
//
// Environment: GLIMPWATCH_REPLAY_OUT (file, one line per capture: index, state, level, a
// hash of the pixels), GLIMPWATCH_REPLAY_TICKS (ticks to play, default 500; the player
// stops after two thirds of them, so the game is lost and starts again),
// GLIMPWATCH_REPLAY_DUMP (capture index) and GLIMPWATCH_REPLAY_PPM (file): that capture
// is also written as a picture.
#include "field/glimp.h"
#include "field/network.h"
#include "field/swarm.h"
#include "game/entry.h"
#include "game/game.h"
#include "gui/gtk_common/shared.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr unsigned SEED = 20261210;

GuiMethods methods;
bool running = false;
Display *input = nullptr; // our own connection for XTest and the covering window
FILE *out = nullptr;
long captures = 0;
long dump_at = -1;
const char *dump_path = nullptr;
int origin_x = 0, origin_y = 0; // the canvas on the screen, in screen pixels
int size = 0;                   // of the field, in the game's pixels
int scale = 1;                  // screen pixels per logical pixel (the screen's scale factor)
int factor = 1;                 // the field's factor in the window (GLIMPWATCH_REPLAY_FACTOR)
int zoom = 1;                   // screen pixels per game pixel: scale * factor
GtkWidget *canvas = nullptr;

// The canvas is the window's drawing area.
void find_canvas(GtkWidget *widget, gpointer)
{
    if (GTK_IS_DRAWING_AREA(widget))
        canvas = widget;
    else if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), find_canvas, nullptr);
}

#ifdef REPLAY_GTK3
long paints = 0; // frames GTK 3 has painted
void count_paint(GdkFrameClock *, gpointer) { paints++; }
#endif

void start_timer(int) { running = true; }
void stop_timer() { running = false; }
int timer_running() { return running ? 1 : 0; }

// Lets the back end handle everything the X server has sent it so far.
void pump()
{
    if (input)
        XSync(input, False);
    gdk_flush();
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
#ifdef REPLAY_GTK3
    // GTK 3 paints what was invalidated at its next frame: one is asked for and waited on.
    long before = paints;
    gdk_frame_clock_request_phase(gtk_widget_get_frame_clock(canvas), GDK_FRAME_CLOCK_PHASE_PAINT);
    while (paints == before)
        gtk_main_iteration_do(TRUE);
    gdk_flush();
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
#endif
}

void capture()
{
    pump();
    // The canvas's square of the screen (what the window shows there, the canvas included).
    int side = size * zoom;
    XImage *image =
        XGetImage(input, DefaultRootWindow(input), origin_x, origin_y, static_cast<unsigned>(side),
                  static_cast<unsigned>(side), AllPlanes, ZPixmap);
    if (!image) {
        fprintf(stderr, "capture %ld failed\n", captures);
        exit(2);
    }
    uint64_t hash = 1469598103934665603ULL;
    FILE *ppm = nullptr;
    if (captures == dump_at && dump_path) {
        ppm = fopen(dump_path, "wb");
        if (ppm)
            fprintf(ppm, "P6\n%d %d\n255\n", side, side);
    }
    bool direct = image->bits_per_pixel == 32 && image->byte_order == LSBFirst;
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++) {
            unsigned long p;
            if (direct) {
                uint32_t v;
                memcpy(&v, image->data + static_cast<long>(y) * image->bytes_per_line + 4L * x, 4);
                p = v & 0xffffff;
            } else {
                p = XGetPixel(image, x, y) & 0xffffff;
            }
            hash = (hash ^ p) * 1099511628211ULL;
            if (ppm) {
                unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16),
                                        static_cast<unsigned char>(p >> 8),
                                        static_cast<unsigned char>(p)};
                fwrite(rgb, 1, 3, ppm);
            }
        }
    if (ppm)
        fclose(ppm);
    XDestroyImage(image);
    fprintf(out, "%ld state %d level %d pixels %016llx\n", captures, Game::state(), Game::level(),
            static_cast<unsigned long long>(hash));
    captures++;
}

// A dialog would wait for the player: here the screen behind it is captured and it is
// answered at once, with no action (so no name is asked for or saved).
void show_dialog(int) { capture(); }

void move_to(int x, int y)
{
    XTestFakeMotionEvent(input, -1, origin_x + x * zoom, origin_y + y * zoom, 0);
}

void click(int x, int y, bool press, bool release)
{
    move_to(x, y);
    if (press)
        XTestFakeButtonEvent(input, 1, True, 0);
    if (release)
        XTestFakeButtonEvent(input, 1, False, 0);
    pump();
}

int clamp(int v) { return v < 2 ? 2 : v > size - 3 ? size - 3 : v; }

// Another window over part of the field for a moment: the canvas gets it back by an expose.
void cover_and_uncover(int tick)
{
    XSetWindowAttributes a;
    a.override_redirect = True;
    a.background_pixel = BlackPixel(input, DefaultScreen(input));
    int w = size / 2 * zoom, h = size / 3 * zoom;
    int x = origin_x + (tick * 37) % (size * zoom - w),
        y = origin_y + (tick * 53) % (size * zoom - h);
    Window cover = XCreateWindow(input, DefaultRootWindow(input), x, y, static_cast<unsigned>(w),
                                 static_cast<unsigned>(h), 0, CopyFromParent, InputOutput,
                                 CopyFromParent, CWOverrideRedirect | CWBackPixel, &a);
    XMapRaised(input, cover);
    pump();
    XDestroyWindow(input, cover);
    pump();
}

// The player: clicks a living Glimp every tick (walking ones too, some of them still
// partly beyond the edge), and now and then carries the bucket from its corner onto the
// field and back, so that it is hidden for a few ticks. Idle, it lets the network fall.
void play(int tick, bool active)
{
    if (!active)
        return;
    int phase = tick % 23;
    if (phase == 5)
        click(10, 10, true, false); // picks the bucket up
    else if (phase == 9)
        click(clamp(size / 2 + tick % 50), clamp(size / 2), false, true); // lets it go
    if (phase >= 5 && phase <= 9)
        return;
    int k = 0;
    for (Glimp *g = Swarm::on_field_head(); g; g = g->next) {
        if (g->state == DYING)
            continue;
        int x = g->x + Glimp::width() / 2, y = g->y + Glimp::height() / 2;
        if (x < 2 || y < 2 || x > size - 3 || y > size - 3)
            continue;
        if (k++ == tick % 3) {
            click(x, y, true, true);
            return;
        }
    }
}

void run_replay()
{
    input = XOpenDisplay(nullptr);
    if (!input) {
        fprintf(stderr, "no display for the player\n");
        exit(2);
    }
    const char *path = getenv("GLIMPWATCH_REPLAY_OUT");
    out = path ? fopen(path, "w") : stdout;
    if (!out) {
        perror(path);
        exit(2);
    }
    const char *ticks_text = getenv("GLIMPWATCH_REPLAY_TICKS");
    int ticks = ticks_text ? atoi(ticks_text) : 500;
    if (const char *dump = getenv("GLIMPWATCH_REPLAY_DUMP"))
        dump_at = atol(dump);
    dump_path = getenv("GLIMPWATCH_REPLAY_PPM");
    size = Game::screen_size();

    // Without a window manager the window sits where we put it: the canvas at the screen's
    // top-left corner, so that even the 1000 field is wholly on the screen.
    // (GDK gives window positions in the game's pixels, XTest and captures use the screen's.)
    GtkWidget *top = GtkShared::main_window();
    find_canvas(top, nullptr);
    if (!canvas) {
        fprintf(stderr, "no canvas in the main window\n");
        exit(2);
    }
#ifdef REPLAY_GTK3
    scale = gtk_widget_get_scale_factor(top);
    g_signal_connect(gtk_widget_get_frame_clock(canvas), "after-paint", G_CALLBACK(count_paint),
                     nullptr);
#endif
    pump();
    int top_x, top_y, canvas_x, canvas_y;
    gdk_window_get_origin(gtk_widget_get_window(top), &top_x, &top_y);
    gtk_widget_translate_coordinates(canvas, top, 0, 0, &canvas_x, &canvas_y);
    gdk_window_move(gtk_widget_get_window(top), top_x - (top_x + canvas_x),
                    top_y - (top_y + canvas_y));
    pump();
    // A field larger than 1x: the window is made just large enough for the factor, so the
    // field fills the canvas with no surround.
    if (const char *f = getenv("GLIMPWATCH_REPLAY_FACTOR"))
        factor = atoi(f) > 1 ? atoi(f) : 1;
    zoom = scale * factor;
    // (A window the player left larger last time is brought to the size asked for too.)
    if (factor > 1 || GtkShared::field_place().factor != 1) {
        int width = 0, height = 0;
        gtk_window_get_size(GTK_WINDOW(top), &width, &height);
        GtkAllocation area;
        gtk_widget_get_allocation(canvas, &area);
        gtk_window_resize(GTK_WINDOW(top), width + size * factor - area.width, height + size * factor - area.height);
        const View::Place &place = GtkShared::field_place();
        for (int i = 0; i < 200 && !(place.factor == factor && place.x == 0 && place.y == 0); i++) {
            pump();
            g_usleep(10000);
        }
        if (place.factor != factor || place.x != 0 || place.y != 0) {
            fprintf(stderr, "the field did not take factor %d\n", factor);
            exit(2);
        }
        pump();
    }
    gdk_window_get_origin(gtk_widget_get_window(top), &top_x, &top_y);
    origin_x = (top_x + canvas_x) * scale;
    origin_y = (top_y + canvas_y) * scale;

    capture(); // the title screen
    move_to(size / 2, size / 2);
    srand(SEED);
    Game::start(1);
    pump();
    for (int tick = 0; tick < ticks; tick++) {
        // A level not won after 110 ticks the player leaves by warping one level on, as
        // the Warp dialog would; after two thirds of the ticks it warps to level 40 and
        // stops playing, and the game is lost.
        bool active = tick < ticks * 2 / 3;
        if (Game::state() == PLAYING && ((active && Game::ticks() >= 110) || tick == ticks * 2 / 3))
            Game::warp_to_level(active ? Game::level() + 1 : 40);
        play(tick, active);
        if (tick % 31 == 17)
            cover_and_uncover(tick);
        if (!running && Game::state() == WAITING) {
            capture(); // the title screen after a lost game
            Game::start(1);
        }
        if (running)
            Game::tick();
        capture();
    }
    fclose(out);
    exit(0);
}

void install(const GuiMethods **out_table)
{
    const GuiMethods *gtk = nullptr;
    GtkShared::install(&gtk);
    methods = *gtk;
    methods.start_timer = start_timer;
    methods.stop_timer = stop_timer;
    methods.timer_running = timer_running;
    methods.show_dialog = show_dialog;
    methods.run_event_loop = run_replay;
    *out_table = &methods;
}

} // namespace

const GuiBackend gui_backends[] = {
    {"gtk", install},
    {nullptr, nullptr},
};

int main(int argc, char **argv) { run_glimpwatch(argc, argv); }
