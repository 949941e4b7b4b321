// GtkGui dialogs: the eleven modal dialogs, their buttons and the wait for their dismissal.
#include "gui/gtk/gtk_private.h"

#include "game/game.h"
#include "game/support.h"
#include "scores/high_scores.h"
#include "scores/player_name.h"

#include <cstring>

namespace {
GtkWidget *dialogs[DIALOG_COUNT];   // built and realized once, hidden between uses, never destroyed
guint wait_level[DIALOG_COUNT];     // gtk_main level of the loop waiting for the dialog; 0 when none
bool dismissed[DIALOG_COUNT];       // dismissed; its wait ends once its loop is the innermost
GtkWidget *message_labels[DIALOG_COUNT];   // a message dialog's text, which set_dialog_text replaces
GtkWidget *entries[DIALOG_COUNT];          // an entry dialog's entry
} // namespace

namespace {

// A button's game action, run before its dialog goes away; data is the dialog's entry, if any.
typedef void (*DialogAction)(gpointer data, GtkWidget *sender);

int dialog_id(GtkWidget *dialog)
{
    for (int id = 0; id < DIALOG_COUNT; id++)
        if (dialogs[id] == dialog)
            return id;
    return -1;
}

// Ends the wait of show_dialog for exactly this dialog. Its loop is quit only while it
// is the innermost one; a dialog below an inner one is marked and its loop ends as soon
// as the inner wait is over (end_dismissed_waits), so no button ever ends another
// dialog's wait.
void dismiss(GtkWidget *dialog)
{
    gtk_widget_hide(dialog);
    int id = dialog_id(dialog);
    if (id < 0 || wait_level[id] == 0 || dismissed[id])
        return;
    dismissed[id] = true;
    if (wait_level[id] == gtk_main_level())
        gtk_main_quit();
}

void end_dismissed_waits()
{
    for (int id = 0; id < DIALOG_COUNT; id++)
        if (wait_level[id] != 0 && dismissed[id] && wait_level[id] == gtk_main_level())
            gtk_main_quit();
}

void on_dialog_done(gpointer dialog, GtkWidget *)
{
    dismiss(GTK_WIDGET(dialog));
}

// The window manager's close button and the Escape key (which GtkDialog turns into a
// close request) dismiss the dialog like "Cancel": no game action runs, and the
// dialog is only hidden, never destroyed, so it can come up again. For the name
// dialog this means the score is not recorded, as with any unconfirmed name.
gboolean on_dialog_delete(GtkWidget *dialog, GdkEvent *, gpointer)
{
    dismiss(dialog);
    return TRUE;
}

void on_new_game_confirmed(gpointer, GtkWidget *)
{
    Game::start(1);
}

void on_quit_confirmed(gpointer, GtkWidget *)
{
    Game::quit();
}

// Only a text that is wholly a base-10 number that fits an int warps (an empty text
// reads as 0, which the game ignores); anything else is dropped without a word.
void on_warp_entered(gpointer entry, GtkWidget *)
{
    int level = 0;
    if (parse_int(gtk_entry_get_text(GTK_ENTRY(entry)), &level))
        Game::warp_to_level(level);
}

void on_name_entered(gpointer entry, GtkWidget *)
{
    Game::add_high_score(gtk_entry_get_text(GTK_ENTRY(entry)));
}

// The name entry takes what fits the table's name field, in bytes: a character that would
// not fit whole is not taken, nor anything after it, so what the player sees is what is saved.
void on_name_insert(GtkEditable *editable, gchar *text, gint length, gint *position, gpointer)
{
    size_t used = strlen(gtk_entry_get_text(GTK_ENTRY(editable)));
    size_t room = used < static_cast<size_t>(HIGH_SCORE_NAME_MAX) ? HIGH_SCORE_NAME_MAX - used : 0;
    size_t offered = length < 0 ? strlen(text) : static_cast<size_t>(length);
    size_t taken = PlayerName::fitting_length(text, offered, room);
    if (taken == offered)
        return;
    g_signal_stop_emission_by_name(editable, "insert-text");
    if (taken == 0) {
        gtk_widget_error_bell(GTK_WIDGET(editable));
        return;
    }
    g_signal_handlers_block_by_func(editable, reinterpret_cast<gpointer>(on_name_insert), nullptr);
    gtk_editable_insert_text(editable, text, static_cast<gint>(taken), position);
    g_signal_handlers_unblock_by_func(editable, reinterpret_cast<gpointer>(on_name_insert), nullptr);
}

GtkWidget *new_dialog(int id)
{
    GtkWidget *dialog = gtk_dialog_new();
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_title(GTK_WINDOW(dialog), Gui::menu_label(id));
    gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(GtkGui::main_window()));
    g_signal_connect(dialog, "delete-event", G_CALLBACK(on_dialog_delete), nullptr);
    // A little room around the text, so the messages do not touch the frame.
    gtk_container_set_border_width(GTK_CONTAINER(dialog), 8);
    return dialog;
}

