// A fresh process for in-process tests.
#include "tests/unit/test_world.h"

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
#include "gui/gui_testing.h"
#include "scores/high_scores.h"
#include "scores/high_scores_testing.h"
#include "sound/sound.h"
#include "tests/fake_gui.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
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
