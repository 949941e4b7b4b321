// The recording fake back end.
#include "tests/fake_gui.h"

#include "gui/gui_testing.h"
#include "tests/xpm_file.h"

#include <cstdio>
#include <map>
#include <memory>

namespace {
std::vector<std::string> log;
std::map<std::string, std::unique_ptr<Image>> images;
std::map<std::string, std::pair<int, int>> sizes;     // sizes a test set, by name
std::map<std::string, std::pair<int, int>> artwork;   // sizes read from pixmaps/, by name
std::vector<std::unique_ptr<PointerCursor>> cursors;
std::string cursor_name;
std::map<int, std::string> texts;
bool running = false;
bool drawing_recorded = true;
int starts = 0;
std::function<void(int)> dialog_handler;
std::function<void()> loop_driver;
} // namespace

namespace {

std::string num(int v) { return std::to_string(v); }

void record(const std::string &line) { log.push_back(line); }

void set_cursor(PointerCursor *c)
{
    cursor_name = c ? c->name : "(none)";
    record("set_cursor " + cursor_name);
}

void load_cursor(const char *name, int self_masked, PointerCursor **out)
{
    cursors.push_back(std::unique_ptr<PointerCursor>(new PointerCursor{name, self_masked}));
    *out = cursors.back().get();
    record(std::string("load_cursor ") + name + " " + num(self_masked));
}

void load_image(const char *name, int flag, Image **out)
{
    *out = FakeGui::image(name);
    record(std::string("load_image ") + name + " " + num(flag));
}

void set_icon(Image *image) { record("set_icon " + image->name); }
int image_width(Image *image) { return image->width; }
int image_height(Image *image) { return image->height; }
void prepare_canvas() { record("prepare_canvas"); }
void clear_canvas() { record("clear_canvas"); }
void present_canvas() { record("present_canvas"); }
void draw_image(Image *image, int x, int y)
{
    if (drawing_recorded)
        record("draw_image " + image->name + " " + num(x) + " " + num(y));
}
void draw_line(int x1, int y1, int x2, int y2)
{
    if (drawing_recorded)
        record("draw_line " + num(x1) + " " + num(y1) + " " + num(x2) + " " + num(y2));
}
void draw_text(const char *text, int x, int y)
{
    if (drawing_recorded)
        record(std::string("draw_text ") + text + " " + num(x) + " " + num(y));
}

void start_timer(int period)
{
    record("start_timer " + num(period));
    if (!running) {
        running = true;
        starts++;
    }
}

void stop_timer()
{
    record("stop_timer");
    running = false;
}

int timer_running() { return running ? 1 : 0; }

void show_dialog(int id)
{
    record("show_dialog " + num(id));
    if (dialog_handler)
        dialog_handler(id);
}

void run_event_loop()
{
    record("run_event_loop");
    if (loop_driver)
        loop_driver();
}

void open(int *, char **) { record("open"); }
void build_main_window(int size) { record("build_main_window " + num(size)); }

void build_dialogs(Image *logo, Image *icon, Image *about)
{
    record("build_dialogs " + logo->name + " " + icon->name + " " + about->name);
}

void enable_pause_item(int enabled) { record("enable_pause_item " + num(enabled)); }
void check_sound_item(int on, const char *unavailable)
{
    record("check_sound_item " + num(on) + (unavailable ? std::string(" (") + unavailable + ")" : ""));
}

void set_dialog_text(int id, const char *text)
{
    texts[id] = text;
    record("set_dialog_text " + num(id));
}

void show_paused(int paused) { record("show_paused " + num(paused)); }

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

// The size of the committed picture pixmaps/<name>.xpm, so in-process games place and hit
// like the program; 10 x 10 for a name with no picture.
std::pair<int, int> artwork_size(const std::string &name)
{
    auto known = artwork.find(name);
    if (known != artwork.end())
        return known->second;
    int w = 0, h = 0;
    if (!XpmFile::size(std::string(GLIMPWATCH_PIXMAPS_DIR) + "/" + name + ".xpm", &w, &h))
        w = h = 10;
    return artwork[name] = {w, h};
}

std::pair<int, int> size_of(const std::string &name)
{
    auto set = sizes.find(name);
    return set != sizes.end() ? set->second : artwork_size(name);
}

} // namespace

namespace FakeGui {

std::vector<std::string> &calls() { return log; }
void clear_calls() { log.clear(); }
void record_drawing(bool on) { drawing_recorded = on; }

std::vector<std::string> calls_starting(const std::string &prefix)
{
    std::vector<std::string> out;
    for (const std::string &c : log)
        if (c.compare(0, prefix.size(), prefix) == 0)
            out.push_back(c);
    return out;
}

void set_image_size(const std::string &name, int width, int height)
{
    sizes[name] = {width, height};
    auto it = images.find(name);
    if (it != images.end()) {
        it->second->width = width;
        it->second->height = height;
    }
}

Image *image(const std::string &name)
{
    auto it = images.find(name);
    if (it != images.end())
        return it->second.get();
    std::pair<int, int> size = size_of(name);
    images[name] = std::unique_ptr<Image>(new Image{name, size.first, size.second});
    return images[name].get();
}

bool timer_running() { return running; }
int timer_starts() { return starts; }
int current_cursor_is(const std::string &name) { return cursor_name == name; }
std::string current_cursor() { return cursor_name; }
std::string dialog_text(int id) { return texts.count(id) ? texts[id] : std::string(); }

void on_dialog(std::function<void(int)> handler) { dialog_handler = std::move(handler); }
void on_event_loop(std::function<void()> driver) { loop_driver = std::move(driver); }

const GuiMethods *methods() { return &table; }
void install(const GuiMethods **out) { *out = &table; }

void install_as_active()
{
    reset();
    Gui::reset_for_tests();
    Gui::open(nullptr, nullptr, nullptr);
    log.clear();
}

void reset()
{
    log.clear();
    // Images and cursors stay allocated: the game keeps handles to them, as in the program.
    sizes.clear();
    for (auto &entry : images) {
        std::pair<int, int> size = artwork_size(entry.first);
        entry.second->width = size.first;
        entry.second->height = size.second;
    }
    cursor_name.clear();
    texts.clear();
    running = false;
    drawing_recorded = true;
    starts = 0;
    dialog_handler = nullptr;
    loop_driver = nullptr;
}

} // namespace FakeGui
