// WebGui: the back end of the game as a web page. The page (gui/web/page.js) is the
// toolkit: this unit fills the slot table with calls of the page, and the page reports the
// player's doings through the functions at the end, which hand them to the Gui front.
//
// One thing a page cannot do is wait: show_dialog must return only once the player has
// dismissed the dialog, yet the page runs only between the game's calls. The program is
// built with emscripten's Asyncify, so the wait for a dialog the game shows unwinds the
// game's stack to the browser and winds it up again once the dialog goes. Meanwhile the
// page goes on running (the timer, the pointer, the dialog's own buttons), as a toolkit's
// nested loop does; the game shows dialogs only from its tick, which is never entered
// twice, so one wait at a time is all there is.
#include "gui/web/web_private.h"

#include "base/support.h"
#include "gui/cursors.h"
#include "gui/drawing.h"
#include "gui/title.h"
#include "gui/xpm_data.h"

#include <emscripten.h>

#include <vector>

namespace {
int field_size = 0;
bool timer_on = false;
bool dialogs_built = false;
bool waiting = false;   // the game waits for a dialog
} // namespace

namespace {

EM_JS(void, page_open, (const char *title, int idle_ms), { GlimpwatchPage.open(UTF8ToString(title), idle_ms); });
EM_JS(void, page_build_window, (int size), { GlimpwatchPage.buildWindow(size); });
EM_JS(int, page_add_menu, (const char *title), { return GlimpwatchPage.addMenu(UTF8ToString(title)); });
EM_JS(void, page_add_entry, (int menu, int id, const char *label, const char *key, int ctrl),
      { GlimpwatchPage.addEntry(menu, id, UTF8ToString(label), key ? UTF8ToString(key) : null, ctrl != 0); });
EM_JS(void, page_enable_pause, (int enabled), { GlimpwatchPage.enableEntry(enabled != 0); });
EM_JS(void, page_check_sound, (int on, const char *unavailable),
      { GlimpwatchPage.checkSound(on != 0, unavailable ? UTF8ToString(unavailable) : null); });
EM_JS(int, page_add_picture, (int width, int height, const unsigned char *rgba),
      { return GlimpwatchPage.addPicture(width, height, rgba); });
EM_JS(void, page_set_icon, (int picture), { GlimpwatchPage.setIcon(picture); });
EM_JS(int, page_add_cursor, (int width, int height, const unsigned char *shades, int carried),
      { return GlimpwatchPage.addCursor(width, height, shades, carried != 0); });
EM_JS(void, page_set_cursor, (int cursor), { GlimpwatchPage.setCursor(cursor); });
EM_JS(void, page_start_timer, (int period_ms), { GlimpwatchPage.startTimer(period_ms); });
EM_JS(void, page_stop_timer, (), { GlimpwatchPage.stopTimer(); });
EM_JS(void, page_build_dialog,
      (int id, int kind, const char *title, const char *text, int first_picture, int second_picture,
       const char *main_button, int cancel, const char *table_align, const char *entry_text, int entry_chars),
      {
          GlimpwatchPage.buildDialog(id, {
              kind: kind,
              title: UTF8ToString(title),
              text: text ? UTF8ToString(text) : null,
              pictures: [ first_picture, second_picture ].filter(function(p) { return p >= 0; }),
              mainButton: UTF8ToString(main_button),
              cancel: cancel != 0,
              tableAlign: table_align ? UTF8ToString(table_align) : null,
              entryText: entry_text ? UTF8ToString(entry_text) : "",
              entryChars: entry_chars
          });
      });
EM_JS(void, page_set_dialog_text, (int id, const char *text), { GlimpwatchPage.setDialogText(id, UTF8ToString(text)); });
EM_JS(void, page_set_choices, (int id, const char *caption, const char *labels, int count), {
    GlimpwatchPage.setChoices(id, UTF8ToString(caption), count ? UTF8ToString(labels).split("\n") : []);
});
EM_JS(void, page_set_table, (int id, const char *above, const char *cells, int count, int columns, const char *below), {
    GlimpwatchPage.setTable(id, UTF8ToString(above), count ? UTF8ToString(cells).split("\n") : [], columns,
                            UTF8ToString(below));
});
EM_JS(int, page_show_dialog, (int id), { return GlimpwatchPage.showDialog(id) ? 1 : 0; });
EM_ASYNC_JS(void, page_wait_for_dialog, (int id), { await GlimpwatchPage.dismissed(id); });

void open(int *, char **) { page_open(Gui::MAIN_TITLE, Gui::IDLE_MS); }

// The entry's shortcut, from the front's table; null for none.
const MenuKey *key_of(int id)
{
    int count = 0;
    const MenuKey *keys = Gui::menu_keys(&count);
    for (int k = 0; k < count; k++)
        if (keys[k].id == id)
            return &keys[k];
    return nullptr;
}

void add_entry(int menu, int id, const char *label)
{
    const MenuKey *key = key_of(id);
    page_add_entry(menu, id, label, key ? key->key : nullptr, key && key->ctrl);
}

void build_main_window(int size)
{
    field_size = size;
    page_build_window(size);
    int game = page_add_menu("Game");
    for (int id = DIALOG_NEW_GAME; id <= DIALOG_QUIT; id++)
        add_entry(game, id, Gui::menu_label(id));
    add_entry(game, Gui::SOUND_ITEM, Gui::SOUND_ITEM_LABEL);
    int info = page_add_menu("Info");
    for (int id = DIALOG_STORY; id <= DIALOG_ABOUT; id++)
        add_entry(info, id, Gui::menu_label(id));
}

void prepare_canvas() { Drawing::prepare(CanvasPainter::painter(), field_size, false); }

void load_image(const char *name, int, Image **out)
{
    std::string path = XpmData::picture_path(name);
    std::vector<std::string> strings;
    XpmData::Pixels pixels;
    if (!XpmData::load(path.c_str(), strings) || !XpmData::decode(strings, pixels))
        fatal("error reading %s", path.c_str());
    *out = new Image{page_add_picture(pixels.width, pixels.height, pixels.rgba.data()), pixels.width, pixels.height};
}

void set_icon(Image *image) { page_set_icon(image->picture); }
int image_width(Image *image) { return image->width; }
int image_height(Image *image) { return image->height; }

// The distro and bucket cursors (self-masked) are what the player carries: on a touch
// screen, where no pointer shows, the page shows them under the finger.
void load_cursor(const char *name, int self_masked, PointerCursor **out)
{
    const Cursors::Bitmap &row = Cursors::bitmap(name);
    std::vector<Cursors::Shade> shades = Cursors::shades(row, self_masked);
    *out = new PointerCursor{page_add_cursor(row.width, row.height, reinterpret_cast<const unsigned char *>(shades.data()), self_masked)};
}

void set_cursor(PointerCursor *cursor) { page_set_cursor(cursor->cursor); }

void start_timer(int period_ms)
{
    // A running timer keeps its period: repeated starts never add a second one.
    if (timer_on)
        return;
    timer_on = true;
    page_start_timer(period_ms);
}

void stop_timer()
{
    if (timer_on)
        page_stop_timer();
    timer_on = false;
}

int timer_running() { return timer_on ? 1 : 0; }

void build_dialogs(Image *logo, Image *icon, Image *about)
{
    for (int id = 0; id < DIALOG_COUNT; id++) {
        const DialogLayout &layout = Gui::dialog_layout(id);
        int first = -1, second = -1;
        if (layout.pictures == ICON_PICTURE)
            first = icon->picture;
        else if (layout.pictures == LOGO_PICTURE || layout.pictures == LOGO_AND_ABOUT_PICTURES)
            first = logo->picture;
        if (layout.pictures == LOGO_AND_ABOUT_PICTURES)
            second = about->picture;
        // A table's columns, 'l' or 'r' each as they line up.
        std::string align;
        for (int column = 0; column < layout.table_columns; column++)
            align += layout.column_align[column] == ALIGN_RIGHT ? 'r' : 'l';
        page_build_dialog(id, layout.kind, Gui::menu_label(id), Gui::dialog_text(id), first, second,
                          layout.main_button, layout.cancel, align.empty() ? nullptr : align.c_str(),
                          Gui::entry_text(id), Gui::ENTRY_CHARS);
    }
    dialogs_built = true;
}

// The dialog's choices as the front has them now, one label a line.
void set_choices(int id)
{
    int count = Gui::dialog_choice_count(id);
    std::string labels;
    for (int i = 0; i < count; i++)
        labels += (i ? "\n" : "") + std::string(Gui::dialog_choice(id, i));
    page_set_choices(id, count ? Gui::dialog_choices_caption(id) : "", labels.c_str(), count);
}

// The dialog's table as the front has it now, one cell a line (a cell never holds a line end).
void set_table(int id)
{
    if (Gui::dialog_layout(id).table_columns == 0)
        return;
    const TextTable &table = Gui::dialog_table(id);
    std::string cells;
    for (size_t i = 0; i < table.cells.size(); i++)
        cells += (i ? "\n" : "") + table.cells[i];
    page_set_table(id, table.above.c_str(), cells.c_str(), static_cast<int>(table.cells.size()), table.columns,
                   table.below.c_str());
}

void show_dialog(int id)
{
    if (!dialogs_built)
        return;
    set_choices(id);
    set_table(id);
    // Already up: one wait per dialog, so it is only raised.
    if (page_show_dialog(id))
        return;
    if (waiting)
        return;
    waiting = true;
    page_wait_for_dialog(id);
    waiting = false;
}

void set_dialog_text(int id, const char *text) { page_set_dialog_text(id, text); }
void enable_pause_item(int enabled) { page_enable_pause(enabled); }
void check_sound_item(int on, const char *unavailable) { page_check_sound(on, unavailable); }

// From here on everything happens in the page's callbacks: main returns to the browser
// and the program lives on.
void run_event_loop() { emscripten_exit_with_live_runtime(); }

constexpr GuiMethods make_methods()
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

constexpr GuiMethods METHODS = make_methods();

// A slot added to GuiMethods must be filled above as well.
static_assert(sizeof(GuiMethods) == 24 * sizeof(void (*)()), "GuiMethods gained a slot");

} // namespace

