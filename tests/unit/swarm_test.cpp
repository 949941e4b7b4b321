// Swarm: Glimp counts per level, the entry schedule, the two lists, whacking and grabbing.
#include "field/computer.h"
#include "field/glimp.h"
#include "field/network_testing.h"
#include "field/swarm.h"
#include "field/swarm_testing.h"
#include "game/game.h"
#include "tests/fake_gui.h"
#include "tests/unit/test_world.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class SwarmTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestWorld::fresh_field();
        Game::set_level(1);
        Computer list[3] = {{1, 1, 60, 60, 0, nullptr}, {2, 2, 160, 200, 0, nullptr}, {6, 8, 300, 90, 0, nullptr}};
        Network::set_for_tests(list, 3);
        FakeGui::clear_calls();
        srand(11);
    }

    // A record linked at the head of its list, standing at (x, y).
    static Glimp *place(int state, int x, int y, int cargo = INITFAIL)
    {
        Glimp *g = Glimp::enter();
        g->state = state;
        g->x = x;
        g->y = y;
        g->cargo = cargo;
        if (state == LOOSE)
            Swarm::add_to_counter(ON_FIELD, -1);
        Swarm::put_back(g);
        return g;
    }

    static std::vector<Glimp *> list_from(Glimp *head)
    {
        std::vector<Glimp *> out;
        Glimp *prev = nullptr;
        for (Glimp *g = head; g; g = g->next) {
            EXPECT_EQ(g->prev, prev);
            out.push_back(g);
            prev = g;
        }
        return out;
    }
};

TEST_F(SwarmTest, GlimpCountPerLevelAndFieldSize)
{
    struct Case {
        int size, level, glimps;
    };
    const Case cases[] = {
        {400, 1, 11}, {400, 2, 14}, {400, 3, 17}, {400, 10, 38}, {400, 30, 98},
        {400, 31, 100}, {400, 1000, 100}, {400, INT_MAX, 100},
        {500, 1, 17}, {500, 2, 21}, {600, 1, 24}, {4000, 1, 100},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("size " + std::to_string(c.size) + " level " + std::to_string(c.level));
        Game::set_screen_size(c.size);
        Game::set_level(c.level);
        Swarm::add_to_counter(ON_FIELD, 5);
        Swarm::setup();
        EXPECT_EQ(Swarm::counter(RESERVE), c.glimps);
        EXPECT_EQ(Swarm::counter(ON_FIELD), 0);
    }
}

TEST_F(SwarmTest, SetupFreesBothListsAndDrawsNothing)
{
    place(WALKING_IN, 10, 10);
    place(DYING, 20, 20);
    place(LOOSE, 30, 30, 3);
    place(LOOSE, 40, 40, 4);
    Swarm::setup();
    EXPECT_EQ(Swarm::on_field_head(), nullptr);
    EXPECT_EQ(Swarm::loose_head(), nullptr);
    FakeGui::clear_calls();
    Swarm::draw();
    EXPECT_TRUE(FakeGui::calls().empty());
}

TEST_F(SwarmTest, GlimpsEnterOnlyOnTicksThatAreMultiplesOfTheInterval)
{
    struct Case {
        int level, interval;
    };
    const Case cases[] = {{1, 14}, {2, 14}, {3, 13}, {5, 13}, {6, 12}, {8, 12},
                          {9, 11}, {11, 11}, {12, 10}, {40, 10}, {INT_MAX, 10}};
    for (const Case &c : cases) {
        SCOPED_TRACE("level " + std::to_string(c.level));
        Game::set_level(c.level);
        for (int tick = 0; tick <= 3 * c.interval; tick++) {
            Swarm::reset_for_tests();
            Swarm::add_to_counter(RESERVE, 1000);
            Swarm::update(tick);
            bool entered = Swarm::on_field_head() != nullptr;
            EXPECT_EQ(entered, tick % c.interval == 0) << "tick " << tick;
        }
    }
}

