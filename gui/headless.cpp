// Headless: the back end of --check-replay, with nothing to show.
#include "gui/headless.h"

#include "base/data_dir.h"
#include "base/fatal.h"
#include "gui/xpm_data.h"

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

// What an Image handle points to here. Each back end has its own kind of picture; this
// one's handles are never handed to another.
struct Picture {
    int width;
    int height;
};

std::map<std::string, std::unique_ptr<Picture>> pictures;
int cursor_token; // every cursor is this one address: nothing shows it

Image *handle(Picture *p) { return reinterpret_cast<Image *>(p); }
Picture *picture(Image *image) { return reinterpret_cast<Picture *>(image); }

void load_image(const char *name, int, Image **out)
{
    auto known = pictures.find(name);
    if (known == pictures.end()) {
        // The sizes come from the file, checked whole as every back end checks it.
        std::string path = std::string(DataDir::path()) + "/pixmaps/" + name + ".xpm";
        std::vector<std::string> strings;
        int width = 0, height = 0;
        if (!XpmData::load(path.c_str(), strings) || sscanf(strings[0].c_str(), "%d %d", &width, &height) != 2)
            fatal("error reading %s", path.c_str());
        known = pictures.emplace(name, std::unique_ptr<Picture>(new Picture{width, height})).first;
    }
    *out = handle(known->second.get());
}

void load_cursor(const char *, int, PointerCursor **out) { *out = reinterpret_cast<PointerCursor *>(&cursor_token); }
int image_width(Image *image) { return picture(image)->width; }
int image_height(Image *image) { return picture(image)->height; }
void nothing() {}
void with_int(int) {}
void with_image(Image *) {}
void with_cursor(PointerCursor *) {}
void draw_image(Image *, int, int) {}
void draw_line(int, int, int, int) {}
void draw_text(const char *, int, int) {}
void set_dialog_text(int, const char *) {}
void build_dialogs(Image *, Image *, Image *) {}
void open(int *, char **) {}
int timer_running() { return 0; }

void check_sound_item(int, const char *) {}

constexpr GuiMethods make_methods()
{
    GuiMethods m{};
    m.set_cursor = with_cursor;
    m.load_cursor = load_cursor;
    m.load_image = load_image;
    m.set_icon = with_image;
    m.image_width = image_width;
    m.image_height = image_height;
    m.prepare_canvas = nothing;
    m.clear_canvas = nothing;
    m.present_canvas = nothing;
    m.draw_image = draw_image;
    m.draw_line = draw_line;
    m.draw_text = draw_text;
    m.start_timer = with_int;
    m.stop_timer = nothing;
    m.timer_running = timer_running;
    m.show_dialog = with_int;
    m.run_event_loop = nothing;
    m.open = open;
    m.build_main_window = with_int;
    m.build_dialogs = build_dialogs;
    m.enable_pause_item = with_int;
    m.set_dialog_text = set_dialog_text;
    m.check_sound_item = check_sound_item;
    m.show_paused = with_int;
    return m;
}

constexpr GuiMethods METHODS = make_methods();

} // namespace

namespace Headless {

const GuiMethods *methods() { return &METHODS; }

} // namespace Headless
