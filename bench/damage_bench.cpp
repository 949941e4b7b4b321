// The drawing layer at peak load: what a back end that redraws only what changed does every
// tick once the game has drawn, the comparison of the frame with the one on the screen and
// the redraw of the changed rectangles, through a painter that draws nothing.
#include "bench/null_gui.h"
#include "bench/world.h"
#include "game/game.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int LEVEL = 40;
constexpr unsigned SEED = 1;
constexpr int WARM_UP_LIMIT = 5000;
constexpr long WARM_UP_FRAMES = 20;   // the presents that may still grow the buffers

// Each iteration plays one tick and times only its present. The counters show the frame's
// calls redrawn, the rectangles found, the share of the field they cover and what the layer
// allocated.
void BM_PresentAtPeak(benchmark::State &state)
{
    const int size = static_cast<int>(state.range(0));
    NullGui::use_drawing_layer(true);
    World::start_at_peak(size, LEVEL, SEED, WARM_UP_LIMIT);
    double calls = 0, rects = 0, area = 0, allocations = 0, restarts = 0;
    long iteration = 0;
    for (auto _ : state) {
        World::keep_network_up();
        Game::tick();
        state.SetIterationTime(NullGui::last_present_seconds());
        NullGui::Redrawn redrawn = NullGui::last_redrawn();
        if (++iteration > WARM_UP_FRAMES)
            allocations += static_cast<double>(redrawn.allocations);
        calls += static_cast<double>(redrawn.calls);
        rects += static_cast<double>(redrawn.rects);
        area += static_cast<double>(redrawn.area);
        if (Game::state() != PLAYING) {
            restarts++;
            World::start_at_peak(size, LEVEL, SEED + static_cast<unsigned>(restarts), WARM_UP_LIMIT);
        }
    }
    using benchmark::Counter;
    state.counters["calls"] = Counter(calls, Counter::kAvgIterations);
    state.counters["rects"] = Counter(rects, Counter::kAvgIterations);
    state.counters["changed_pct"] =
        Counter(100.0 * area / (static_cast<double>(size) * size), Counter::kAvgIterations);
    state.counters["allocs"] = allocations;
    state.counters["restarts"] = restarts;
    NullGui::use_drawing_layer(false);
}

} // namespace

BENCHMARK(BM_PresentAtPeak)->Arg(400)->Arg(4000)->UseManualTime()->Unit(benchmark::kMicrosecond);
