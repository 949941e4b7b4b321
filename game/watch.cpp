// Watch: the replay in the window, its speed, its pause and its end.
#include "game/watch.h"
#include "game/session_testing.h"

#include "game/game.h"
#include "game/replay.h"
#include "gui/gui.h"
#include "sound/sound.h"

#include <cstdio>
#include <cstdlib>

namespace {
bool active_ = false;
int mode_ = Watch::COMMAND_LINE;
Recording recording;
std::string source;
int speed = 1;        // 1, 2, 4 or 8 ticks in the time of one
bool paused = false;  // by Space
bool held = false;    // by a dialog of the menu
bool stepping = false;
bool replayed = false; // every recorded tick and input is in
} // namespace

namespace {

constexpr int FASTEST = 8;

// The ticker runs while neither Space nor a dialog holds the recording.
void run_ticker()
{
    if (paused || held)
        Gui::stop_ticker();
    else
        Gui::start_ticker();
}

void end(bool played_wrong)
{
    active_ = false;
    paused = held = false;
    Gui::set_ticker_period(Gui::TICK_MS);
    Gui::set_watching(NOT_WATCHING);
    Sound::hush(false);
    if (Game::state() != WAITING)
        Game::show_title();
    if (mode_ == Watch::COMMAND_LINE)
        exit(played_wrong ? 1 : 0);
}

} // namespace

namespace Watch {

void begin(const Recording &r, int m, const std::string &from)
{
    recording = r;
    source = from;
    mode_ = m;
    active_ = true;
    speed = 1;
    paused = held = stepping = replayed = false;
    Gui::set_watching(m == ATTRACT ? WATCHING_QUIETLY : WATCHING);
    Sound::hush(m == ATTRACT);
    Gui::set_ticker_period(Gui::TICK_MS);
    Replay::begin(recording);
}

bool active() { return active_; }
int mode() { return mode_; }

void tick()
{
    // A dialog of the recorded game waits in the tick before: the ticker may still fire.
    if (!active_ || stepping)
        return;
    stepping = true;
    if (replayed) {
        // The lost game's own last tick: the End Game dialog as the player saw it, then
        // the title screen.
        Game::tick();
        end(false);
    } else {
        Replay::Step step = Replay::step();
        if (step == Replay::WENT_ASTRAY) {
            fprintf(stderr, "%s: %s\n", source.c_str(), Replay::astray_reason().c_str());
            end(true);
        } else if (step == Replay::FINISHED) {
            replayed = true;
            // Quietly there are no dialogs to show: a lost game goes straight to the title.
            if (recording.ending != ENDED_OVER || mode_ == ATTRACT)
                end(false);
        }
    }
    stepping = false;
}

int key(int k)
{
    if (!active_)
        return 0;
    if (mode_ == ATTRACT) {
        stop();
        return 1;
    }
    switch (k) {
    case KEY_SPACE:
        paused = !paused;
        run_ticker();
        return 1;
    case KEY_PLUS:
    case KEY_MINUS:
        speed = k == KEY_PLUS ? (speed < FASTEST ? speed * 2 : FASTEST) : (speed > 1 ? speed / 2 : 1);
        Gui::set_ticker_period(Gui::TICK_MS / speed);
        return 1;
    case KEY_ESCAPE:
        end(false);
        return 1;
    default:
        return 0;
    }
}

void input()
{
    if (active_ && mode_ == ATTRACT)
        stop();
}

void hold(bool h)
{
    if (!active_)
        return;
    held = h;
    run_ticker();
}

void stop()
{
    if (!active_)
        return;
    // Left for something else: even the --replay program goes on then.
    mode_ = FROM_TABLE;
    end(false);
}

void reset_for_tests()
{
    active_ = false;
    mode_ = COMMAND_LINE;
    recording = Recording();
    source.clear();
    speed = 1;
    paused = held = stepping = replayed = false;
}

} // namespace Watch
