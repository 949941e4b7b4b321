// Gui front: back-end registry, texts, ticker, pointer rule and the forwarding shims.
#include "gui/gui.h"
#include "gui/gui_testing.h"

#include "base/fatal.h"
#include "base/support.h"
#include "scores/high_scores.h"
#include "scores/player_name.h"
#include "sound/sound.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

namespace {
const GuiMethods *active = nullptr;
const char *menu_labels[DIALOG_COUNT];
const char *dialog_texts[DIALOG_COUNT];
bool paused_by_pointer = false;
// Where the pointer is, as far as the front knows: told by a crossing onto the field, or by
// the back end when it looked (Gui::pointer_found). A leave makes it unknown again: a menu or
// a dialog taking the pointer for a moment leaves it who knows where once they go.
enum PointerPlace { PLACE_UNKNOWN, ON_FIELD, AWAY };
PointerPlace pointer_place = PLACE_UNKNOWN;
bool paused_shown = false;          // the back end shows the field as paused
int sound_reports_shown = 0;        // the sound player's reports the Sound entry shows
bool level_in_play = false;         // as the game last told it
const GameCalls *game = nullptr;    // null until start-up hands it over
std::vector<MarkedBox> marks;       // what mark_boxes was given last
std::string entry_texts[DIALOG_COUNT];
bool entry_text_set[DIALOG_COUNT];
int ticker_period = Gui::TICK_MS;
int watching = NOT_WATCHING;
int dialogs_up = 0;                 // dialogs shown through the front and not yet closed
struct Choices {
    std::string caption;
    std::vector<std::string> labels;
};
Choices choices[DIALOG_COUNT];
TextTable tables[DIALOG_COUNT];
} // namespace

