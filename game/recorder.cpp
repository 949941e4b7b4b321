// Recorder: the game played, its inputs by tick, saved when it ends.
#include "game/recorder.h"
#include "game/session_testing.h"

#include "base/random.h"
#include "field/bucket.h"
#include "game/game.h"
#include "recording/recordings.h"
#include "scores/player_name.h"

#include <climits>
#include <cstdio>
#include <ctime>
#include <random>

namespace {
bool active = false;
Recording current;
std::time_t started = 0;
std::string saved_path;     // the last game saved
Recording saved;            // and what was saved there
bool said_unsaved = false;  // the one message of a run about games not recorded
unsigned seeds_made = 0;
bool seed_given = false;    // by a test
unsigned given_seed = 0;
} // namespace

namespace {

// A seed no other game gets: the system's randomness where there is some, mixed with the
// clock and a count, so that two games of one second differ anyway.
unsigned fresh_seed()
{
    if (seed_given) {
        seed_given = false;
        return given_seed;
    }
    unsigned seed = 0;
    try {
        std::random_device device;
        seed = device();
    } catch (...) {
    }
    seeds_made++;
    return seed ^ static_cast<unsigned>(time(nullptr)) ^ (seeds_made * 2654435761u);
}

void record(int input, int x, int y)
{
    if (active)
        current.events.push_back(RecordedEvent{current.ticks, input, x, y});
}

// The game recorded is over: its file is written now. A directory that cannot be written is
// said once, and the game goes on.
void finish(int ending)
{
    if (!active)
        return;
    active = false;
    current.ending = ending;
    current.score = Game::score();
    current.final_level = Game::level();
    std::string reason;
    if (Recordings::save(current, started, &saved_path, &reason)) {
        saved = std::move(current);
    } else {
        saved_path.clear();
        if (!said_unsaved)
            fprintf(stderr, "glimpwatch: games are not recorded: %s\n", reason.c_str());
        said_unsaved = true;
    }
    current = Recording();
}

} // namespace

namespace Recorder {

void start(int level)
{
    finish(ENDED_LEFT);
    current = Recording();
    current.seed = fresh_seed();
    current.size = Game::screen_size();
    current.level = level;
    current.final_level = level;
    current.bucket_held = Bucket::grabbed() != 0;
    started = time(nullptr);
    active = true;
    Random::seed(current.seed);
    Game::start(level);
}

void warp_to_level(int level)
{
    if (Game::state() == PLAYING) {
        record(INPUT_WARP, level, 0);
        Game::warp_to_level(level);
    } else if (level > 0) {
        start(level);
    }
}

void tick()
{
    Game::tick();
    if (!active)
        return;
    if (current.ticks < INT_MAX)
        current.ticks++;
    if (Game::state() == GAME_OVER)
        finish(ENDED_OVER);
}

void button_press(int x, int y)
{
    record(INPUT_PRESS, x, y);
    Game::button_press(x, y);
}

void button_release(int x, int y)
{
    record(INPUT_RELEASE, x, y);
    Game::button_release(x, y);
}

void note(int input) { record(input, 0, 0); }

void add_high_score(const char *name)
{
    Game::add_high_score(name);
    // The name goes with the game just lost, as the table keeps it.
    std::string kept = PlayerName::clean(name);
    if (saved_path.empty() || saved.ending != ENDED_OVER || kept.empty())
        return;
    saved.name = kept;
    std::string reason;
    if (!Recordings::rewrite(saved_path, saved, &reason) && !said_unsaved) {
        fprintf(stderr, "glimpwatch: games are not recorded: %s\n", reason.c_str());
        said_unsaved = true;
    }
}

void quit() { finish(ENDED_QUIT); }
void leave() { finish(ENDED_LEFT); }
bool recording() { return active; }
const std::string &last_saved() { return saved_path; }

void reset_for_tests()
{
    active = false;
    current = Recording();
    saved = Recording();
    saved_path.clear();
    said_unsaved = false;
    seed_given = false;
}

void set_next_seed_for_tests(unsigned seed)
{
    seed_given = true;
    given_seed = seed;
}

} // namespace Recorder
