// Gui front: the game's only way to the toolkit, through one table of back-end operations.
#pragma once

#include "base/boxes.h"

// Opaque handles made by the back end and kept for the life of the process.
struct Image;
struct PointerCursor;

enum {
    DIALOG_NEW_GAME = 0,
    DIALOG_PAUSE = 1,
    DIALOG_WARP = 2,
    DIALOG_HIGH_SCORES = 3,
    DIALOG_QUIT = 4,
    DIALOG_STORY = 5,
    DIALOG_RULES = 6,
    DIALOG_ABOUT = 7,
    DIALOG_SCORE = 8,
    DIALOG_END_GAME = 9,
    DIALOG_ENTER_NAME = 10,
    DIALOG_COUNT = 11
};

// The 24 operations every back end provides, in slot order; gui/README gives the contract of each.
struct GuiMethods {
    void (*set_cursor)(PointerCursor *cursor);
    void (*load_cursor)(const char *name, int self_masked, PointerCursor **out);
    void (*load_image)(const char *name, int flag, Image **out);
    void (*set_icon)(Image *image);
    int (*image_width)(Image *image);
    int (*image_height)(Image *image);
    void (*prepare_canvas)();
    void (*clear_canvas)();
    void (*present_canvas)();
    void (*draw_image)(Image *image, int x, int y);
    void (*draw_line)(int x1, int y1, int x2, int y2);
    void (*draw_text)(const char *text, int x, int y);
    void (*start_timer)(int period_ms);
    void (*stop_timer)();
    int (*timer_running)();
    void (*show_dialog)(int id);
    void (*run_event_loop)();
    void (*open)(int *argc, char **argv);
    void (*build_main_window)(int size);
    void (*build_dialogs)(Image *logo, Image *icon, Image *about);
    void (*enable_pause_item)(int enabled);
    void (*set_dialog_text)(int id, const char *text);
    void (*check_sound_item)(int on);
    void (*show_paused)(int paused);
};

// One row of the back-end registry; the registry ends with a row whose name is null.
struct GuiBackend {
    const char *name;
    void (*install)(const GuiMethods **out);
};

// Defined by the program (the GTK row) or by a test (its fake row); the first row is the default.
extern const GuiBackend gui_backends[];

namespace Gui {

constexpr int TICK_MS = 200;
// The Game menu's check entry, after the dialog entries, that turns sound on and off.
constexpr char SOUND_ITEM_LABEL[] = "Sound";
// The line across the middle of the paused view (show_paused).
constexpr char PAUSED_TEXT[] = "Paused: move the pointer back onto the field";

// Picks the back end by name (any case; null for the default), installs it and opens it.
void open(const char *name, int *argc, char **argv);
const GuiMethods *methods();

void build_main_window(int size);
void prepare_canvas();
void build_dialogs(Image *logo, Image *icon, Image *about);
void show_dialog(int id);
// The back end copies the text; the caller may reuse its buffer.
void set_dialog_text(int id, const char *text);
// The texts handed to the back end; dialog_text is null for the high-score, about and score dialogs.
const char *dialog_text(int id);
const char *menu_label(int id);
// The text an entry dialog's entry comes up with the first time (a copy is kept); the back
// end reads it while it builds the dialogs. Null when none was set.
void set_entry_text(int id, const char *text);
const char *entry_text(int id);

void use_cursor(PointerCursor *cursor);
void load_cursor(const char *name, int self_masked, PointerCursor **out);
void use_icon(Image *image);
void load_image(const char *name, int flag, Image **out);
// Loads the picture "name_index"; an index of 100 or more is fatal.
void load_image_frame(const char *name, int index, int flag, Image **out);
int image_width(Image *image);
int image_height(Image *image);

void clear_canvas();
void present_canvas();
void blit(Image *image, int x, int y);
void line(int x1, int y1, int x2, int y2);
void text(const char *text, int x, int y);

void start_ticker();
void stop_ticker();
// The pointer rule: leaving the canvas pauses a running game, coming back resumes it.
// While it holds a level in play, the back end shows the field as paused.
void pointer_left();
void pointer_entered();
void enable_pause_item(int enabled);
// Shows the Sound entry checked (nonzero) or not, without choosing anything.
void check_sound_item(int on);
void run_event_loop();

// The hit tests' overlap rule (base/boxes.h), under the front's name as well.
using ::boxes_overlap;

} // namespace Gui