// Realized now, so that the dialog's window has its natural size before it is first shown.
void store(int id, GtkWidget *dialog)
{
    gtk_widget_realize(dialog);
    dialogs[id] = dialog;
}

GtkWidget *picture(Image *image)
{
    return gtk_pixmap_new(image->pixmap, image->mask);
}

// Signals run their handlers in the order connected: the game's action, then the dismissal.
void add_dialog_button(GtkWidget *dialog, const char *label, DialogAction action, gpointer data)
{
    GtkWidget *button = gtk_button_new_with_label(label);
    if (action)
        g_signal_connect_swapped(button, "clicked", G_CALLBACK(action), data);
    g_signal_connect_swapped(button, "clicked", G_CALLBACK(on_dialog_done), dialog);
    gtk_container_add(GTK_CONTAINER(gtk_dialog_get_action_area(GTK_DIALOG(dialog))), button);
    gtk_widget_show(button);
}

void build_message_dialog(int id, bool with_cancel, Image *image, const char *button_label,
                          DialogAction action)
{
    GtkWidget *dialog = new_dialog(id);
    GtkWidget *box = gtk_hbox_new(FALSE, 0);
    gtk_container_set_border_width(GTK_CONTAINER(box), 6);
    if (image)
        gtk_container_add(GTK_CONTAINER(box), picture(image));
    GtkWidget *label = gtk_label_new(Gui::dialog_text(id));
    // The high-score table lines its columns up with blanks: it needs a fixed-width font.
    if (id == DIALOG_HIGH_SCORES) {
        PangoFontDescription *font = pango_font_description_from_string("Monospace");
        gtk_widget_modify_font(label, font);
        pango_font_description_free(font);
    }
    gtk_container_add(GTK_CONTAINER(box), label);
    message_labels[id] = label;
    gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), box);
    gtk_widget_show_all(box);
    add_dialog_button(dialog, button_label ? button_label : "OK", action, nullptr);
    if (with_cancel)
        add_dialog_button(dialog, "Cancel", nullptr, nullptr);
    store(id, dialog);
}

// Enter in the entry does exactly what "OK" does.
void build_entry_dialog(int id, DialogAction action)
{
    GtkWidget *dialog = new_dialog(id);
    GtkWidget *label = gtk_label_new(Gui::dialog_text(id));
    gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), label);
    gtk_widget_show(label);
    GtkWidget *entry = gtk_entry_new_with_max_length(20);
    if (id == DIALOG_ENTER_NAME)
        g_signal_connect(entry, "insert-text", G_CALLBACK(on_name_insert), nullptr);
    if (const char *initial = Gui::entry_text(id))
        gtk_entry_set_text(GTK_ENTRY(entry), initial);
    g_signal_connect_swapped(entry, "activate", G_CALLBACK(action), entry);
    g_signal_connect_swapped(entry, "activate", G_CALLBACK(on_dialog_done), dialog);
    gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), entry);
    gtk_widget_show(entry);
    entries[id] = entry;
    add_dialog_button(dialog, "OK", action, entry);
    store(id, dialog);
}

void build_picture_dialog(int id, Image *first, Image *second)
{
    const char *text = Gui::dialog_text(id);
    GtkWidget *dialog = new_dialog(id);
    GtkWidget *vbox = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    Image *pictures[] = {first, second};
    for (Image *image : pictures) {
        if (!image)
            continue;
        GtkWidget *shown = picture(image);
        gtk_container_add(GTK_CONTAINER(vbox), shown);
        gtk_widget_show(shown);
    }
    if (text) {
        GtkWidget *label = gtk_label_new(text);
        gtk_container_add(GTK_CONTAINER(vbox), label);
        gtk_widget_show(label);
    }
    add_dialog_button(dialog, "OK", nullptr, nullptr);
    store(id, dialog);
}

