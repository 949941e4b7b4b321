// Redrawing only what changed shows exactly what a full redraw shows, after every tick of a
// seeded game played through several levels, a lost game and the title screen, with the
// field covered and uncovered now and then (see replay/replay.cpp).
#include "tests/e2e/harness.h"
#include "tests/scoped_env.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace e2e;

namespace {

constexpr int REPLAY_TIMEOUT_MS = 600000;

// How a replay shows the field: the screen's scale factor, the field's factor in the window
// and, for a field larger than this test's screen, a screen of its own of that size.
struct Showing {
    int scale = 1;
    int factor = 1;
    std::string screen;   // empty: the test's own
    std::string name() const
    {
        return std::to_string(scale) + "x" + (factor > 1 ? "-factor" + std::to_string(factor) : "");
    }
};

// One replay of the seeded game; returns its capture lines ("index state S level L pixels H").
std::vector<std::string> replay(int size, const Showing &showing, int ticks, bool full_redraw,
                                const WorkDir &dir, long dump = -1, const std::string &ppm = "")
{
    std::string out_path = dir.path() + (full_redraw ? "/full.txt" : "/damage.txt");
    RunResult r;
    {
        ScopedEnv env;
        std::vector<std::string> args = {"--size", std::to_string(size)};
        if (showing.screen.empty()) {
            env.set("GLIMPWATCH_E2E_BINARY", GLIMPWATCH_REPLAY_BINARY);
        } else {
            env.set("GLIMPWATCH_E2E_BINARY", source_dir() + "/scripts/with_xvfb.sh");
            args.insert(args.begin(), {"-s", showing.screen, "--", GLIMPWATCH_REPLAY_BINARY});
        }
        env.set("GDK_SCALE", std::to_string(showing.scale));
        env.set("GLIMPWATCH_REPLAY_FACTOR", std::to_string(showing.factor));
        env.set("GLIMPWATCH_REPLAY_TICKS", std::to_string(ticks));
        env.set("GLIMPWATCH_REPLAY_OUT", out_path);
        env.set("GLIMPWATCH_REPLAY_DUMP", std::to_string(dump));
        env.set("GLIMPWATCH_REPLAY_PPM", ppm);
        env.set("GLIMPWATCH_FULL_REDRAW", full_redraw ? "1" : nullptr);
        r = run_game(args, dir, {}, REPLAY_TIMEOUT_MS);
    }
    EXPECT_FALSE(r.timed_out);
    EXPECT_TRUE(r.status.exited && r.status.code == 0) << r.err;
    std::vector<std::string> lines;
    std::istringstream in(read_file(out_path));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

struct ReplayRun {
    int size;
    Showing showing;
    int ticks;
    std::vector<const char *> reached;
};

// Both redraws of each run, capture for capture; a capture that differs is saved from both.
void compare_redraws(const std::vector<ReplayRun> &runs)
{
    for (const ReplayRun &run : runs) {
        int size = run.size;
        SCOPED_TRACE("field " + std::to_string(size) + " at " + run.showing.name());
        WorkDir dir;
        dir.link_pixmaps();
        std::vector<std::string> damage = replay(size, run.showing, run.ticks, false, dir);
        std::vector<std::string> full = replay(size, run.showing, run.ticks, true, dir);
        ASSERT_GT(damage.size(), static_cast<size_t>(run.ticks));
        ASSERT_EQ(damage.size(), full.size());

        // The game went where the comparison is meant to look.
        std::set<std::string> seen;
        for (const std::string &line : full) {
            std::istringstream words(line);
            std::string index, state_word, state, level_word, level;
            words >> index >> state_word >> state >> level_word >> level;
            seen.insert("state " + state);
            seen.insert("level " + level);
        }
        for (const char *wanted : run.reached)
            EXPECT_TRUE(seen.count(wanted)) << "the replay never reached " << wanted;

        for (size_t i = 0; i < full.size(); i++) {
            if (damage[i] == full[i])
                continue;
            std::string name = test_artifact_name() + "-" + std::to_string(size) + "-" + run.showing.name() +
                               "-capture-" + std::to_string(i);
            replay(size, run.showing, run.ticks, false, dir, static_cast<long>(i),
                   artifacts_dir() + "/" + name + "-damage.ppm");
            replay(size, run.showing, run.ticks, true, dir, static_cast<long>(i),
                   artifacts_dir() + "/" + name + "-full.ppm");
            FAIL() << "capture " << i << " differs: " << damage[i] << " against " << full[i]
                   << "; both are saved as " << name << "-*.ppm";
        }
    }
}

const std::vector<const char *> A_WHOLE_GAME = {"state 1", "state 2", "state 3", "state 4", "level 3", "level 40"};

TEST(Redraw, OnlyWhatChangedShowsTheSamePixelsAsAFullRedrawAfterEveryTick)
{
    // The larger field is lost more slowly than the replay lasts, so it is never lost there.
    std::vector<ReplayRun> runs = {
        {400, {}, 450, A_WHOLE_GAME},
        {1000, {}, 360, {"state 1", "state 4", "level 3", "level 40"}},
    };
    // GTK 3 draws at the screen's scale factor: a 2x screen too.
    if (toolkit_is_gtk3())
        runs.push_back({400, {2, 1, ""}, 450, A_WHOLE_GAME});
    compare_redraws(runs);
}

// The field shown larger in its window (full screen, a larger window) is the canvas enlarged
// as it is copied to the window: the same there.
TEST(Redraw, AFieldShownAtFactors2And3ShowsTheSamePixelsEitherWay)
{
    compare_redraws({{400, {1, 2, ""}, 450, A_WHOLE_GAME}, {400, {1, 3, "1400x1400"}, 450, A_WHOLE_GAME}});
}

} // namespace
