// Gui front: the game's only way to the toolkit, through one table of back-end operations.
#pragma once

#include "base/boxes.h"
#include "base/text_table.h"

#include <string>

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
    void (*check_sound_item)(int on, const char *unavailable);
    void (*show_paused)(int paused);
};

// What the game does when the player acts or the timer expires. The front calls these on
// behalf of the back end, which reaches the game only through the front; start-up hands the
// front the game's table before anything can happen (Gui::set_game).
struct GameCalls {
    void (*tick)();
    void (*button_press)(int x, int y);
    void (*button_release)(int x, int y);
    void (*start)(int level);
    void (*warp_to_level)(int level);
    void (*add_high_score)(const char *name);
    void (*quit)();                 // saves the scores and ends the process
    void (*choose_sound)(int on);   // the player turned sound on (1) or off (0)
    // The calls below may be null: the front then does nothing more.
    void (*pointer_left)();         // after the pointer rule has run
    void (*pointer_entered)();
    void (*menu_dialog)(int id, int up); // a menu entry's dialog id comes up (1), or went (0)
    int (*key_pressed)(int key);    // a Key in the main window; nonzero when taken
    void (*player_idle)();          // Gui::IDLE_MS without input, no dialog up
    void (*dialog_chosen)(int id, int choice); // one of the dialog's choices was picked
    void (*clicked_off_field)();    // a press in the window beside the field
};

// The keys the game may take, as the back end reports them (Gui::key_pressed).
enum Key { KEY_OTHER = 0, KEY_SPACE, KEY_PLUS, KEY_MINUS, KEY_ESCAPE };

// Whether a recorded game is being watched (Gui::set_watching). While one is, the pointer
// rule pauses nothing, and of the dialogs the game shows only the Score and End Game
// dialogs come up (WATCHING), or none (WATCHING_QUIETLY).
enum { NOT_WATCHING = 0, WATCHING = 1, WATCHING_QUIETLY = 2 };

// How a dialog is made up, for every back end (gui/README, Dialogs).
enum DialogKind { MESSAGE_DIALOG, ENTRY_DIALOG, PICTURE_DIALOG };
enum DialogPictures { NO_PICTURES, ICON_PICTURE, LOGO_PICTURE, LOGO_AND_ABOUT_PICTURES };
enum ColumnAlign { ALIGN_LEFT, ALIGN_RIGHT };
constexpr int MAX_TABLE_COLUMNS = 4;
struct DialogLayout {
    DialogKind kind;
    DialogPictures pictures;
    const char *main_button;
    bool cancel;   // a "Cancel" button after the main one
    // A message dialog whose message is a table (Gui::set_dialog_table): how many columns it
    // has and how each column's cells line up; 0 for a plain message.
    int table_columns = 0;
    ColumnAlign column_align[MAX_TABLE_COLUMNS] = {};
};

// A menu entry's keyboard shortcut: a key by its name ("n", "F1") and whether Ctrl is held.
struct MenuKey {
    int id;        // the dialog the entry opens; SOUND_ITEM or FULL_SCREEN_ITEM for those entries
    const char *key;
    bool ctrl;
};

