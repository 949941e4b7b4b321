// The null back end: nothing reaches a screen, so a benchmark times the game and the drawing
// layer alone.
#include "bench/null_gui.h"

#include "bench/alloc_count.h"
#include "base/fatal.h"
#include "gui/drawing.h"
#include "gui/gtk3/status_text.h"
#include "gui/painter.h"
#include "tests/xpm_file.h"

#include <chrono>
#include <string>

namespace {
Image images[64];       // every picture of the game, made once as the real back end does
int image_count = 0;
PointerCursor cursors[32];
int cursor_count = 0;
bool running = false;
long draws = 0;         // blits, lines and texts the game made
int field_size = 0;
double present_seconds = 0;
NullGui::Redrawn redrawn = {0, 0, 0, 0};
bool layer = false;     // the game's calls go through the drawing layer
PangoLayout *layout = nullptr;   // measures texts in the status line's font
} // namespace

namespace {

// The painter: counts what it is asked to draw and measures texts with a real font.
void make_canvas() {}
void set_clip(const Damage::Box *) {}
void fill_white(const Damage::Box &box)
{
    redrawn.rects++;
    redrawn.area += static_cast<long>(box.w) * box.h;
}
void paint_picture(const Image *, int, int) { redrawn.calls++; }
void paint_line(int, int, int, int) { redrawn.calls++; }

Damage::Box set_text(const char *text, int length)
{
    AllocCount::NotCounted font_work;
    if (!layout) {
        cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
        cairo_t *cr = cairo_create(surface);
        layout = StatusText::new_layout(cr);
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    pango_layout_set_text(layout, text, length);
    return StatusText::box(layout);
}

void paint_text(int, int) { redrawn.calls++; }
void copy_to_window(const Damage::Box *, int) {}
void show_paused_view() {}

// In the order of gui/painter.h.
constexpr Painter PAINTER = {make_canvas, set_clip,   fill_white,     paint_picture,   paint_line,
                             set_text,    paint_text, copy_to_window, show_paused_view};

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
void prepare_canvas() { Drawing::prepare(&PAINTER, field_size, false); }

void draw_image(Image *image, int x, int y)
{
    draws++;
    if (layer)
        Drawing::draw_image(image, x, y);
}

void draw_line(int x1, int y1, int x2, int y2)
{
    draws++;
    if (layer)
        Drawing::draw_line(x1, y1, x2, y2);
}

void draw_text(const char *text, int x, int y)
{
    draws++;
    if (layer)
        Drawing::draw_text(text, x, y);
}

void clear_canvas()
{
    if (layer)
        Drawing::clear_canvas();
}

void present_canvas()
{
    if (!layer)
        return;
    redrawn = {0, 0, 0, 0};
    long allocations = AllocCount::allocations();
    auto begin = std::chrono::steady_clock::now();
    Drawing::present_canvas();
    present_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    redrawn.allocations = AllocCount::allocations() - allocations;
}

void start_timer(int) { running = true; }
void stop_timer() { running = false; }
int timer_running() { return running ? 1 : 0; }
void show_dialog(int) {}
void run_event_loop() {}
void open(int *, char **) {}
void build_main_window(int size) { field_size = size; }
void build_dialogs(Image *, Image *, Image *) {}
void enable_pause_item(int) {}
void set_dialog_text(int, const char *) {}
void check_sound_item(int, const char *) {}

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
    Drawing::fill_slots(m);
    m.clear_canvas = clear_canvas;
    m.draw_image = draw_image;
    m.draw_line = draw_line;
    m.draw_text = draw_text;
    m.present_canvas = present_canvas;
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
    return m;
}

const GuiMethods table = make_table();

} // namespace

namespace NullGui {

void install(const GuiMethods **out) { *out = &table; }
long draw_calls() { return draws; }

void resize(int size)
{
    if (size == field_size)
        return;
    field_size = size;
    Drawing::prepare(&PAINTER, size, false);
}

void use_drawing_layer(bool on) { layer = on; }
double last_present_seconds() { return present_seconds; }
Redrawn last_redrawn() { return redrawn; }

} // namespace NullGui
