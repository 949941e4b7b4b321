// GtkShared dialogs: the eleven modal dialogs, their buttons and the wait for their dismissal.
#include "gui/gtk_common/shared.h"

#include <cstring>
#include <vector>

namespace {

// One dialog as built: its window and the label and entry it keeps (null where it has none).
struct Dialog {
    GtkWidget *window;
    GtkWidget *body;     // pictures, text and entry, above the buttons
    GtkWidget *scroller; // around the body: it scrolls when the dialog would not fit the screen
    GtkWidget *message;
    GtkWidget *entry;
    // A table dialog's message as a table (Gui::dialog_table): the lines above it, its cells
    // and the lines below it. The message label then shows only while there is no table.
    GtkWidget *above;
    GtkWidget *table;
    GtkWidget *below;
    int title_width;     // the least width that shows the title whole in a window manager's frame
    GtkWidget *choices; // a message dialog's row of choices (Gui::set_dialog_choices)
    guint wait_level; // gtk_main level of the loop waiting for the dialog; 0 when none
    bool dismissed;   // dismissed; its wait ends once its loop is the innermost
};

Dialog dialogs[DIALOG_COUNT]; // built and realized once, hidden between uses, never destroyed

} // namespace

namespace {

int dialog_id(GtkWidget *window)
{
    for (int id = 0; id < DIALOG_COUNT; id++)
        if (dialogs[id].window == window)
            return id;
    return -1;
}

// Ends the wait of show_dialog for exactly this dialog. Its loop is quit only while it
// is the innermost one; a dialog below an inner one is marked and its loop ends as soon
// as the inner wait is over (end_dismissed_waits), so no button ever ends another
// dialog's wait.
void dismiss(int id)
{
    Dialog &dialog = dialogs[id];
    gtk_widget_hide(dialog.window);
    if (dialog.wait_level == 0 || dialog.dismissed)
        return;
    dialog.dismissed = true;
    if (dialog.wait_level == gtk_main_level())
        gtk_main_quit();
}

void end_dismissed_waits()
{
    for (const Dialog &dialog : dialogs)
        if (dialog.wait_level != 0 && dialog.dismissed && dialog.wait_level == gtk_main_level())
            gtk_main_quit();
}

// The main button (or Enter in the entry): the game's action, then the dismissal.
void on_main_button(gpointer id_pointer, GtkWidget *)
{
    int id = GPOINTER_TO_INT(id_pointer);
    Gui::dialog_confirmed(id, dialogs[id].entry ? gtk_entry_get_text(GTK_ENTRY(dialogs[id].entry)) : nullptr);
    dismiss(id);
}

void on_cancel_button(gpointer id, GtkWidget *)
{
    dismiss(GPOINTER_TO_INT(id));
}

// A choice closes its dialog as the main button does, after the game has heard of it.
void on_choice(GtkWidget *button, gpointer id_pointer)
{
    int id = GPOINTER_TO_INT(id_pointer);
    Gui::dialog_chosen(id, GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "choice")));
    dismiss(id);
}