namespace {

const char *const MENU_LABELS[DIALOG_COUNT] = {
    "New Game",
    "Pause Game",
    "Warp to level...",
    "View High Scores",
    "Quit Game",
    "Story of Glimpwatch",
    "Rules",
    "About Glimpwatch",
    "Score",
    "End Game",
    "Enter Name",
};

const char STORY_TEXT[] =
    "The Story:\n"
    "\n"
    "Once again the fate of the world rests in\n"
    "your hands.  An evil computer hacker, known\n"
    "only by his handle 'Glimm', has created the\n"
    "ultimate computer virus, one so powerful\n"
    "that it transmutes an ordinary computer into\n"
    "a toaster oven.  Not content with merely\n"
    "writing it, Glimm has cloned himself into\n"
    "countless micro-Glimps, tiny villains whose\n"
    "sole purpose in life is to deliver the virus\n"
    "to every machine on the network.  He has\n"
    "cleverly disguised it as a popular init\n"
    "system, and he calls it initfail.\n"
    "\n"
    "As System Administrator/Exterminator, it is\n"
    "your job to keep Glimm from succeeding at\n"
    "his task.  The whole network counts on you.";

const char RULES_TEXT[] =
    "The Rules:\n"
    "\n"
    "Glimpwatch was designed and researched at\n"
    "great length, so that the whole family can\n"
    "use it as easily as a small child.  Beta\n"
    "testing with the cheapest interface designers\n"
    "money could buy gave us a game that is easy\n"
    "to use, and yet nothing like a Macintosh.\n"
    "Best of all, it plays exactly like ombrax,\n"
    "right down to the very last mouse click.\n"
    "\n"
    "I.   Whack the Glimps (click)\n"
    "II.  Restart the computer (click)\n"
    "III. Pick up stolen Distros & return (drag)\n"
    "     them to their respective computers\n"
    "IV.  Drag the bucket to extinguish sparks\n"
    "V.   Scoring is based on total uptime,\n"
    "     with bonuses for killing Glimps.\n"
    "\n"
    "You can figure out the rest for yourself.\n"
    "After all, we had to.";

const char *const DIALOG_TEXTS[DIALOG_COUNT] = {
    "New Game?",
    "Game paused.  Press Continue to continue.",
    "Warp to level?",
    nullptr,
    "Quit Game?",
    STORY_TEXT,
    RULES_TEXT,
    nullptr,
    nullptr,
    "Module Glimpwatch has caused a segmentation fault\n"
    "at memory address 097E:F1A0.  Core dumped.\n"
    "\n"
    "We apologize for the inconvenience.",
    "You earned a high score.\nEnter your name:",
};

const DialogLayout DIALOG_LAYOUTS[DIALOG_COUNT] = {
    /* New Game */ {MESSAGE_DIALOG, NO_PICTURES, "OK", true},
    /* Pause */ {MESSAGE_DIALOG, ICON_PICTURE, "Continue", false},
    /* Warp */ {ENTRY_DIALOG, NO_PICTURES, "OK", false},
    /* High Scores */ {MESSAGE_DIALOG, NO_PICTURES, "OK", false, HighScores::DIALOG_COLUMNS,
                      {ALIGN_LEFT, ALIGN_RIGHT, ALIGN_RIGHT}},
    /* Quit */ {MESSAGE_DIALOG, NO_PICTURES, "OK", true},
    /* Story */ {PICTURE_DIALOG, LOGO_PICTURE, "OK", false},
    /* Rules */ {PICTURE_DIALOG, LOGO_PICTURE, "OK", false},
    /* About */ {PICTURE_DIALOG, LOGO_AND_ABOUT_PICTURES, "OK", false},
    /* Score */ {MESSAGE_DIALOG, NO_PICTURES, "OK", false},
    /* End Game */ {MESSAGE_DIALOG, NO_PICTURES, "Nuts!", false},
    /* Enter Name */ {ENTRY_DIALOG, NO_PICTURES, "OK", false},
};

// The pause and Sound keys are bare letters: dialogs are windows of their own, so a letter
// typed into a dialog's entry never reaches the main window's shortcuts.
const MenuKey MENU_KEYS[] = {
    {DIALOG_NEW_GAME, "n", true},  {DIALOG_PAUSE, "p", false}, {DIALOG_WARP, "w", true},
    {DIALOG_HIGH_SCORES, "h", true}, {DIALOG_QUIT, "q", true},  {DIALOG_RULES, "F1", false},
    {Gui::SOUND_ITEM, "s", false},  {Gui::FULL_SCREEN_ITEM, "F11", false},
};

// The field looks paused exactly while the pointer rule holds a level in play: not on the
// title screen, not between games, not behind the dialogs between levels or at the end.
void show_whether_paused()
{
    bool held = paused_by_pointer && !active->timer_running() && level_in_play && watching == NOT_WATCHING;
    if (held != paused_shown) {
        paused_shown = held;
        active->show_paused(held ? 1 : 0);
    }
}

// The Sound entry as it must show: the player's choice, or, while the sound player reports
// trouble, unchecked and unusable with the reason in its tooltip.
void show_sound_item(int on)
{
    sound_reports_shown = Sound::trouble_reports();
    std::string trouble = Sound::trouble();
    if (trouble.empty()) {
        active->check_sound_item(on, nullptr);
        return;
    }
    std::string tip = Gui::NO_SOUND_TIP + trouble;
    active->check_sound_item(0, tip.c_str());
}

// The player reports from its own thread; the entry follows on the game's, whenever the back
// end reports something and before a menu comes up.
void follow_sound_reports()
{
    if (Sound::trouble_reports() != sound_reports_shown)
        show_sound_item(Sound::on());
}

// The pointer rule: the pointer going away stops a running game, its return restarts it. A
// recording watched goes on wherever the pointer is.
void pause_for_pointer()
{
    if (watching != NOT_WATCHING)
        return;
    if (active->timer_running())
        paused_by_pointer = true;
    active->stop_timer();
    show_whether_paused();
}

void resume_for_pointer()
{
    if (watching != NOT_WATCHING)
        return;
    if (paused_by_pointer && !active->timer_running())
        active->start_timer(ticker_period);
    paused_by_pointer = false;
    show_whether_paused();
}

} // namespace

