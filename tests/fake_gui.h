// A recording back end for in-process tests: every call is logged, pictures are named boxes.
#pragma once

#include "gui/gui.h"

#include <functional>
#include <string>
#include <vector>

struct Image {
    std::string name;
    int width;
    int height;
};

struct PointerCursor {
    std::string name;
    int self_masked;
};

namespace FakeGui {

// The calls made so far, one line each, e.g. "draw_image miteL_0 10 20" or "show_dialog 9".
std::vector<std::string> &calls();
void clear_calls();
// Only the calls whose text starts with the prefix.
std::vector<std::string> calls_starting(const std::string &prefix);
// Whether the drawing calls (draw_image, draw_line, draw_text) are recorded; on after
// reset(). A test that plays for long and never reads them turns them off: writing every
// drawing call out costs most of a long run's time.
void record_drawing(bool on);

// Pictures have the sizes of the committed artwork (pixmaps/<name>.xpm) and names with no
// picture 10 x 10, unless a test sets another size here.
void set_image_size(const std::string &name, int width, int height);
// Loads (or finds) a picture by name, as the back end would.
Image *image(const std::string &name);

bool timer_running();
int timer_starts();          // how many times a timer was actually started
int current_cursor_is(const std::string &name);
std::string current_cursor();
std::string dialog_text(int id);   // the last text set_dialog_text gave the dialog

// Called by show_dialog(id) in place of waiting for the player; the default does nothing.
void on_dialog(std::function<void(int id)> handler);
// Called by run_event_loop; when it returns, the loop ends.
void on_event_loop(std::function<void()> driver);

const GuiMethods *methods();
void install(const GuiMethods **out);
// Installs the fake as the active back end without going through the registry.
void install_as_active();
void reset();

} // namespace FakeGui
