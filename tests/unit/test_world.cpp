// A fresh process for in-process tests.
#include "tests/unit/test_world.h"

#include "base/random.h"
#include "field/bucket_testing.h"
#include "field/computer.h"
#include "field/computer_testing.h"
#include "field/glimp.h"
#include "field/glimp_testing.h"
#include "field/network_testing.h"
#include "field/swarm.h"
#include "field/swarm_testing.h"
#include "game/entry.h"
#include "game/game_internal.h"
#include "game/game_testing.h"
#include "game/session_testing.h"
#include "gui/gui_testing.h"
#include "scores/high_scores.h"
#include "scores/high_scores_testing.h"
#include "sound/sound.h"
#include "tests/fake_gui.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Resets after every test, when the fixture's own TearDown is done.
class ResetAfterEveryTest : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo &) override { TestWorld::reset_all(); }
};

const bool listening = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new ResetAfterEveryTest);
    return true;
}();

// Every in-process test runs with a data directory of its own below the build tree, so
// that no test reads or writes the files of whoever runs the tests.
class PrivateDataHome : public ::testing::Environment {
public:
    void SetUp() override
    {
        std::string home = std::string(TEST_BINARY_DIR) + "/player-home-" + std::to_string(getpid());
        mkdir(home.c_str(), 0700);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
        home_ = home;
    }
    void TearDown() override
    {
        std::string command = "rm -rf '" + home_ + "'";
        if (system(command.c_str()) != 0)
            fprintf(stderr, "could not remove %s\n", home_.c_str());
    }

private:
    std::string home_;
};

::testing::Environment *const private_data_home = ::testing::AddGlobalTestEnvironment(new PrivateDataHome);

// The high-score file start-up reads: never written, so always missing.
const std::string &unread_scores()
{
    static const std::string path = std::string(TEST_BINARY_DIR) + "/world_scores_" + std::to_string(getpid());
    return path;
}

} // namespace

namespace TestWorld {

void reset_all()
{
    FakeGui::reset();
    Gui::reset_for_tests();
    Game::reset_for_tests();   // frees a distro still held, so before the Swarm
    Swarm::reset_for_tests();
    Network::reset_for_tests();
    Bucket::reset_for_tests();
    HighScores::reset_for_tests();
    Sound::reset_for_tests();
    Session::reset_for_tests();
    Random::use_standard();
    ComputerTesting::set_plain_scan(0);
    ComputerTesting::set_size(0, 0);
    Distro::set_size_for_tests(0, 0);
    GlimpTesting::set_size(0, 0);
    Spark::set_size_for_tests(0, 0);
    Bucket::set_size_for_tests(0, 0);
}

void fresh_field()
{
    (void)listening;
    reset_all();
    ::remove(unread_scores().c_str());
    HighScores::set_path_for_tests(unread_scores().c_str());
    static char name[] = "glimpwatch";
    static char *argv[] = {name, nullptr};
    start_glimpwatch(1, argv);
    FakeGui::clear_calls();
}

void fresh_game(PointerCursor **hand_up, PointerCursor **hand_down)
{
    fresh_field();
    *hand_up = Game::internal::hand_up();
    *hand_down = Game::internal::hand_down();
}

Computer computer(int kind, int distro, int x, int y)
{
    Computer c{};
    c.kind = kind;
    c.distro = distro;
    c.x = x;
    c.y = y;
    return c;
}

Glimp *glimp_at_computer(int i)
{
    Glimp *g = Glimp::enter();
    Swarm::put_back(g);
    const Computer &c = Network::computer(i);
    g->target = i;
    g->target_x = c.x + Computer::width() - 20;
    g->target_y = c.y + 3;
    g->x = g->target_x;
    g->y = g->target_y;
    return g;
}

} // namespace TestWorld