namespace Gui {

void open(const char *name, int *argc, char **argv)
{
    const GuiBackend *row = &gui_backends[0];
    if (name) {
        for (row = gui_backends; row->name; row++)
            if (strcasecmp(row->name, name) == 0)
                break;
        if (!row->name)
            fatal("GUI '%s' not found", name);
    }
    row->install(&active);
    active->open(argc, argv);
}

void open_table(const GuiMethods *table, int *argc, char **argv)
{
    active = table;
    active->open(argc, argv);
}

const GuiMethods *methods() { return active; }

void build_main_window(int size)
{
    for (int i = 0; i < DIALOG_COUNT; i++)
        menu_labels[i] = MENU_LABELS[i];
    active->build_main_window(size);
}

void prepare_canvas() { active->prepare_canvas(); }

void build_dialogs(Image *logo, Image *icon, Image *about)
{
    for (int i = 0; i < DIALOG_COUNT; i++)
        dialog_texts[i] = DIALOG_TEXTS[i];
    active->build_dialogs(logo, icon, about);
}

void show_dialog(int id)
{
    // A recording watched shows what the player saw of the game, but never asks for a name
    // nor shows the table; watched quietly it shows no dialog at all.
    if (watching == WATCHING_QUIETLY ||
        (watching == WATCHING && (id == DIALOG_ENTER_NAME || id == DIALOG_HIGH_SCORES)))
        return;
    dialogs_up++;
    active->show_dialog(id);
    dialogs_up--;
}
void set_dialog_text(int id, const char *text) { active->set_dialog_text(id, text); }
const char *dialog_text(int id) { return dialog_texts[id]; }

void set_dialog_table(int id, const TextTable &table)
{
    int columns = DIALOG_LAYOUTS[id].table_columns;
    tables[id] = columns > 0 && table.columns == columns ? table : TextTable();
}

const TextTable &dialog_table(int id) { return tables[id]; }
const char *menu_label(int id) { return menu_labels[id]; }
const DialogLayout &dialog_layout(int id) { return DIALOG_LAYOUTS[id]; }

const MenuKey *menu_keys(int *count)
{
    *count = static_cast<int>(sizeof MENU_KEYS / sizeof MENU_KEYS[0]);
    return MENU_KEYS;
}

void set_entry_text(int id, const char *text)
{
    entry_text_set[id] = text != nullptr;
    entry_texts[id] = text ? text : "";
}

const char *entry_text(int id) { return entry_text_set[id] ? entry_texts[id].c_str() : nullptr; }

void use_cursor(PointerCursor *cursor) { active->set_cursor(cursor); }
void load_cursor(const char *name, int self_masked, PointerCursor **out) { active->load_cursor(name, self_masked, out); }
void use_icon(Image *image) { active->set_icon(image); }
void load_image(const char *name, int flag, Image **out) { active->load_image(name, flag, out); }

void load_image_frame(const char *name, int index, int flag, Image **out)
{
    if (index >= 100)
        fatal("image index too large");
    std::string frame_name = std::string(name) + "_" + std::to_string(index);
    active->load_image(frame_name.c_str(), flag, out);
}

int image_width(Image *image) { return active->image_width(image); }
int image_height(Image *image) { return active->image_height(image); }

void clear_canvas() { active->clear_canvas(); }
void present_canvas()
{
    show_whether_paused();
    active->present_canvas();
}
void blit(Image *image, int x, int y) { active->draw_image(image, x, y); }
void line(int x1, int y1, int x2, int y2) { active->draw_line(x1, y1, x2, y2); }
void text(const char *text, int x, int y) { active->draw_text(text, x, y); }

void start_ticker()
{
    // The game runs while its player is on the field: one that starts while the pointer is
    // known to be away starts paused, as if the pointer had just left, and its first tick
    // comes when the pointer comes onto the field. (Where nothing is known, it runs; a
    // recording watched runs wherever the pointer is.)
    if (pointer_place == AWAY && !active->timer_running() && watching == NOT_WATCHING)
        paused_by_pointer = true;
    else
        active->start_timer(ticker_period);
    show_whether_paused();
}

void set_ticker_period(int period_ms)
{
    ticker_period = period_ms;
    if (active->timer_running()) {
        active->stop_timer();
        active->start_timer(ticker_period);
    }
}
void stop_ticker() { active->stop_timer(); }

void pointer_left()
{
    follow_sound_reports();
    pause_for_pointer();
    pointer_place = PLACE_UNKNOWN;
    if (game && game->pointer_left)
        game->pointer_left();
}

void pointer_entered()
{
    follow_sound_reports();
    resume_for_pointer();
    pointer_place = ON_FIELD;
    if (game && game->pointer_entered)
        game->pointer_entered();
}

void pointer_found(int on_field)
{
    if (on_field)
        resume_for_pointer();
    else
        pause_for_pointer();
    pointer_place = on_field ? ON_FIELD : AWAY;
}

void mark_boxes(const MarkedBox *boxes, int count)
{
    marks.assign(boxes, boxes + (count > 0 ? count : 0));
}

const MarkedBox *marked_boxes(int *count)
{
    *count = static_cast<int>(marks.size());
    return marks.data();
}

void set_game(const GameCalls *calls) { game = calls; }

void set_watching(int how)
{
    watching = how;
    // What the pointer did before is no reason to hold the game once watching ends.
    paused_by_pointer = false;
    show_whether_paused();
}

void set_dialog_choices(int id, const char *caption, const char *const *labels, int count)
{
    choices[id].caption = caption ? caption : "";
    choices[id].labels.assign(labels, labels + (count > 0 ? count : 0));
}

int dialog_choice_count(int id) { return static_cast<int>(choices[id].labels.size()); }
const char *dialog_choice(int id, int index) { return choices[id].labels[static_cast<size_t>(index)].c_str(); }
const char *dialog_choices_caption(int id) { return choices[id].caption.c_str(); }
void set_level_in_play(bool in_play) { level_in_play = in_play; }

void timer_expired()
{
    follow_sound_reports();
    if (game)
        game->tick();
}

void button_pressed(int x, int y)
{
    if (game)
        game->button_press(x, y);
}

void button_released(int x, int y)
{
    if (game)
        game->button_release(x, y);
}

void close_requested()
{
    if (game)
        game->quit();
    exit(0);
}

void dialog_confirmed(int id, const char *entry_text)
{
    if (!game)
        return;
    switch (id) {
    case DIALOG_NEW_GAME:
        game->start(1);
        break;
    case DIALOG_WARP: {
        // Only a text that is wholly a base-10 number that fits an int warps (an empty
        // text reads as 0, which the game ignores); anything else is dropped without a word.
        int level = 0;
        if (entry_text && parse_int(entry_text, &level))
            game->warp_to_level(level);
        break;
    }
    case DIALOG_QUIT:
        game->quit();
        break;
    case DIALOG_ENTER_NAME:
        game->add_high_score(entry_text ? entry_text : "");
        break;
    default:
        break;
    }
}

void sound_toggled(int on)
{
    // An entry the back end had not yet made unusable: the choice is not taken, and the
    // entry shows why.
    if (!Sound::trouble().empty()) {
        show_sound_item(0);
        return;
    }
    if (game)
        game->choose_sound(on);
}

void menu_shown() { follow_sound_reports(); }

void menu_entry_chosen(int id)
{
    // A shortcut key, or a menu opened from the keyboard, never takes the pointer off the
    // canvas, and a game may be running while the pointer is elsewhere: the entry pauses
    // a running game itself, as the pointer leaving would. After a real leave this
    // changes nothing; the pointer coming back resumes the game.
    pointer_left();
    if (game && game->menu_dialog)
        game->menu_dialog(id, 1);
    dialogs_up++;
    active->show_dialog(id);
    dialogs_up--;
    if (game && game->menu_dialog)
        game->menu_dialog(id, 0);
}

bool key_pressed(int key) { return game && game->key_pressed && game->key_pressed(key) != 0; }

void player_idle()
{
    if (dialogs_up == 0 && game && game->player_idle)
        game->player_idle();
}

void clicked_off_field()
{
    if (game && game->clicked_off_field)
        game->clicked_off_field();
}

void dialog_chosen(int id, int index)
{
    if (game && game->dialog_chosen && index >= 0 && index < dialog_choice_count(id))
        game->dialog_chosen(id, index);
}

std::string entry_takes(int id, int used, const char *offered, int length)
{
    if (length <= 0)
        return "";
    if (id != DIALOG_ENTER_NAME)
        return std::string(offered, static_cast<size_t>(length));
    // The table's name field counts bytes: a character that would not fit whole is not
    // taken, nor anything after it, and what a name never holds is left out, so what the
    // player sees is what is saved.
    size_t room = used < HIGH_SCORE_NAME_MAX ? static_cast<size_t>(HIGH_SCORE_NAME_MAX - used) : 0;
    return PlayerName::entry_text(offered, static_cast<size_t>(length), room);
}

void enable_pause_item(int enabled) { active->enable_pause_item(enabled); }
void check_sound_item(int on) { show_sound_item(on); }
void run_event_loop() { active->run_event_loop(); }

void reset_for_tests()
{
    active = nullptr;
    paused_by_pointer = false;
    pointer_place = PLACE_UNKNOWN;
    paused_shown = false;
    sound_reports_shown = 0;
    level_in_play = false;
    game = nullptr;
    marks.clear();
    ticker_period = TICK_MS;
    watching = NOT_WATCHING;
    dialogs_up = 0;
    for (int i = 0; i < DIALOG_COUNT; i++) {
        choices[i] = Choices();
        tables[i] = TextTable();
        menu_labels[i] = nullptr;
        dialog_texts[i] = nullptr;
        entry_texts[i].clear();
        entry_text_set[i] = false;
    }
}

} // namespace Gui