TEST_F(SwarmTest, HowManyEnterIsOneDrawBelowTheBound)
{
    struct Case {
        int level, reserve, bound;
    };
    const Case cases[] = {
        {1, 50, 2}, {3, 50, 2}, {4, 50, 3}, {7, 50, 3}, {8, 50, 4}, {39, 50, 11},
        {40, 50, 12}, {INT_MAX, 50, 12}, {40, 1, 1}, {40, 5, 5}, {1, 1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("level " + std::to_string(c.level) + " reserve " + std::to_string(c.reserve));
        Game::set_level(c.level);
        for (unsigned seed = 1; seed <= 12; seed++) {
            Swarm::reset_for_tests();
            Swarm::add_to_counter(RESERVE, c.reserve);
            srand(seed);
            int want = 1 + rand() % c.bound;
            srand(seed);
            Swarm::update(0);
            EXPECT_EQ(Swarm::counter(ON_FIELD), want);
            EXPECT_EQ(Swarm::counter(RESERVE), c.reserve - want);
            EXPECT_EQ(static_cast<int>(list_from(Swarm::on_field_head()).size()), want);
        }
    }
}

TEST_F(SwarmTest, NewcomersStandAtTheHeadAndTakeTheirFirstStepAtOnce)
{
    Glimp *old = place(WALKING_IN, 200, 200);
    old->target_x = 300;
    old->target_y = 200;
    Swarm::add_to_counter(RESERVE, 10);
    srand(2);   // 1 + rand() % 2 Glimps enter
    int n = 1 + rand() % 2;
    srand(2);
    Swarm::update(0);
    std::vector<Glimp *> list = list_from(Swarm::on_field_head());
    ASSERT_EQ(static_cast<int>(list.size()), n + 1);
    EXPECT_EQ(list.back(), old);
    for (Glimp *g : list) {
        EXPECT_EQ(g->state, WALKING_IN);
        EXPECT_EQ(g->frame, 1);   // one walking tick behind every one of them
    }
}

TEST_F(SwarmTest, DrawsLooseListThenOnFieldListHeadToTail)
{
    place(LOOSE, 1, 1, 1);
    place(LOOSE, 2, 2, 2);
    Glimp *a = place(WALKING_IN, 100, 100);
    Glimp *b = place(WALKING_OUT, 200, 200);
    FakeGui::clear_calls();
    Swarm::draw();
    std::vector<std::string> want = {
        "draw_image bsd 2 2",
        "draw_image arch 1 1",
        "draw_image initfail " + std::to_string(200 + b->cargo_dx) + " " + std::to_string(200 + b->cargo_dy),
        "draw_image miteL_0 200 200",
        "draw_image initfail " + std::to_string(100 + a->cargo_dx) + " " + std::to_string(100 + a->cargo_dy),
        "draw_image miteL_0 100 100",
    };
    EXPECT_EQ(FakeGui::calls(), want);
}

TEST_F(SwarmTest, WhackKillsEveryLivingGlimpUnderThePointButNotTheDying)
{
    Glimp *a = place(WALKING_IN, 100, 100);
    Glimp *b = place(WALKING_OUT, 110, 110);
    Glimp *dying = place(DYING, 105, 105);
    Glimp *far = place(WALKING_IN, 300, 300);
    EXPECT_EQ(Swarm::whack(120, 120), 2);
    EXPECT_EQ(a->state, DYING);
    EXPECT_EQ(b->state, DYING);
    EXPECT_EQ(a->frame, -1);
    EXPECT_EQ(dying->state, DYING);
    EXPECT_EQ(far->state, WALKING_IN);
    EXPECT_EQ(Swarm::whack(120, 120), 0);   // all dying now
    EXPECT_EQ(Swarm::whack(100, 100), 0);   // on the edge of a's box
    EXPECT_EQ(Swarm::whack(0, 0), 0);
}

TEST_F(SwarmTest, WhackAtComputerFreesTheComputerAndNamesTheRecord)
{
    Glimp *g = place(AT_COMPUTER, 150, 190);
    g->target = 1;
    g->frame = 4;
    Network::computer(1).busy = 1;
    EXPECT_EQ(Swarm::whack(160, 200), 1);
    EXPECT_EQ(Network::computer(1).busy, 0);
    EXPECT_EQ(Network::computer(1).loose, g);
    EXPECT_EQ(g->state, DYING);
    EXPECT_EQ(g->cargo_dx, -2);
    EXPECT_EQ(g->cargo_dy, -15);
    EXPECT_EQ(g->frames, Glimp::dying_frames());
}

TEST_F(SwarmTest, GrabLooseTakesTheMostRecentlyAddedDistroUnderThePoint)
{
    Glimp *older = place(LOOSE, 100, 100, 1);
    Glimp *newer = place(LOOSE, 105, 105, 2);
    Glimp *elsewhere = place(LOOSE, 300, 300, 3);
    EXPECT_EQ(Swarm::grab_loose(50, 50), nullptr);
    EXPECT_EQ(list_from(Swarm::loose_head()).size(), 3u);

    Glimp *got = Swarm::grab_loose(110, 110);
    ASSERT_EQ(got, newer);
    EXPECT_EQ(got->prev, nullptr);
    EXPECT_EQ(got->next, nullptr);
    EXPECT_EQ(list_from(Swarm::loose_head()), (std::vector<Glimp *>{elsewhere, older}));

    EXPECT_EQ(Swarm::grab_loose(110, 110), older);
    EXPECT_EQ(list_from(Swarm::loose_head()), (std::vector<Glimp *>{elsewhere}));

    // Put back at the head: it lies again where it was picked up.
    Swarm::put_back(got);
    EXPECT_EQ(list_from(Swarm::loose_head()), (std::vector<Glimp *>{newer, elsewhere}));
    EXPECT_EQ(newer->x, 105);
    Swarm::put_back(older);
    Swarm::put_back(older);   // a second put back does not link it twice
    Swarm::put_back(elsewhere);
    EXPECT_EQ(list_from(Swarm::loose_head()), (std::vector<Glimp *>{older, newer, elsewhere}));
    EXPECT_EQ(Swarm::grab_loose(110, 110), older);
    Swarm::remove(older);
}

TEST_F(SwarmTest, MakeLooseAndRemoveUnlinkFromHeadMiddleAndTail)
{
    Glimp *c = place(WALKING_IN, 30, 30);
    Glimp *b = place(WALKING_IN, 20, 20);
    Glimp *a = place(WALKING_IN, 10, 10);
    ASSERT_EQ(list_from(Swarm::on_field_head()), (std::vector<Glimp *>{a, b, c}));

    Swarm::make_loose(b);
    b->state = LOOSE;
    EXPECT_EQ(list_from(Swarm::on_field_head()), (std::vector<Glimp *>{a, c}));
    EXPECT_EQ(list_from(Swarm::loose_head()), (std::vector<Glimp *>{b}));

    Swarm::make_loose(a);
    a->state = LOOSE;
    EXPECT_EQ(list_from(Swarm::on_field_head()), (std::vector<Glimp *>{c}));
    EXPECT_EQ(list_from(Swarm::loose_head()), (std::vector<Glimp *>{a, b}));

    Network::computer(0).loose = b;
    Network::computer(2).loose = c;
    Swarm::remove(b);   // tail of the loose list
    EXPECT_EQ(list_from(Swarm::loose_head()), (std::vector<Glimp *>{a}));
    EXPECT_EQ(Network::computer(0).loose, nullptr);
    Swarm::remove(c);   // the only on-field record
    EXPECT_EQ(Swarm::on_field_head(), nullptr);
    EXPECT_EQ(Network::computer(2).loose, nullptr);
    Swarm::remove(a);
    EXPECT_EQ(Swarm::loose_head(), nullptr);
}

TEST_F(SwarmTest, RemoveOfARecordInNoListLeavesBothListsAndForgetsIt)
{
    Glimp *lying = place(LOOSE, 100, 100, 4);
    Glimp *other = place(LOOSE, 200, 200, 5);
    Glimp *walking = place(WALKING_IN, 50, 50);
    Glimp *held = Swarm::grab_loose(101, 101);
    ASSERT_EQ(held, lying);
    Network::computer(1).loose = held;
    Swarm::remove(held);
    EXPECT_EQ(list_from(Swarm::loose_head()), (std::vector<Glimp *>{other}));
    EXPECT_EQ(list_from(Swarm::on_field_head()), (std::vector<Glimp *>{walking}));
    EXPECT_EQ(Network::computer(1).loose, nullptr);
    Swarm::remove(nullptr);   // nothing held: nothing happens
}

TEST_F(SwarmTest, RecordHeldAcrossALevelStartIsFreedByRemoveAfterSetup)
{
    place(LOOSE, 100, 100, 4);
    place(WALKING_IN, 50, 50);
    Glimp *held = Swarm::grab_loose(101, 101);
    ASSERT_NE(held, nullptr);
    Swarm::setup();   // the held record is in no list, so setup cannot free it
    Computer list[2] = {{1, 1, 60, 60, 0, nullptr}, {2, 2, 160, 200, 0, nullptr}};
    Network::set_for_tests(list, 2);
    Swarm::remove(held);
    EXPECT_EQ(Swarm::on_field_head(), nullptr);
    EXPECT_EQ(Swarm::loose_head(), nullptr);
    EXPECT_EQ(Swarm::counter(RESERVE), 11);
    // The new level's lists work as usual.
    Glimp *g = place(LOOSE, 10, 10, 2);
    EXPECT_EQ(Swarm::loose_head(), g);
}

TEST_F(SwarmTest, EscapedGlimpMakesTheReserveNonzeroSoItEntersAgain)
{
    Swarm::add_to_counter(RESERVE, 1);
    Swarm::update(0);
    Glimp *g = Swarm::on_field_head();
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(Swarm::counter(RESERVE), 0);
    g->state = WALKING_OUT;
    g->x = g->target_x = 401;
    g->y = g->target_y = 100;
    Swarm::update(1);
    EXPECT_EQ(Swarm::on_field_head(), nullptr);
    EXPECT_EQ(Swarm::counter(RESERVE), 1);
    EXPECT_EQ(Swarm::counter(ON_FIELD), 0);
    Swarm::update(14);
    EXPECT_NE(Swarm::on_field_head(), nullptr);
    EXPECT_EQ(Swarm::counter(RESERVE), 0);
}

} // namespace
