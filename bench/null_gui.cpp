// The null back end: nothing is drawn, so a benchmark times the game logic alone.
#include "bench/null_gui.h"

#include "base/fatal.h"
#include "gui/damage.h"
#include "tests/xpm_file.h"

#include <cstring>
#include <string>

namespace {
Image images[64];       // every picture of the game, made once as the real back end does
int image_count = 0;
PointerCursor cursors[32];
int cursor_count = 0;
bool running = false;
long draws = 0;         // blits, lines and texts: shows how much a frame would draw
Damage::Frame *recording = nullptr;   // the frame being composed, when asked for
} // namespace

namespace {

void set_cursor(PointerCursor *) {}

// Out of room only if the game grew more pictures than the artwork has: reuse the last.
void load_cursor(const char *, int, PointerCursor **out)
{
    *out = &cursors[cursor_count < 31 ? cursor_count++ : 31];
}

void load_image(const char *name, int, Image **out)
{
    // The size of the committed artwork; a missing picture ends the program as in the real one.
    std::string path = std::string(GLIMPWATCH_PIXMAPS_DIR) + "/" + name + ".xpm";
    int width = 0, height = 0;
    if (!XpmFile::size(path, &width, &height))
        fatal("error reading %s", path.c_str());
    Image *image = &images[image_count < 63 ? image_count++ : 63];
    image->width = width;
    image->height = height;
    *out = image;
}

void set_icon(Image *) {}
int image_width(Image *image) { return image->width; }
int image_height(Image *image) { return image->height; }
void prepare_canvas() {}
void clear_canvas()
{
    if (recording)
        Damage::clear(*recording);
}

void present_canvas() {}

// The boxes are the artwork's; a line and a text get the GTK back end's reach and a box of
// the "fixed" font's 6 x 13 cells, which is all the diff looks at.
void draw_image(Image *image, int x, int y)
{
    draws++;
    if (recording)
        Damage::add_picture(*recording, image, x, y, image->width, image->height);
}

void draw_line(int x1, int y1, int x2, int y2)
{
    draws++;
    if (recording)
        Damage::add_line(*recording, x1, y1, x2, y2, 2);
}

void draw_text(const char *text, int x, int y)
{
    draws++;
    if (recording)
        Damage::add_text(*recording, text, x, y, {x, y - 10, 6 * static_cast<int>(strlen(text)), 13});
}
void start_timer(int) { running = true; }
void stop_timer() { running = false; }
int timer_running() { return running ? 1 : 0; }
void show_dialog(int) {}
void run_event_loop() {}
void open(int *, char **) {}
void build_main_window(int) {}
void build_dialogs(Image *, Image *, Image *) {}
void enable_pause_item(int) {}
void set_dialog_text(int, const char *) {}
void check_sound_item(int) {}
void show_paused(int) {}

// Filled by member name, so a slot can never shift to the wrong operation.
GuiMethods make_table()
{
    GuiMethods m{};
    m.set_cursor = set_cursor;
    m.load_cursor = load_cursor;
    m.load_image = load_image;
    m.set_icon = set_icon;
    m.image_width = image_width;
    m.image_height = image_height;
    m.prepare_canvas = prepare_canvas;
    m.clear_canvas = clear_canvas;
    m.present_canvas = present_canvas;
    m.draw_image = draw_image;
    m.draw_line = draw_line;
    m.draw_text = draw_text;
    m.start_timer = start_timer;
    m.stop_timer = stop_timer;
    m.timer_running = timer_running;
    m.show_dialog = show_dialog;
    m.run_event_loop = run_event_loop;
    m.open = open;
    m.build_main_window = build_main_window;
    m.build_dialogs = build_dialogs;
    m.enable_pause_item = enable_pause_item;
    m.set_dialog_text = set_dialog_text;
    m.check_sound_item = check_sound_item;
    m.show_paused = show_paused;
    return m;
}

const GuiMethods table = make_table();

} // namespace

namespace NullGui {

void install(const GuiMethods **out) { *out = &table; }
long draw_calls() { return draws; }

void record_frames(Damage::Frame *frame) { recording = frame; }

} // namespace NullGui
