// Session: the game's calls, each to the game recorded or to the recording watched.
#include "game/session.h"
#include "game/session_testing.h"

#include "game/game.h"
#include "game/recorder.h"
#include "game/replay.h"
#include "game/watch.h"
#include "recording/recordings.h"
#include "scores/high_scores.h"
#include "sound/sound.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
bool ticking = false;               // inside a tick (which may wait in a dialog)
std::string pending_watch;          // picked in a dialog of a tick: watched once it is over
std::string last_refreshed_save;    // the last saved game the choices know of
std::vector<std::string> choice_paths; // the recordings the High Scores dialog offers
Recording command_line;             // --replay's recording
std::string command_line_path;
} // namespace

namespace {

const char WATCH_CAPTION[] = "Watch again:";

// Reads a whole recording and checks it can be played on this field.
bool read_playable(const std::string &path, Recording &recording, std::string *reason)
{
    if (!Recordings::read(path.c_str(), recording, reason) || !Replay::playable(recording, reason))
        return false;
    if (recording.size != Game::screen_size()) {
        if (reason)
            *reason = "recorded on a field of " + std::to_string(recording.size) + " pixels, this one has " +
                  std::to_string(Game::screen_size());
        return false;
    }
    return true;
}

// Leaves whatever goes on (a game played is saved as left, a recording watched stops) and
// watches the recording in the file.
void watch_file(const std::string &path, int mode)
{
    Recording recording;
    std::string reason;
    if (!read_playable(path, recording, &reason)) {
        fprintf(stderr, "glimpwatch: %s: %s\n", path.c_str(), reason.c_str());
        return;
    }
    Watch::stop();
    Recorder::leave();
    Watch::begin(recording, mode, path);
}

// On the title screen, left alone: the player's best game on this field, else the demo.
void attract()
{
    std::string best;
    int best_score = 0;
    for (const RecordingFile &f : Recordings::list())
        if (f.header.size == Game::screen_size() && f.header.ticks > 0 && f.header.score > best_score) {
            best = f.path;
            best_score = f.header.score;
        }
    for (const std::string &path : {best, Recordings::demo_path()}) {
        Recording recording;
        if (!path.empty() && read_playable(path, recording, nullptr)) {
            Watch::begin(recording, Watch::ATTRACT, path);
            return;
        }
    }
}

void tick()
{
    if (ticking)
        return;
    ticking = true;
    if (Watch::active())
        Watch::tick();
    else
        Recorder::tick();
    ticking = false;
    if (Recorder::last_saved() != last_refreshed_save)
        Session::refresh_table_choices();
    if (!pending_watch.empty()) {
        std::string path;
        path.swap(pending_watch);
        watch_file(path, Watch::FROM_TABLE);
    }
}

void button_press(int x, int y)
{
    if (Watch::active())
        Watch::input();
    else
        Recorder::button_press(x, y);
}

// Beside the field nothing is played, but a game on the title screen stops for it.
void clicked_off_field() { Watch::input(); }

void button_release(int x, int y)
{
    if (!Watch::active())
        Recorder::button_release(x, y);
}

void start(int level)
{
    Watch::stop();
    Recorder::start(level);
}

void warp_to_level(int level)
{
    if (Watch::active() && level <= 0)
        return;
    Watch::stop();
    Recorder::warp_to_level(level);
}

void add_high_score(const char *name)
{
    Recorder::add_high_score(name);
    Session::refresh_table_choices();
}

void quit()
{
    // The --replay program has nothing of the player's to save, and never touches the table.
    if (Watch::active() && Watch::mode() == Watch::COMMAND_LINE)
        exit(0);
    Watch::stop();
    Recorder::quit();
    Game::quit();
}

void pointer_left()
{
    if (Watch::active())
        Watch::input();
    else
        Recorder::note(INPUT_LEAVE);
}

void pointer_entered()
{
    if (Watch::active())
        Watch::input();
    else
        Recorder::note(INPUT_ENTER);
}

void menu_dialog(int id, int up)
{
    if (Watch::active()) {
        if (Watch::mode() == Watch::ATTRACT)
            Watch::stop();
        else
            Watch::hold(up != 0);
        return;
    }
    if (!up)
        return;
    if (id == DIALOG_PAUSE)
        Recorder::note(INPUT_PAUSE);
    else if (id == DIALOG_HIGH_SCORES)
        Session::refresh_table_choices();
}

int key_pressed(int key) { return Watch::key(key); }

void player_idle()
{
    if (!Watch::active() && !ticking && Game::state() == WAITING)
        attract();
}

void dialog_chosen(int id, int choice)
{
    if (id != DIALOG_HIGH_SCORES || choice < 0 || choice >= static_cast<int>(choice_paths.size()))
        return;
    // The table shown at the end of a game waits inside its tick: the game ends first.
    if (ticking)
        pending_watch = choice_paths[static_cast<size_t>(choice)];
    else
        watch_file(choice_paths[static_cast<size_t>(choice)], Watch::FROM_TABLE);
}

// Filled by member name, so that no call can land in the wrong place.
constexpr GameCalls make_calls()
{
    GameCalls c{};
    c.tick = tick;
    c.button_press = button_press;
    c.button_release = button_release;
    c.start = start;
    c.warp_to_level = warp_to_level;
    c.add_high_score = add_high_score;
    c.quit = quit;
    c.choose_sound = Sound::choose;
    c.pointer_left = pointer_left;
    c.pointer_entered = pointer_entered;
    c.menu_dialog = menu_dialog;
    c.key_pressed = key_pressed;
    c.player_idle = player_idle;
    c.dialog_chosen = dialog_chosen;
    c.clicked_off_field = clicked_off_field;
    return c;
}

constexpr GameCalls CALLS = make_calls();

} // namespace

namespace Session {

const GameCalls *calls() { return &CALLS; }

int read_for_watching(const char *path)
{
    std::string reason;
    if (!Recordings::read(path, command_line, &reason) || !Replay::playable(command_line, &reason)) {
        fprintf(stderr, "%s: %s\n", path, reason.c_str());
        exit(1);
    }
    command_line_path = path;
    return command_line.size;
}

void watch_what_was_read() { Watch::begin(command_line, Watch::COMMAND_LINE, command_line_path); }

void refresh_table_choices()
{
    last_refreshed_save = Recorder::last_saved();
    std::vector<RecordingFile> files = Recordings::list();
    std::vector<bool> used(files.size(), false);
    std::vector<std::string> labels;
    choice_paths.clear();
    for (int i = 0; i < HIGH_SCORE_COUNT; i++) {
        const HighScoreEntry &entry = HighScores::entry(i);
        for (std::size_t k = 0; k < files.size(); k++) {
            const Recording &h = files[k].header;
            if (used[k] || h.ending != ENDED_OVER || h.size != Game::screen_size() || h.score != entry.score ||
                h.final_level != entry.level || h.name != entry.name)
                continue;
            used[k] = true;
            labels.push_back("#" + std::to_string(i + 1));
            choice_paths.push_back(files[k].path);
            break;
        }
    }
    std::vector<const char *> texts;
    for (const std::string &l : labels)
        texts.push_back(l.c_str());
    Gui::set_dialog_choices(DIALOG_HIGH_SCORES, WATCH_CAPTION, texts.data(), static_cast<int>(texts.size()));
}

void reset_for_tests()
{
    ticking = false;
    pending_watch.clear();
    last_refreshed_save.clear();
    choice_paths.clear();
    command_line = Recording();
    command_line_path.clear();
    Recorder::reset_for_tests();
    Watch::reset_for_tests();
}

} // namespace Session