namespace WebGui {

void install(const GuiMethods **out) { *out = &METHODS; }

} // namespace WebGui

// What the page reports, handed to the Gui front.
extern "C" {

EMSCRIPTEN_KEEPALIVE void glimpwatch_timer_expired() { Gui::timer_expired(); }
EMSCRIPTEN_KEEPALIVE void glimpwatch_button_pressed(int x, int y) { Gui::button_pressed(x, y); }
EMSCRIPTEN_KEEPALIVE void glimpwatch_button_released(int x, int y) { Gui::button_released(x, y); }
EMSCRIPTEN_KEEPALIVE void glimpwatch_pointer_entered() { Gui::pointer_entered(); }
EMSCRIPTEN_KEEPALIVE void glimpwatch_pointer_left() { Gui::pointer_left(); }
EMSCRIPTEN_KEEPALIVE void glimpwatch_sound_toggled(int on) { Gui::sound_toggled(on); }
EMSCRIPTEN_KEEPALIVE void glimpwatch_close_requested() { Gui::close_requested(); }

// A menu entry, by mouse or shortcut: the front pauses a running game and shows the
// dialog, which is waited for as a dialog the game shows is.
EMSCRIPTEN_KEEPALIVE void glimpwatch_menu_entry(int id) { Gui::menu_entry_chosen(id); }
EMSCRIPTEN_KEEPALIVE int glimpwatch_key_pressed(int key) { return Gui::key_pressed(key) ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE void glimpwatch_player_idle() { Gui::player_idle(); }
EMSCRIPTEN_KEEPALIVE void glimpwatch_dialog_chosen(int id, int index) { Gui::dialog_chosen(id, index); }

// A dialog's main button, or Enter in its entry; entry_text null for a dialog without one.
EMSCRIPTEN_KEEPALIVE void glimpwatch_dialog_confirmed(int id, const char *entry_text)
{
    Gui::dialog_confirmed(id, entry_text);
}

// What the entry takes of the text offered, kept until the next call.
EMSCRIPTEN_KEEPALIVE const char *glimpwatch_entry_takes(int id, int used, const char *offered, int length)
{
    static std::string taken;
    taken = Gui::entry_takes(id, used, offered, length);
    return taken.c_str();
}

// The page made its canvases anew (another scale factor, or the browser lost them): the
// frame is drawn on them whole, at once.
EMSCRIPTEN_KEEPALIVE void glimpwatch_canvas_remade()
{
    if (!Drawing::canvas_made())
        return;
    Drawing::canvas_remade();
    Drawing::window_exposed();
}

} // extern "C"