// The dialog's choices as the front has them now: a caption, and beside it a button each in
// rows of five, under the message; nothing at all when there are none.
void fill_choices(int id)
{
    GtkWidget *box = dialogs[id].choices;
    if (!box)
        return;
    GList *old = gtk_container_get_children(GTK_CONTAINER(box));
    for (GList *child = old; child; child = child->next)
        gtk_widget_destroy(GTK_WIDGET(child->data));
    g_list_free(old);
    int count = Gui::dialog_choice_count(id);
    if (count == 0) {
        gtk_widget_hide(box);
        return;
    }
    constexpr int PER_ROW = 5;
    GtkWidget *caption = gtk_label_new(Gui::dialog_choices_caption(id));
    // In line with the first row's labels.
    gtk_misc_set_alignment(GTK_MISC(caption), 0, 0);
    gtk_misc_set_padding(GTK_MISC(caption), 0, 6);
    gtk_box_pack_start(GTK_BOX(box), caption, FALSE, FALSE, 0);
    int columns = count < PER_ROW ? count : PER_ROW;
    GtkWidget *table = gtk_table_new(static_cast<guint>((count + PER_ROW - 1) / PER_ROW), static_cast<guint>(columns), TRUE);
    gtk_table_set_col_spacings(GTK_TABLE(table), 4);
    gtk_table_set_row_spacings(GTK_TABLE(table), 4);
    for (int i = 0; i < count; i++) {
        GtkWidget *button = gtk_button_new_with_label(Gui::dialog_choice(id, i));
        g_object_set_data(G_OBJECT(button), "choice", GINT_TO_POINTER(i));
        g_signal_connect(button, "clicked", G_CALLBACK(on_choice), GINT_TO_POINTER(id));
        guint column = static_cast<guint>(i % PER_ROW), row = static_cast<guint>(i / PER_ROW);
        gtk_table_attach(GTK_TABLE(table), button, column, column + 1, row, row + 1, GTK_FILL, GTK_FILL, 0, 0);
    }
    gtk_box_pack_start(GTK_BOX(box), table, FALSE, FALSE, 0);
    gtk_widget_show(caption);
    gtk_widget_show_all(table);
    gtk_widget_show(box);
}

// The tallest a line of the table's font can be: Latin, CJK and emoji side by side, each
// from its own font.
constexpr char TALLEST_LINE[] = "Ag\xE7\x8E\x8B\xF0\x9F\x8E\xAE";   // Ag王🎮

int line_height(GtkWidget *widget, const char *text)
{
    PangoLayout *layout = gtk_widget_create_pango_layout(widget, text);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    g_object_unref(layout);
    return height;
}

void set_shown(GtkWidget *widget, bool shown)
{
    if (shown)
        gtk_widget_show(widget);
    else
        gtk_widget_hide(widget);
}

// The dialog's table as the front has it now: a label a cell, each column as wide as its
// widest cell and aligned as the layout says, the heading row in bold, every row as tall as
// the tallest line can be, whatever scripts the names are written in. Without a table the
// message shows as it was set.
void fill_table(int id)
{
    Dialog &dialog = dialogs[id];
    if (!dialog.table)
        return;
    GList *old = gtk_container_get_children(GTK_CONTAINER(dialog.table));
    for (GList *child = old; child; child = child->next)
        gtk_widget_destroy(GTK_WIDGET(child->data));
    g_list_free(old);
    const TextTable &t = Gui::dialog_table(id);
    const DialogLayout &layout = Gui::dialog_layout(id);
    bool shown = t.rows() > 0;
    set_shown(dialog.message, !shown);
    set_shown(dialog.above, shown && !t.above.empty());
    set_shown(dialog.table, shown);
    set_shown(dialog.below, shown && !t.below.empty());
    if (!shown)
        return;
    gtk_label_set_text(GTK_LABEL(dialog.above), t.above.c_str());
    gtk_label_set_text(GTK_LABEL(dialog.below), t.below.c_str());
    gtk_table_resize(GTK_TABLE(dialog.table), static_cast<guint>(t.rows()), static_cast<guint>(t.columns));
    std::vector<GtkWidget *> cells;
    int height = line_height(dialog.table, TALLEST_LINE);
    for (int row = 0; row < t.rows(); row++)
        for (int column = 0; column < t.columns; column++) {
            GtkWidget *cell = gtk_label_new(nullptr);
            if (row == 0) {
                char *markup = g_markup_printf_escaped("<b>%s</b>", t.cell(row, column).c_str());
                gtk_label_set_markup(GTK_LABEL(cell), markup);
                g_free(markup);
            } else {
                gtk_label_set_text(GTK_LABEL(cell), t.cell(row, column).c_str());
            }
            gtk_misc_set_alignment(GTK_MISC(cell), layout.column_align[column] == ALIGN_RIGHT ? 1 : 0, 0.5);
            guint x = static_cast<guint>(column), y = static_cast<guint>(row);
            gtk_table_attach(GTK_TABLE(dialog.table), cell, x, x + 1, y, y + 1, GTK_FILL, GTK_FILL, 0, 0);
            gtk_widget_show(cell);
            height = MAX(height, line_height(cell, t.cell(row, column).c_str()));
            cells.push_back(cell);
        }
    for (GtkWidget *cell : cells)
        gtk_widget_set_size_request(cell, -1, height);
}

