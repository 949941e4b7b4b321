// One PLAYING tick at peak load: every Glimp of level 40 on the field, sparks on the wires.
#include "bench/alloc_count.h"
#include "bench/null_gui.h"
#include "bench/world.h"
#include "field/network.h"
#include "field/swarm.h"
#include "game/game.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

namespace {

constexpr int LEVEL = 40;
constexpr unsigned SEED = 1;
constexpr int WARM_UP_LIMIT = 5000;

// Tick times in 10 ns bins up to 100 us: the median and the 99th percentile of single ticks
// are hardly moved by the odd tick that another process on the machine interrupts, which
// the mean of the benchmark's own figure takes in full.
class TickHistogram {
public:
    TickHistogram() : bins_(BINS, 0) {}
    void add(double seconds)
    {
        auto bin = static_cast<long long>(seconds * 1e8);
        bins_[static_cast<size_t>(std::min<long long>(std::max(bin, 0LL), BINS - 1))]++;
        count_++;
    }
    // The time below which the given share of the ticks fell, in microseconds.
    double percentile_us(double share) const
    {
        auto wanted = static_cast<uint64_t>(share * static_cast<double>(count_));
        uint64_t seen = 0;
        for (size_t i = 0; i < bins_.size(); i++) {
            seen += bins_[i];
            if (seen > wanted)
                return (static_cast<double>(i) + 0.5) / 100.0;
        }
        return static_cast<double>(BINS) / 100.0;
    }

private:
    static constexpr long long BINS = 10000;
    std::vector<uint64_t> bins_;
    uint64_t count_ = 0;
};

// Glimps can enter only on ticks whose count is a multiple of the level's interval.
bool glimps_may_enter()
{
    int interval = std::max(10, 14 - Game::level() / 3);
    return Game::ticks() % interval == 0;
}

// Only Game::tick is timed; the keeper runs between ticks, as the player does in the 200 ms
// between two frames. The counters show the load the ticks ran under, and what they allocated.
void BM_PlayingTickAtPeak(benchmark::State &state)
{
    const int size = static_cast<int>(state.range(0));
    World::start_at_peak(size, LEVEL, SEED, WARM_UP_LIMIT);
    double glimps = 0, sparks = 0, draws = 0, allocations = 0, quiet_allocations = 0;
    double restarts = 0;
    TickHistogram histogram;
    for (auto _ : state) {
        World::keep_network_up();
        bool may_enter = glimps_may_enter();
        long allocations_before = AllocCount::allocations();
        long draws_before = NullGui::draw_calls();
        auto begin = std::chrono::steady_clock::now();
        Game::tick();
        auto end = std::chrono::steady_clock::now();
        double seconds = std::chrono::duration<double>(end - begin).count();
        state.SetIterationTime(seconds);
        histogram.add(seconds);

        long allocated = AllocCount::allocations() - allocations_before;
        allocations += static_cast<double>(allocated);
        if (!may_enter)
            quiet_allocations += static_cast<double>(allocated);
        draws += static_cast<double>(NullGui::draw_calls() - draws_before);
        glimps += Swarm::counter(ON_FIELD);
        sparks += World::active_sparks();
        // The keeper leaves a margin, so this should never happen; a lost game starts over.
        if (Game::state() != PLAYING) {
            restarts++;
            World::start_at_peak(size, LEVEL, SEED + static_cast<unsigned>(restarts),
                                 WARM_UP_LIMIT);
        }
    }
    using benchmark::Counter;
    state.counters["p50_us"] = histogram.percentile_us(0.5);
    state.counters["p99_us"] = histogram.percentile_us(0.99);
    state.counters["glimps"] = Counter(glimps, Counter::kAvgIterations);
    state.counters["sparks"] = Counter(sparks, Counter::kAvgIterations);
    state.counters["computers"] = Network::computer_count();
    state.counters["wires"] = Network::wire_count();
    state.counters["draws"] = Counter(draws, Counter::kAvgIterations);
    state.counters["allocs"] = Counter(allocations, Counter::kAvgIterations);
    state.counters["quiet_allocs"] = quiet_allocations;
    state.counters["restarts"] = restarts;
}

} // namespace

BENCHMARK(BM_PlayingTickAtPeak)->Arg(400)->Arg(1000)->Arg(2000)->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
