// Gui front: back-end registry, texts, ticker, pointer rule and the forwarding shims.
#include "gui/gui.h"
#include "gui/gui_testing.h"

#include "base/fatal.h"
#include "game/game_state.h"

#include <string>
#include <strings.h>

namespace {
const GuiMethods *active = nullptr;
const char *menu_labels[DIALOG_COUNT];
const char *dialog_texts[DIALOG_COUNT];
bool paused_by_pointer = false;
bool paused_shown = false;          // the back end shows the field as paused
std::string entry_texts[DIALOG_COUNT];
bool entry_text_set[DIALOG_COUNT];
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

// The field looks paused exactly while the pointer rule holds a level in play: not on the
// title screen, not between games, not behind the dialogs between levels or at the end.
void show_whether_paused()
{
    bool held = paused_by_pointer && !active->timer_running() && Game::state() == PLAYING;
    if (held != paused_shown) {
        paused_shown = held;
        active->show_paused(held ? 1 : 0);
    }
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

void show_dialog(int id) { active->show_dialog(id); }
void set_dialog_text(int id, const char *text) { active->set_dialog_text(id, text); }
const char *dialog_text(int id) { return dialog_texts[id]; }
const char *menu_label(int id) { return menu_labels[id]; }

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
    active->start_timer(TICK_MS);
    show_whether_paused();
}
void stop_ticker() { active->stop_timer(); }

void pointer_left()
{
    if (active->timer_running())
        paused_by_pointer = true;
    active->stop_timer();
    show_whether_paused();
}

void pointer_entered()
{
    if (paused_by_pointer && !active->timer_running())
        active->start_timer(TICK_MS);
    paused_by_pointer = false;
    show_whether_paused();
}

void enable_pause_item(int enabled) { active->enable_pause_item(enabled); }
void check_sound_item(int on) { active->check_sound_item(on); }
void run_event_loop() { active->run_event_loop(); }

void reset_for_tests()
{
    active = nullptr;
    paused_by_pointer = false;
    paused_shown = false;
    for (int i = 0; i < DIALOG_COUNT; i++) {
        menu_labels[i] = nullptr;
        dialog_texts[i] = nullptr;
        entry_texts[i].clear();
        entry_text_set[i] = false;
    }
}

} // namespace Gui