// The window manager's close button and the Escape key (which GtkDialog turns into a
// close request) dismiss the dialog like "Cancel": no game action runs, and the
// dialog is only hidden, never destroyed, so it can come up again. For the name
// dialog this means the score is not recorded, as with any unconfirmed name.
gboolean on_dialog_delete(GtkWidget *window, GdkEvent *, gpointer)
{
    int id = dialog_id(window);
    if (id >= 0)
        dismiss(id);
    return TRUE;
}

// The name entry takes only what fits the table's name field (Gui::entry_takes), so what the
// player sees is what is saved.
void on_name_insert(GtkEditable *editable, gchar *text, gint length, gint *position, gpointer)
{
    int used = static_cast<int>(strlen(gtk_entry_get_text(GTK_ENTRY(editable))));
    int offered = length < 0 ? static_cast<int>(strlen(text)) : length;
    std::string taken = Gui::entry_takes(DIALOG_ENTER_NAME, used, text, offered);
    if (taken.size() == static_cast<size_t>(offered))   // all of it: nothing was left out
        return;
    g_signal_stop_emission_by_name(editable, "insert-text");
    if (taken.empty()) {
        gtk_widget_error_bell(GTK_WIDGET(editable));
        return;
    }
    g_signal_handlers_block_by_func(editable, reinterpret_cast<gpointer>(on_name_insert), nullptr);
    gtk_editable_insert_text(editable, taken.data(), static_cast<gint>(taken.size()), position);
    g_signal_handlers_unblock_by_func(editable, reinterpret_cast<gpointer>(on_name_insert), nullptr);
}

void add_button(int id, const char *label, GCallback handler)
{
    GtkWidget *button = gtk_button_new_with_label(label);
    g_signal_connect_swapped(button, "clicked", handler, GINT_TO_POINTER(id));
    gtk_container_add(GTK_CONTAINER(gtk_dialog_get_action_area(GTK_DIALOG(dialogs[id].window))), button);
    gtk_widget_show(button);
}

void add_shown(GtkWidget *container, GtkWidget *child)
{
    gtk_container_add(GTK_CONTAINER(container), child);
    gtk_widget_show(child);
}

// The width a dialog needs for its title in the frame a window manager draws: the title in
// bold, and room for the frame's icon and buttons (a few of them, each about as wide as the
// title is high). A narrower frame shortens the title to "Sc..." or less.
int width_for_title(GtkWidget *window, const char *title)
{
    PangoLayout *layout = gtk_widget_create_pango_layout(window, title);
    PangoAttrList *bold = pango_attr_list_new();
    pango_attr_list_insert(bold, pango_attr_weight_new(PANGO_WEIGHT_BOLD));
    pango_layout_set_attributes(layout, bold);
    pango_attr_list_unref(bold);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    g_object_unref(layout);
    return width + 6 * height;
}

