// Replays as --check-replay plays them: 1,000 seeded games, recorded as a player played them,
// replayed to their end against the null back end (which draws nothing, as the program's
// headless back end does not).
#include "base/random.h"
#include "bench/world.h"
#include "field/glimp.h"
#include "field/swarm.h"
#include "game/game.h"
#include "game/replay.h"
#include "recording/recording.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr int GAMES = 1000;
constexpr int TICK_LIMIT = 5000;

void input(Recording &r, int tick, int kind, int x, int y)
{
    r.events.push_back(RecordedEvent{tick, kind, x, y});
    if (kind == INPUT_PRESS)
        Game::button_press(x, y);
    else
        Game::button_release(x, y);
}

// A game at level 1 on the 400 field, played by a player who clicks a Glimp every third tick
// and now and then carries the bucket about, until a moment that the seed picks; then left
// alone until it is lost. Recorded as the program records a game.
Recording play(unsigned seed)
{
    Recording r;
    r.seed = seed;
    r.size = 400;
    r.level = 1;
    World::start(r.size, r.level, 0);
    Random::seed(seed);
    Game::start(r.level);
    int keen = 50 + static_cast<int>(seed * 7919 % 600);
    int t = 0;
    for (; Game::state() != GAME_OVER && t < TICK_LIMIT; t++) {
        if (t < keen && t % 3 == 0) {
            for (Glimp *g = Swarm::on_field_head(); g; g = g->next)
                if (g->state != DYING) {
                    int x = g->x + Glimp::width() / 2, y = g->y + Glimp::height() / 2;
                    input(r, t, INPUT_PRESS, x, y);
                    input(r, t, INPUT_RELEASE, x, y);
                    break;
                }
        } else if (t < keen && t % 17 == 1) {
            input(r, t, INPUT_PRESS, 5, 5);
            input(r, t, INPUT_RELEASE, 150 + t % 100, 200);
        }
        Game::tick();
    }
    r.ticks = t;
    r.ending = Game::state() == GAME_OVER ? ENDED_OVER : ENDED_LEFT;
    r.score = Game::score();
    r.final_level = Game::level();
    return r;
}

// Replays per second of the whole games; "ticks" counts the ticks replayed per second.
void BM_CheckReplay(benchmark::State &state)
{
    World::open();
    std::vector<Recording> games;
    long long ticks = 0;
    for (unsigned seed = 1; seed <= GAMES; seed++) {
        games.push_back(play(seed));
        ticks += games.back().ticks;
    }
    long long replayed = 0, failed = 0;
    std::string line, reason;
    for (auto _ : state) {
        for (const Recording &r : games)
            failed += Replay::run(r, &line, &reason) ? 0 : 1;
        replayed += GAMES;
    }
    Random::use_standard();
    state.SetItemsProcessed(replayed);
    state.counters["ticks"] = benchmark::Counter(static_cast<double>(ticks) * static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
    state.counters["ticks_per_game"] = static_cast<double>(ticks) / GAMES;
    state.counters["failed"] = static_cast<double>(failed);
    if (failed)
        state.SkipWithError("a replay did not end as recorded");
}
BENCHMARK(BM_CheckReplay)->Unit(benchmark::kMillisecond);

} // namespace
