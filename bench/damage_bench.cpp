// The changed rectangles between two consecutive frames at peak load: what a back end that
// redraws only what changed computes every tick, before it draws anything.
#include "bench/alloc_count.h"
#include "bench/null_gui.h"
#include "bench/world.h"
#include "game/game.h"
#include "gui/damage.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

constexpr int LEVEL = 40;
constexpr unsigned SEED = 1;
constexpr int WARM_UP_LIMIT = 5000;
constexpr long WARM_UP_FRAMES = 20;   // the comparisons that may still grow the buffers

// Each iteration plays one tick (untimed, recorded by the null back end) and times only the
// comparison of its frame with the one before. The counters show the frame's calls, the
// rectangles found, the share of the field they cover and what the comparison allocated.
void BM_ChangedRegionsAtPeak(benchmark::State &state)
{
    const int size = static_cast<int>(state.range(0));
    Damage::Frame frames[2];
    Damage::Changes changes;
    Damage::prepare(changes, size, size);
    NullGui::record_frames(&frames[0]);
    World::start_at_peak(size, LEVEL, SEED, WARM_UP_LIMIT);
    int current = 0;
    double calls = 0, rects = 0, area = 0, allocations = 0, restarts = 0;
    long iteration = 0;
    for (auto _ : state) {
        current = 1 - current;
        NullGui::record_frames(&frames[current]);
        World::keep_network_up();
        Game::tick();
        if (Game::state() != PLAYING) {
            restarts++;
            World::start_at_peak(size, LEVEL, SEED + static_cast<unsigned>(restarts), WARM_UP_LIMIT);
        }
        long allocations_before = AllocCount::allocations();
        auto begin = std::chrono::steady_clock::now();
        Damage::compare(frames[1 - current], frames[current], changes);
        auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
        if (++iteration > WARM_UP_FRAMES)
            allocations += static_cast<double>(AllocCount::allocations() - allocations_before);
        calls += static_cast<double>(frames[current].calls.size());
        rects += static_cast<double>(changes.rects.size());
        for (const Damage::Box &r : changes.rects)
            area += static_cast<double>(r.w) * r.h;
    }
    NullGui::record_frames(nullptr);
    using benchmark::Counter;
    state.counters["calls"] = Counter(calls, Counter::kAvgIterations);
    state.counters["rects"] = Counter(rects, Counter::kAvgIterations);
    state.counters["changed_pct"] =
        Counter(100.0 * area / (static_cast<double>(size) * size), Counter::kAvgIterations);
    state.counters["allocs"] = allocations;
    state.counters["restarts"] = restarts;
}

} // namespace

BENCHMARK(BM_ChangedRegionsAtPeak)->Arg(400)->Arg(4000)->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