void build_dialog(int id, Image *logo, Image *icon, Image *about)
{
    const DialogLayout &layout = Gui::dialog_layout(id);
    Dialog &dialog = dialogs[id];
    GtkWidget *window = gtk_dialog_new();
    dialog.window = window;
    gtk_window_set_modal(GTK_WINDOW(window), TRUE);
    // Sized to what it shows, like the main window: a window manager frames both alike, and
    // the room a dialog has on the screen is reckoned with the main window's frame.
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_title(GTK_WINDOW(window), Gui::menu_label(id));
    dialog.title_width = width_for_title(window, Gui::menu_label(id));
    gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(GtkShared::main_window()));
    g_signal_connect(window, "delete-event", G_CALLBACK(on_dialog_delete), nullptr);
    // A little room around the text, so the messages do not touch the frame.
    gtk_container_set_border_width(GTK_CONTAINER(window), 8);
    // Everything above the buttons lies in a box that scrolls when the dialog is taller than
    // the screen has room for (large fonts, a small screen): the buttons stay in reach.
    dialog.scroller = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(dialog.scroller), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    // The keyboard goes to the entry or the buttons, as before: Return still confirms.
    gtk_widget_set_can_focus(dialog.scroller, FALSE);
    GtkWidget *content = gtk_vbox_new(FALSE, 0);
    dialog.body = content;
    gtk_scrolled_window_add_with_viewport(GTK_SCROLLED_WINDOW(dialog.scroller), content);
    GtkWidget *viewport = gtk_bin_get_child(GTK_BIN(dialog.scroller));
    gtk_viewport_set_shadow_type(GTK_VIEWPORT(viewport), GTK_SHADOW_NONE);
    gtk_widget_show(viewport);
    gtk_widget_show(content);
    add_shown(gtk_dialog_get_content_area(GTK_DIALOG(window)), dialog.scroller);
#if GTK_CHECK_VERSION(3, 0, 0)
    // GTK 3 puts the buttons right under the body, an entry's frame touching theirs; GTK 2
    // keeps a few pixels between them. The same room here.
    gtk_box_set_spacing(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(window))), 6);
#endif

    const char *text = Gui::dialog_text(id);
    switch (layout.kind) {
    case MESSAGE_DIALOG: {
        // Pictures to the left of the message.
        GtkWidget *box = gtk_hbox_new(FALSE, 0);
        gtk_container_set_border_width(GTK_CONTAINER(box), 6);
        if (layout.pictures == ICON_PICTURE)
            add_shown(box, GtkToolkit::picture(icon));
        dialog.message = gtk_label_new(text);
        if (layout.table_columns > 0) {
            // The message, or in its place the table with the lines above and below it; which
            // of them shows is settled each time the dialog comes up (fill_table).
            GtkWidget *column = gtk_vbox_new(FALSE, 8);
            dialog.above = gtk_label_new(nullptr);
            dialog.table = gtk_table_new(1, static_cast<guint>(layout.table_columns), FALSE);
            gtk_table_set_col_spacings(GTK_TABLE(dialog.table), 16);
            dialog.below = gtk_label_new(nullptr);
            for (GtkWidget *part : {dialog.message, dialog.above, dialog.table, dialog.below}) {
                if (GTK_IS_MISC(part))
                    gtk_misc_set_alignment(GTK_MISC(part), 0, 0.5);
                gtk_widget_set_no_show_all(part, TRUE);
                gtk_box_pack_start(GTK_BOX(column), part, FALSE, FALSE, 0);
            }
            gtk_widget_show(dialog.message);
            add_shown(box, column);
        } else {
            add_shown(box, dialog.message);
        }
        add_shown(content, box);
        // Shown only when the front has choices for it, never by the showing of the dialog.
        dialog.choices = gtk_hbox_new(FALSE, 8);
        gtk_widget_set_no_show_all(dialog.choices, TRUE);
        gtk_container_set_border_width(GTK_CONTAINER(dialog.choices), 6);
        gtk_container_add(GTK_CONTAINER(content), dialog.choices);
        break;
    }
    case ENTRY_DIALOG:
        add_shown(content, gtk_label_new(text));
        dialog.entry = gtk_entry_new();
        gtk_entry_set_max_length(GTK_ENTRY(dialog.entry), Gui::ENTRY_CHARS);
        if (id == DIALOG_ENTER_NAME)
            g_signal_connect(dialog.entry, "insert-text", G_CALLBACK(on_name_insert), nullptr);
        if (const char *initial = Gui::entry_text(id))
            gtk_entry_set_text(GTK_ENTRY(dialog.entry), initial);
        // Enter in the entry does exactly what "OK" does.
        g_signal_connect_swapped(dialog.entry, "activate", G_CALLBACK(on_main_button), GINT_TO_POINTER(id));
        add_shown(content, dialog.entry);
        break;
    case PICTURE_DIALOG:
        add_shown(content, GtkToolkit::picture(logo));
        if (layout.pictures == LOGO_AND_ABOUT_PICTURES)
            add_shown(content, GtkToolkit::picture(about));
        if (text)
            add_shown(content, gtk_label_new(text));
        break;
    }
    add_button(id, layout.main_button, G_CALLBACK(on_main_button));
    if (layout.cancel)
        add_button(id, "Cancel", G_CALLBACK(on_cancel_button));
    // Realized now, so that the dialog's window has its natural size before it is first shown.
    gtk_widget_realize(window);
}

