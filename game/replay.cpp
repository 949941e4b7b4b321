// Replay: feeding a recording's inputs to the game and checking where it ends.
#include "game/replay.h"

#include "base/random.h"
#include "field/bucket.h"
#include "game/game.h"
#include "game/options.h"

namespace {
const Recording *playing = nullptr;
std::size_t next_event = 0;
int ticks = 0;
bool astray_before_end = false; // the game ended, or a warp found no level in play, too early
} // namespace

namespace {

// The inputs that came after `ticks` ticks. Leaving and entering the field and the Pause
// entry only stopped the clock, which a replay does not have.
void feed()
{
    const std::vector<RecordedEvent> &events = playing->events;
    for (; next_event < events.size() && events[next_event].tick == ticks; next_event++) {
        const RecordedEvent &e = events[next_event];
        switch (e.input) {
        case INPUT_PRESS:
            Game::button_press(e.x, e.y);
            break;
        case INPUT_RELEASE:
            Game::button_release(e.x, e.y);
            break;
        case INPUT_WARP:
            // Recorded only during play; anything else would start another game.
            if (Game::state() != PLAYING) {
                astray_before_end = true;
                return;
            }
            Game::warp_to_level(e.x);
            break;
        default:
            break;
        }
    }
}

bool ended_as_recorded()
{
    bool over = Game::state() == GAME_OVER;
    return Game::score() == playing->score && Game::level() == playing->final_level &&
           over == (playing->ending == ENDED_OVER);
}

} // namespace

namespace Replay {

bool playable(const Recording &recording, std::string *reason)
{
    if (recording.size < MIN_SCREEN_SIZE || recording.size > MAX_SCREEN_SIZE) {
        if (reason)
            *reason = "damaged: a field of " + std::to_string(recording.size) + " pixels, not one from " +
                      std::to_string(MIN_SCREEN_SIZE) + " to " + std::to_string(MAX_SCREEN_SIZE);
        return false;
    }
    return true;
}

void begin(const Recording &recording)
{
    playing = &recording;
    next_event = 0;
    ticks = 0;
    astray_before_end = false;
    Game::set_screen_size(recording.size);
    Bucket::set_grabbed(recording.bucket_held);
    Random::seed(recording.seed);
    Game::start(recording.level);
}

Step step()
{
    if (ticks < playing->ticks) {
        feed();
        // Every recorded tick but the last finds the game still going.
        if (astray_before_end || Game::state() == GAME_OVER || Game::state() == WAITING)
            return WENT_ASTRAY;
        Game::tick();
        ticks++;
        if (ticks < playing->ticks)
            return Game::state() == GAME_OVER ? WENT_ASTRAY : REPLAYING;
    }
    feed();
    return !astray_before_end && ended_as_recorded() ? FINISHED : WENT_ASTRAY;
}

int ticks_done() { return ticks; }

std::string astray_reason()
{
    std::string recorded = "Final score: " + std::to_string(playing->score) + " at level " +
                           std::to_string(playing->final_level);
    if (Game::state() == GAME_OVER && (ticks < playing->ticks || playing->ending != ENDED_OVER))
        return "does not replay as recorded: the game is lost after " + std::to_string(ticks) + " of its " +
               std::to_string(playing->ticks) + " ticks";
    if (astray_before_end)
        return "does not replay as recorded: a warp at tick " + std::to_string(ticks) + " while no level is played";
    return "does not replay as recorded: it ends with " + Game::final_line() + ", the recording says " + recorded +
           (playing->ending == ENDED_OVER && Game::state() != GAME_OVER ? " and a lost game" : "");
}

bool run(const Recording &recording, std::string *final_line, std::string *reason)
{
    if (!playable(recording, reason))
        return false;
    begin(recording);
    Step s = REPLAYING;
    while (s == REPLAYING)
        s = step();
    if (s == WENT_ASTRAY) {
        if (reason)
            *reason = astray_reason();
        return false;
    }
    if (final_line)
        *final_line = Game::final_line();
    return true;
}

} // namespace Replay
