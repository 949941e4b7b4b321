// One level set-up: the Swarm emptied and refilled, the computers placed and wired.
#include "bench/world.h"
#include "field/network.h"
#include "game/game.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

constexpr int LEVEL = 12;
constexpr unsigned SEEDS = 8;   // a few different fields, the same ones on every run

void BM_LevelSetup(benchmark::State &state)
{
    const int size = static_cast<int>(state.range(0));
    World::start(size, LEVEL, 1);
    unsigned round = 0;
    for (auto _ : state) {
        srand(1 + round++ % SEEDS);
        Game::setup_level(LEVEL);
    }
    state.counters["computers"] = Network::computer_count();
    state.counters["wires"] = Network::wire_count();
}

} // namespace

BENCHMARK(BM_LevelSetup)->Arg(400)->Arg(1000)->Arg(2000)->Arg(4000)
    ->Unit(benchmark::kMicrosecond);