// The size the widget asks for to show all of itself.
GtkRequisition natural_size(GtkWidget *widget)
{
    GtkRequisition size = {0, 0};
#if GTK_CHECK_VERSION(3, 0, 0)
    gtk_widget_get_preferred_size(widget, nullptr, &size);
#else
    gtk_widget_size_request(widget, &size);
#endif
    return size;
}

// The body shows whole when the dialog fits the room the screen has for it; otherwise it is
// cut to fit, with a scroll bar. And the dialog is wide enough for its title. Asked each
// time: a text may have changed, or the screen.
void fit_to_screen(Dialog &dialog)
{
    gtk_widget_set_size_request(dialog.scroller, -1, -1);
    GtkRequisition body = natural_size(dialog.body);
    gtk_widget_set_size_request(dialog.scroller, body.width, body.height);
    GtkRequisition whole = natural_size(dialog.window);
    // The body widens the dialog to its title's width.
    int width = body.width + MAX(0, dialog.title_width - whole.width);
    int room = GtkShared::room_for_dialogs().height;
    if (whole.height > room) {
        // A few lines at least, however small the screen.
        constexpr int LEAST = 60;
        int bar = natural_size(gtk_scrolled_window_get_vscrollbar(GTK_SCROLLED_WINDOW(dialog.scroller))).width;
        gtk_widget_set_size_request(dialog.scroller, width + bar + 4, MAX(LEAST, body.height - (whole.height - room)));
    } else {
        gtk_widget_set_size_request(dialog.scroller, width, body.height);
    }
}

} // namespace

namespace GtkShared {

void build_dialogs(Image *logo, Image *icon, Image *about)
{
    for (int id = 0; id < DIALOG_COUNT; id++)
        build_dialog(id, logo, icon, about);
}

void show_dialog(int id)
{
    Dialog &dialog = dialogs[id];
    if (!dialog.window)
        return; // nothing to wait for before the dialogs are built
    // Already up and waited for: one wait per dialog. A second nested loop would be
    // ended by the dialog's own button out of order, so the second caller only raises it.
    if (dialog.wait_level != 0) {
        if (!dialog.dismissed)
            gtk_window_present(GTK_WINDOW(dialog.window));
        return;
    }
    // The keyboard goes to the dialog's entry, if it has one, with the text left from last
    // time selected: typing replaces it and Enter keeps it. Without this a click on "OK" last
    // time leaves the keyboard on the button, or a new number is typed after the old one.
    if (dialog.entry)
        gtk_widget_grab_focus(dialog.entry);
    fill_choices(id);
    fill_table(id);
    fit_to_screen(dialog);
    GtkToolkit::show_centred(dialog.window);

    dialog.dismissed = false;
    dialog.wait_level = gtk_main_level() + 1;
    gtk_main();
    dialog.wait_level = 0;
    dialog.dismissed = false;
    // Time spent in a dialog is not time the player left the game alone.
    GtkShared::player_acted();
    end_dismissed_waits();
    GtkShared::report_pointer_place_soon();
}

bool dialog_waiting()
{
    for (const Dialog &dialog : dialogs)
        if (dialog.wait_level != 0)
            return true;
    return false;
}

void set_dialog_text(int id, const char *text)
{
    // Only message dialogs have a message; the others keep their texts.
    if (dialogs[id].message)
        gtk_label_set_text(GTK_LABEL(dialogs[id].message), text); // the label keeps its own copy
}

} // namespace GtkShared