// The keyboard goes to the dialog's entry, if it has one, with the text left from last
// time selected: typing replaces it and Enter keeps it. Without this a click on "OK" last
// time leaves the keyboard on the button, or a new number is typed after the old one.
void focus_entry(int id)
{
    if (entries[id])
        gtk_widget_grab_focus(entries[id]);   // selects the whole text
}

} // namespace

namespace GtkGui {

void build_dialogs(Image *logo, Image *icon, Image *about)
{
    build_message_dialog(DIALOG_NEW_GAME, true, nullptr, nullptr, on_new_game_confirmed);
    build_message_dialog(DIALOG_PAUSE, false, icon, "Continue", nullptr);
    build_entry_dialog(DIALOG_WARP, on_warp_entered);
    build_message_dialog(DIALOG_HIGH_SCORES, false, nullptr, nullptr, nullptr);
    build_message_dialog(DIALOG_QUIT, true, nullptr, nullptr, on_quit_confirmed);
    build_picture_dialog(DIALOG_STORY, logo, nullptr);
    build_picture_dialog(DIALOG_RULES, logo, nullptr);
    build_picture_dialog(DIALOG_ABOUT, logo, about);
    build_message_dialog(DIALOG_SCORE, false, nullptr, nullptr, nullptr);
    build_message_dialog(DIALOG_END_GAME, false, nullptr, "Nuts!", nullptr);
    build_entry_dialog(DIALOG_ENTER_NAME, on_name_entered);
}

void show_dialog(int id)
{
    GtkWidget *dialog = dialogs[id];
    if (!dialog)
        return;   // nothing to wait for before the dialogs are built
    // Already up and waited for: one wait per dialog. A second nested loop would be
    // ended by the dialog's own button out of order, so the second caller only raises it.
    if (wait_level[id] != 0) {
        if (!dismissed[id])
            gtk_window_present(GTK_WINDOW(dialog));
        return;
    }

    // Centred over the main window. The dialog's window still has the size of its last
    // showing; a text set since then (the scores) may make it grow as it comes up, and
    // it is centred by that new size. Like GTK, a dialog grows but never shrinks.
    GtkWidget *toplevel = main_window();
    gint ox = 0, oy = 0, w = 0, h = 0, dw = 0, dh = 0;
    gdk_window_get_origin(gtk_widget_get_window(toplevel), &ox, &oy);
    gdk_drawable_get_size(gtk_widget_get_window(toplevel), &w, &h);
    gdk_drawable_get_size(gtk_widget_get_window(dialog), &dw, &dh);
    GtkRequisition natural;
    gtk_widget_size_request(dialog, &natural);
    dw = MAX(dw, natural.width);
    dh = MAX(dh, natural.height);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_NONE);
    int x = ox + (w - dw) / 2, y = oy + (h - dh) / 2;
    // A dialog taller or wider than the window may reach past the screen's edge when the
    // window sits near it; it is moved back so that all of it, its buttons above all, shows.
    GdkScreen *screen = gtk_widget_get_screen(dialog);
    x = MAX(0, MIN(x, gdk_screen_get_width(screen) - dw));
    y = MAX(0, MIN(y, gdk_screen_get_height(screen) - dh));
    gtk_widget_set_uposition(dialog, x, y);
    focus_entry(id);
    gtk_widget_show_all(dialog);
    // The first showing of a dialog realized at start-up ignores the position set above.
    gtk_window_move(GTK_WINDOW(dialog), x, y);

    dismissed[id] = false;
    wait_level[id] = gtk_main_level() + 1;
    gtk_main();
    wait_level[id] = 0;
    dismissed[id] = false;
    end_dismissed_waits();
}

void set_dialog_text(int id, const char *text)
{
    // Only message dialogs have a text to replace; the others keep theirs.
    if (message_labels[id])
        gtk_label_set_text(GTK_LABEL(message_labels[id]), text);   // the label keeps its own copy
}

} // namespace GtkGui