// A box of the field, in canvas pixels, that the player should see marked.
struct MarkedBox {
    int x, y, w, h;
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
// The most characters an entry dialog's entry holds.
constexpr int ENTRY_CHARS = 20;
// The ids MenuKey gives the Sound and Full Screen entries.
constexpr int SOUND_ITEM = -1;
constexpr int FULL_SCREEN_ITEM = -2;
// The Game menu's check entry, after the dialog entries, that turns sound on and off.
constexpr char SOUND_ITEM_LABEL[] = "Sound";
// The Sound entry's tooltip while sound cannot be heard: this, then the reason.
constexpr char NO_SOUND_TIP[] = "No sound: ";
// The line across the middle of the paused view (show_paused).
constexpr char PAUSED_TEXT[] = "Paused: move the pointer back onto the field";
// How long the player must leave the game alone before the back end reports it idle.
constexpr int IDLE_MS = 30000;

// Picks the back end by name (any case; null for the default), installs it and opens it.
void open(const char *name, int *argc, char **argv);
// Installs the table of a back end that is not in the registry and opens it.
void open_table(const GuiMethods *table, int *argc, char **argv);
const GuiMethods *methods();

void build_main_window(int size);
void prepare_canvas();
void build_dialogs(Image *logo, Image *icon, Image *about);
void show_dialog(int id);
// The back end copies the text; the caller may reuse its buffer.
void set_dialog_text(int id, const char *text);
// The texts handed to the back end; dialog_text is null for the high-score, about and score dialogs.
const char *dialog_text(int id);
// The message of a dialog whose layout has table columns, as a table: the game sets it
// before the message text, which is the same table lined up with blanks for a fixed-width
// font (for a back end that shows only text). A back end that lays out tables shows this
// one, each column as wide as its widest cell and every row of one height, whenever it has
// rows; the front keeps a copy. A table whose columns are not the layout's is not kept.
void set_dialog_table(int id, const TextTable &table);
const TextTable &dialog_table(int id);
const char *menu_label(int id);
const DialogLayout &dialog_layout(int id);
// The menu entries' shortcuts, `count` of them.
const MenuKey *menu_keys(int *count);
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
// The ticker's period from now on (TICK_MS at the start); a running ticker takes it at once.
void set_ticker_period(int period_ms);
// The pointer rule: leaving the canvas pauses a running game, coming back resumes it.
// While it holds a level in play, the back end shows the field as paused.
void pointer_left();
void pointer_entered();
// Where the pointer is (on the field: nonzero), as the back end found it where no crossing
// tells: at start-up and when a dialog has gone. The rule as above, and a game that starts
// while the pointer is known to be away starts paused: it runs once the pointer comes onto
// the field. Until the back end tells, a game starts running.
void pointer_found(int on_field);
void enable_pause_item(int enabled);
// Shows the Sound entry checked (nonzero) or not, without choosing anything; while the
// sound player reports trouble (Sound::trouble), unchecked and unusable, saying why.
void check_sound_item(int on);
void run_event_loop();

// The boxes to mark from the next frame on (a copy is kept; count 0: none): the computers
// that would take the distro being dragged. A back end on the drawing layer shows a
// highlight around each, under the frame the game draws; the game's own draw calls stay
// what they are. The layer reads them with marked_boxes when a frame begins.
void mark_boxes(const MarkedBox *boxes, int count);
const MarkedBox *marked_boxes(int *count);

// The game's table, handed over by start-up.
void set_game(const GameCalls *calls);
// NOT_WATCHING, WATCHING or WATCHING_QUIETLY: see the enum above.
void set_watching(int how);
// The choices dialog id offers besides its buttons, under a caption (none: no choices);
// the back end shows them the next time the dialog comes up, and reports a pick with
// dialog_chosen. The front keeps copies.
void set_dialog_choices(int id, const char *caption, const char *const *labels, int count);
int dialog_choice_count(int id);
const char *dialog_choice(int id, int index);
const char *dialog_choices_caption(int id);
// The game tells the front whether a level is in play (its state is PLAYING): the paused
// view shows only over one.
void set_level_in_play(bool in_play);

// What the back end reports, handed on to the game.
void timer_expired();
void button_pressed(int x, int y);
void button_released(int x, int y);
// The main window's close request: the game saves and ends the process.
[[noreturn]] void close_requested();
// A dialog's main button (or Enter in its entry), entry_text its entry's text or null: the
// game's action for that dialog, if it has one (gui/README, Dialogs).
void dialog_confirmed(int id, const char *entry_text);
// The player toggled the Sound entry; on is its new state.
void sound_toggled(int on);
// A menu of the main window is coming up, or a shortcut key is about to act: the entries are
// brought up to date first (the Sound entry says whether sound can be heard).
void menu_shown();
// A menu entry that opens dialog id was chosen, by pointer or key: the front pauses a
// running game as the pointer leaving would, tells the game, and shows the dialog (and
// tells the game again when it is gone).
void menu_entry_chosen(int id);
// A key pressed in the main window; true when the game took it, and the toolkit must then
// not use it (for a menu shortcut, say).
bool key_pressed(int key);
// Gui::IDLE_MS passed without input from the player (and again after every further
// IDLE_MS); passed on to the game when no dialog is up.
void player_idle();
// The player picked choice `index` of dialog id (set_dialog_choices); the back end then
// closes the dialog as its main button would.
void dialog_chosen(int id, int index);
// A button pressed in the main window beside the field (on the surround of a larger
// window), which the game does not play.
void clicked_off_field();
// What the entry of dialog id takes of the text offered (length bytes) when it already
// holds `used` bytes: the name entry takes what fits the table's name field, never part of
// a character, and leaves out what a name does not hold (controls, format and separator
// characters); the others take it all.
std::string entry_takes(int id, int used, const char *offered, int length);

// The hit tests' overlap rule (base/boxes.h), under the front's name as well.
using ::boxes_overlap;

} // namespace Gui
