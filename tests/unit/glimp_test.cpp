// Glimp: pictures, entry, walking, a visit at a computer tick by tick, dying, hits.
#include "field/computer.h"
#include "field/glimp.h"
#include "field/network_testing.h"
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

// The sizes of the pictures the field has loaded (the committed artwork).
int gw() { return Glimp::width(); }
int gh() { return Glimp::height(); }
int cw() { return Computer::width(); }
int dh() { return Distro::height(); }   // initfail's, as every distro's

class GlimpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestWorld::fresh_field();
        Game::set_level(1);
        srand(7);
    }

    // Two computers: 0 runs debian at (100, 100), 1 runs arch at (250, 250).
    void two_computers(int distro0 = 4)
    {
        Computer list[2] = {{4, distro0, 100, 100, 0, nullptr}, {1, 1, 250, 250, 0, nullptr}};
        Network::set_for_tests(list, 2);
    }

    static Glimp *glimp_at_computer(int i) { return TestWorld::glimp_at_computer(i); }

    static int counter_sum() { return Swarm::counter(RESERVE) + Swarm::counter(ON_FIELD); }
};

// A record on the stack for the pure movement rules (never freed by them).
Glimp walker(int state, int x, int y, int dx, int dy)
{
    Glimp g{};
    g.state = state;
    g.frames = Glimp::left_frames();
    g.x = x;
    g.y = y;
    g.target_x = x + dx;
    g.target_y = y + dy;
    g.cargo = INITFAIL;
    g.cargo_dx = -2;
    g.cargo_dy = -15;
    return g;
}

TEST_F(GlimpTest, LoadsTwentyFivePicturesInOrderAndReusesSlotOne)
{
    FakeGui::reset();
    FakeGui::clear_calls();
    Glimp::load_images();
    std::vector<std::string> want;
    for (int i = 0; i < 3; i++) {
        want.push_back("load_image miteL_" + std::to_string(i) + " 1");
        want.push_back("load_image miteR_" + std::to_string(i) + " 1");
    }
    for (int i = 0; i < 5; i++)
        want.push_back("load_image miteD_" + std::to_string(i) + " 1");
    for (int i = 0; i < 13; i++)
        want.push_back("load_image miteA_" + std::to_string(i) + " 1");
    EXPECT_EQ(FakeGui::calls_starting("load_image"), want);
    EXPECT_EQ(Glimp::left_frames()[3], Glimp::left_frames()[1]);
    EXPECT_EQ(Glimp::right_frames()[3], Glimp::right_frames()[1]);
    EXPECT_NE(Glimp::left_frames()[1], Glimp::right_frames()[1]);
    EXPECT_EQ(Glimp::at_computer_frames()[12]->name, "miteA_12");
}

TEST_F(GlimpTest, SizeComesFromFirstDyingPictureOnly)
{
    FakeGui::set_image_size("miteL_0", 50, 60);
    FakeGui::set_image_size("miteA_0", 64, 40);
    FakeGui::set_image_size("miteD_0", 30, 28);
    FakeGui::set_image_size("miteD_1", 70, 70);
    Glimp::load_images();
    EXPECT_EQ(Glimp::width(), 30);
    EXPECT_EQ(Glimp::height(), 28);
}

TEST_F(GlimpTest, EnterPicksEdgeThenCoordinateThenTarget)
{
    Computer list[3] = {{1, 1, 60, 60, 0, nullptr}, {2, 2, 160, 200, 0, nullptr}, {3, 3, 300, 90, 0, nullptr}};
    Network::set_for_tests(list, 3);
    Swarm::add_to_counter(RESERVE, 50);
    bool seen[4] = {false, false, false, false};
    for (unsigned seed = 1; seed <= 40; seed++) {
        SCOPED_TRACE(seed);
        srand(seed);
        int side = rand() % 4;
        int along = side % 2 == 0 ? rand() % (400 - gw() + 1) : rand() % (400 - gh() + 1);
        int target = rand() % 3;
        int want_x[4] = {along, 401, along, -gw() - 2};
        int want_y[4] = {-gh() - 16, along, 401, along};
        seen[side] = true;

        srand(seed);
        int before_reserve = Swarm::counter(RESERVE), before_on = Swarm::counter(ON_FIELD);
        Glimp *g = Glimp::enter();
        EXPECT_EQ(g->state, WALKING_IN);
        EXPECT_EQ(g->x, want_x[side]);
        EXPECT_EQ(g->y, want_y[side]);
        EXPECT_EQ(g->target, target);
        EXPECT_EQ(g->target_x, list[target].x + cw() - 20);
        EXPECT_EQ(g->target_y, list[target].y + 3);
        EXPECT_EQ(g->frame, 0);
        EXPECT_EQ(g->frames, Glimp::left_frames());
        EXPECT_EQ(g->cargo, INITFAIL);
        EXPECT_EQ(g->cargo_dx, -2);
        EXPECT_EQ(g->cargo_dy, -15);
        EXPECT_EQ(g->prev, nullptr);
        EXPECT_EQ(g->next, nullptr);
        EXPECT_EQ(Swarm::counter(ON_FIELD), before_on + 1);
        EXPECT_EQ(Swarm::counter(RESERVE), before_reserve - 1);
        // Every entry point puts the whole Glimp outside the field.
        EXPECT_FALSE(Gui::boxes_overlap(g->x, g->y, gw(), gh(), 0, 0, 400, 400));
        free(g);
    }
    for (int side = 0; side < 4; side++)
        EXPECT_TRUE(seen[side]) << "side " << side;
}

TEST_F(GlimpTest, WalkingStepSharesTheStepAndLeavingGlimpsGoQuarterFaster)
{
    struct Case {
        int level, dx, dy;
        int in_x, in_y;     // move walking in
        int out_x, out_y;   // move walking out
    };
    const Case cases[] = {
        {1, 100, 0, 12, 0, 15, 0},
        {1, 30, 10, 9, 3, 11, 3},
        {1, 11, 11, 11, 11, 11, 11},     // snaps although further than 12 away
        {1, 12, 0, 12, 0, 15, 0},        // a full step, not a snap
        {1, -5, 0, -5, 0, -5, 0},
        {2, 0, -100, 0, -13, 0, -16},
        {3, -20, 30, -5, 8, -6, 10},
        {4, -40, 25, -9, 5, -11, 6},
        {9, 7, -40, 2, -12, 2, -15},
        {INT_MAX, 100, 0, 15, 0, 18, 0},  // huge levels walk at 15 too
    };
    for (const Case &c : cases) {
        SCOPED_TRACE("level " + std::to_string(c.level) + " dx " + std::to_string(c.dx) + " dy " +
                     std::to_string(c.dy));
        Game::set_level(c.level);
        Glimp in = walker(WALKING_IN, 200, 200, c.dx, c.dy);
        Glimp::update(&in);
        EXPECT_EQ(in.x - 200, c.in_x);
        EXPECT_EQ(in.y - 200, c.in_y);
        Glimp out = walker(WALKING_OUT, 200, 200, c.dx, c.dy);
        Glimp::update(&out);
        EXPECT_EQ(out.x - 200, c.out_x);
        EXPECT_EQ(out.y - 200, c.out_y);
    }
}

TEST_F(GlimpTest, WalkingPictureSetFollowsHorizontalDirectionOnly)
{
    struct Case {
        int dx, dy;
        Image *const *before;
        Image *const *after;
    };
    const Case cases[] = {
        {100, 0, Glimp::left_frames(), Glimp::right_frames()},
        {-100, 0, Glimp::right_frames(), Glimp::left_frames()},
        {0, 100, Glimp::right_frames(), Glimp::right_frames()},   // sx 0: unchanged
        {1, 100, Glimp::left_frames(), Glimp::left_frames()},     // 12 * 1 / 101 = 0
        {5, 5, Glimp::left_frames(), Glimp::left_frames()},       // a snap keeps the set
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.dx) + "," + std::to_string(c.dy));
        Glimp g = walker(WALKING_IN, 200, 200, c.dx, c.dy);
        g.frames = c.before;
        Glimp::update(&g);
        EXPECT_EQ(g.frames, c.after);
    }
}

TEST_F(GlimpTest, WalkingAnimationCyclesFramesAndBobsCargo)
{
    Glimp g = walker(WALKING_IN, 0, 200, 400, 0);
    const int frames[] = {1, 2, 3, 0, 1, 2, 3, 0};
    const int cargo_dy[] = {-11, -15, -11, -15, -11, -15, -11, -15};
    const char *pictures[] = {"miteR_1", "miteR_2", "miteR_1", "miteR_0"};
    for (int t = 0; t < 8; t++) {
        SCOPED_TRACE(t);
        Glimp::update(&g);
        EXPECT_EQ(g.frame, frames[t]);
        EXPECT_EQ(g.cargo_dy, cargo_dy[t]);
        FakeGui::clear_calls();
        Glimp::draw(&g);
        std::vector<std::string> want = {
            "draw_image initfail " + std::to_string(g.x - 2) + " " + std::to_string(g.y + cargo_dy[t]),
            std::string("draw_image ") + pictures[t % 4] + " " + std::to_string(g.x) + " " +
                std::to_string(g.y)};
        EXPECT_EQ(FakeGui::calls(), want);
    }
}

TEST_F(GlimpTest, WalkingInSnapsThenArrivesOnTheNextTick)
{
    two_computers();
    Glimp *g = glimp_at_computer(0);
    int tx = g->target_x, ty = g->target_y;
    g->x = tx - 11;
    g->y = ty - 11;
    Glimp::update(g);
    EXPECT_EQ(g->x, tx);
    EXPECT_EQ(g->y, ty);
    EXPECT_EQ(g->state, WALKING_IN);
    EXPECT_EQ(Network::computer(0).busy, 0);
    Glimp::update(g);
    EXPECT_EQ(g->state, AT_COMPUTER);
    EXPECT_EQ(g->frame, 0);
    EXPECT_EQ(g->frames, Glimp::at_computer_frames());
    EXPECT_EQ(Network::computer(0).busy, 1);
    EXPECT_EQ(g->x, tx);
}

TEST_F(GlimpTest, ArrivalAtInfectedOrBusyComputerRetargetsWithoutMoving)
{
    for (int busy_case = 0; busy_case < 2; busy_case++) {
        SCOPED_TRACE(busy_case ? "busy" : "infected");
        Computer list[3] = {{1, busy_case ? 1 : INITFAIL, 60, 60, busy_case, nullptr},
                            {2, 2, 160, 200, 0, nullptr},
                            {3, 3, 300, 90, 0, nullptr}};
        Network::set_for_tests(list, 3);
        Glimp *g = glimp_at_computer(0);
        int x = g->x, y = g->y;
        srand(3);
        int r;
        do
            r = rand() % 3;
        while (r == 0);
        srand(3);
        Glimp::update(g);
        EXPECT_EQ(g->state, WALKING_IN);
        EXPECT_EQ(g->target, r);
        EXPECT_EQ(g->target_x, list[r].x + cw() - 20);
        EXPECT_EQ(g->target_y, list[r].y + 3);
        EXPECT_EQ(g->x, x);
        EXPECT_EQ(g->y, y);
        EXPECT_EQ(g->frame, 1);        // the walking animation still runs
        EXPECT_EQ(g->cargo_dy, -11);
        EXPECT_EQ(Network::computer(0).busy, busy_case);
        Swarm::reset_for_tests();
    }
}

// Expected state after each work step of a full visit at a computer running debian (4).
struct VisitRow {
    int frame;
    int dx;            // x - target_x
    int cargo_dx;
    int cargo_dy;
    int cargo;
    int distro;
    int off, good, infected;
};

TEST_F(GlimpTest, FullVisitTickByTick)
{
    two_computers();
    Glimp *g = glimp_at_computer(0);
    int tx = g->target_x;
    Glimp::update(g);   // arrival
    ASSERT_EQ(g->state, AT_COMPUTER);
    const int rest = gh() - dh();
    const VisitRow rows[] = {
        {1, -8, 6, rest, 0, 4, 0, 2, 0},
        {2, -16, 14, rest, 0, 4, 0, 2, 0},
        {3, -26, 24, rest, 0, 4, 0, 2, 0},
        {4, -23, 21, rest, 0, 4, 0, 2, 0},
        {5, -21, 19, rest, 0, 4, 0, 2, 0},
        {6, -1, -1, -15, 4, NO_DISTRO, 1, 1, 0},
        {7, -1, -1, rest, 4, NO_DISTRO, 1, 1, 0},
        {8, -1, -1, rest, 4, NO_DISTRO, 1, 1, 0},
        {9, -9, 7, rest, 4, NO_DISTRO, 1, 1, 0},
        {10, -24, 22, rest, 4, NO_DISTRO, 1, 1, 0},
        {11, -24, 22, rest, 4, INITFAIL, 0, 1, 1},
        {12, -13, 11, rest, 4, INITFAIL, 0, 1, 1},
    };
    const int swap[12][2] = {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0},
                             {-2, rest}, {-2, -15}, {-7, -7}, {-7, 0}, {-7, 0}, {-7, 0}};
    for (const VisitRow &r : rows) {
        SCOPED_TRACE("step " + std::to_string(r.frame));
        Glimp::update(g);
        const Computer &c = Network::computer(0);
        EXPECT_EQ(g->state, AT_COMPUTER);
        EXPECT_EQ(g->frame, r.frame);
        EXPECT_EQ(g->x - tx, r.dx);
        EXPECT_EQ(g->cargo_dx, r.cargo_dx);
        EXPECT_EQ(g->x + g->cargo_dx, tx - 2);   // the carried picture stays put
        EXPECT_EQ(g->cargo_dy, r.cargo_dy);
        EXPECT_EQ(g->cargo, r.cargo);
        EXPECT_EQ(c.distro, r.distro);
        EXPECT_EQ(c.busy, 1);
        EXPECT_EQ(Network::counter(OFF), r.off);
        EXPECT_EQ(Network::counter(GOOD), r.good);
        EXPECT_EQ(Network::counter(INFECTED), r.infected);

        FakeGui::clear_calls();
        Glimp::draw(g);
        std::vector<std::string> want;
        if (r.frame >= 7 && r.frame <= 11) {
            EXPECT_EQ(g->swap_dx, swap[r.frame - 1][0]);
            EXPECT_EQ(g->swap_dy, swap[r.frame - 1][1]);
            want.push_back("draw_image initfail " + std::to_string(g->x + g->swap_dx) + " " +
                           std::to_string(g->y + g->swap_dy));
        }
        want.push_back("draw_image " + std::string(Distro::name(r.cargo)) + " " + std::to_string(tx - 2) +
                       " " + std::to_string(g->y + r.cargo_dy));
        want.push_back("draw_image miteA_" + std::to_string(r.frame) + " 100 100");
        EXPECT_EQ(FakeGui::calls(), want);
    }
    Glimp::update(g);   // the visit ends
    EXPECT_EQ(g->state, WALKING_OUT);
    EXPECT_EQ(g->frame, 0);
    EXPECT_EQ(g->frames, Glimp::left_frames());
    EXPECT_EQ(g->x - tx, -13);
    EXPECT_EQ(g->cargo_dx, -2);
    EXPECT_EQ(g->cargo_dy, -15);
    EXPECT_EQ(g->cargo, 4);
    EXPECT_EQ(Network::computer(0).busy, 0);
    EXPECT_FALSE(Gui::boxes_overlap(g->target_x, g->target_y, gw(), gh(), 0, 0, 400, 400));
}

TEST_F(GlimpTest, WorkPictureOfStepZeroIsDrawnAtTheComputer)
{
    two_computers();
    Glimp *g = glimp_at_computer(0);
    Glimp::update(g);
    FakeGui::clear_calls();
    Glimp::draw(g);
    std::vector<std::string> want = {
        "draw_image initfail " + std::to_string(g->x - 2) + " " + std::to_string(g->y + g->cargo_dy),
        "draw_image miteA_0 100 100"};
    EXPECT_EQ(FakeGui::calls(), want);
}

TEST_F(GlimpTest, SkipToStepSixTakesOverTheLyingDistro)
{
    two_computers(NO_DISTRO);
    Glimp *lying = Glimp::enter();
    lying->state = LOOSE;
    lying->cargo = 4;
    Swarm::put_back(lying);
    Swarm::add_to_counter(ON_FIELD, -1);   // it died long ago
    Network::computer(0).loose = lying;

    Glimp *g = glimp_at_computer(0);
    int tx = g->target_x;
    Glimp::update(g);   // arrival: a computer without a distro is taken like any other
    ASSERT_EQ(g->state, AT_COMPUTER);
    Glimp::update(g);
    EXPECT_EQ(g->frame, 6);
    EXPECT_EQ(g->cargo, 4);
    EXPECT_EQ(Swarm::loose_head(), nullptr);
    EXPECT_EQ(Network::computer(0).loose, nullptr);
    EXPECT_EQ(g->x - tx, -1);
    EXPECT_EQ(g->x + g->cargo_dx, tx - 2);
    EXPECT_EQ(g->cargo_dy, -15);
    EXPECT_EQ(Network::counter(OFF), 1);
    EXPECT_EQ(Network::counter(GOOD), 1);

    int updates = 1;
    while (g->state == AT_COMPUTER) {
        Glimp::update(g);
        updates++;
        EXPECT_EQ(g->x + g->cargo_dx, g->state == AT_COMPUTER ? tx - 2 : g->x - 2);
    }
    EXPECT_EQ(updates, 8);
    EXPECT_EQ(g->cargo, 4);
    EXPECT_EQ(Network::computer(0).distro, INITFAIL);
    EXPECT_EQ(Network::counter(OFF), 0);
    EXPECT_EQ(Network::counter(INFECTED), 1);
    EXPECT_EQ(Network::counter(GOOD), 1);
}

TEST_F(GlimpTest, SkipToStepSixWithoutLyingDistroCarriesNothing)
{
    two_computers(NO_DISTRO);
    Glimp *g = glimp_at_computer(0);
    Glimp::update(g);
    Glimp::update(g);
    EXPECT_EQ(g->frame, 6);
    EXPECT_EQ(g->cargo, NO_DISTRO);
    FakeGui::clear_calls();
    Glimp::draw(g);
    EXPECT_EQ(FakeGui::calls(), std::vector<std::string>{"draw_image miteA_6 100 100"});

    // Killed carrying nothing, it leaves nothing behind.
    EXPECT_EQ(Swarm::whack(g->x + 1, g->y + 1), 1);
    for (int t = 0; t < 6; t++)
        Swarm::update(1);
    EXPECT_EQ(Swarm::on_field_head(), nullptr);
    EXPECT_EQ(Swarm::loose_head(), nullptr);
    EXPECT_EQ(Network::computer(0).loose, nullptr);
    EXPECT_EQ(Network::computer(0).distro, NO_DISTRO);
}

TEST_F(GlimpTest, KillAtEachWorkStepLeavesWhatItCarried)
{
    for (int step = 0; step <= 12; step++) {
        SCOPED_TRACE("killed at step " + std::to_string(step));
        two_computers();
        Swarm::add_to_counter(RESERVE, 1);
        Glimp *g = glimp_at_computer(0);
        Glimp::update(g);
        for (int s = 0; s < step; s++)
            Glimp::update(g);
        ASSERT_EQ(g->frame, step);
        int x = g->x, y = g->y;
        int total = Swarm::counter(RESERVE) + Swarm::counter(ON_FIELD);
        ASSERT_EQ(Swarm::whack(x + 5, y + 5), 1);
        const Computer &c = Network::computer(0);
        EXPECT_EQ(c.busy, 0);
        EXPECT_EQ(c.loose, g);
        for (int t = 0; t < 5; t++)
            Swarm::update(1);
        EXPECT_EQ(g->state, DYING);
        Swarm::update(1);   // dying ends
        EXPECT_EQ(Swarm::on_field_head(), nullptr);
        EXPECT_EQ(Swarm::counter(ON_FIELD), 0);
        EXPECT_EQ(Swarm::counter(RESERVE) + Swarm::counter(ON_FIELD), total - 1);
        EXPECT_EQ(c.busy, 0);
        if (step <= 5) {
            EXPECT_EQ(c.distro, 4);
            EXPECT_EQ(Network::counter(GOOD), 2);
            EXPECT_EQ(Swarm::loose_head(), nullptr);
            EXPECT_EQ(c.loose, nullptr);
        } else {
            EXPECT_EQ(c.distro, step <= 10 ? NO_DISTRO : INITFAIL);
            EXPECT_EQ(Network::counter(OFF), step <= 10 ? 1 : 0);
            EXPECT_EQ(Network::counter(INFECTED), step <= 10 ? 0 : 1);
            Glimp *lying = Swarm::loose_head();
            ASSERT_NE(lying, nullptr);
            EXPECT_EQ(lying, g);
            EXPECT_EQ(lying->state, LOOSE);
            EXPECT_EQ(lying->cargo, 4);
            EXPECT_EQ(lying->x, x);
            EXPECT_EQ(lying->y, y);
            EXPECT_EQ(c.loose, lying);
            FakeGui::clear_calls();
            Swarm::draw();
            EXPECT_EQ(FakeGui::calls(),
                      std::vector<std::string>{"draw_image debian " + std::to_string(x) + " " + std::to_string(y)});
        }
        Swarm::reset_for_tests();
    }
}

TEST_F(GlimpTest, DyingTableTickByTick)
{
    two_computers();
    Glimp *g = Glimp::enter();
    Swarm::put_back(g);
    g->x = 150;
    g->y = 160;
    g->cargo = 7;
    g->frame = 2;
    Glimp::set_dying(g);
    EXPECT_EQ(g->state, DYING);
    EXPECT_EQ(g->frame, -1);
    EXPECT_EQ(g->frames, Glimp::dying_frames());
    const int cargo_dy[] = {-18, -18, -15, -9, 0};
    for (int t = 0; t < 5; t++) {
        SCOPED_TRACE("tick " + std::to_string(t + 1));
        Swarm::update(1);
        EXPECT_EQ(g->frame, t);
        EXPECT_EQ(g->cargo_dy, cargo_dy[t]);
        FakeGui::clear_calls();
        Swarm::draw();
        std::vector<std::string> want = {
            "draw_image openbsd 148 " + std::to_string(160 + cargo_dy[t]),
            "draw_image miteD_" + std::to_string(t) + " 150 160"};
        EXPECT_EQ(FakeGui::calls(), want);
        EXPECT_EQ(Swarm::counter(ON_FIELD), 1);
    }
    Swarm::update(1);
    EXPECT_EQ(g->state, LOOSE);
    EXPECT_EQ(g->x, 150);
    EXPECT_EQ(g->y, 160);
    EXPECT_EQ(Swarm::loose_head(), g);
    EXPECT_EQ(Swarm::on_field_head(), nullptr);
    EXPECT_EQ(Swarm::counter(ON_FIELD), 0);
    Swarm::update(1);   // a lying distro does nothing
    EXPECT_EQ(g->state, LOOSE);
    EXPECT_EQ(g->y, 160);
}

TEST_F(GlimpTest, FreshlyKilledGlimpDrawnBeforeItsUpdateShowsFirstDyingPicture)
{
    Glimp g = walker(WALKING_IN, 100, 100, 50, 0);
    Glimp::set_dying(&g);
    FakeGui::clear_calls();
    Glimp::draw(&g);
    EXPECT_EQ(FakeGui::calls_starting("draw_image mite"), std::vector<std::string>{"draw_image miteD_0 100 100"});
}

TEST_F(GlimpTest, WalkingOutFreesTheGlimpOnlyOnceItsBoxLeavesTheField)
{
    two_computers();
    Swarm::add_to_counter(RESERVE, 3);
    struct Case {
        int x, y;
        bool gone;
    };
    const Case cases[] = {
        {401, 100, true}, {-gw() - 2, 100, true}, {100, -gh() - 16, true}, {100, 401, true},
        {200, 200, false}, {398, 100, false}, {-30, 100, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        Glimp *g = Glimp::enter();
        Swarm::put_back(g);
        g->state = WALKING_OUT;
        g->x = g->target_x = c.x;
        g->y = g->target_y = c.y;
        int reserve = Swarm::counter(RESERVE), on = Swarm::counter(ON_FIELD);
        Swarm::update(1);
        if (c.gone) {
            EXPECT_EQ(Swarm::on_field_head(), nullptr);
            EXPECT_EQ(Swarm::counter(RESERVE), reserve + 1);
            EXPECT_EQ(Swarm::counter(ON_FIELD), on - 1);
        } else {
            EXPECT_EQ(Swarm::on_field_head(), g);
            EXPECT_EQ(g->x, c.x);      // standing on its exit point: only the animation
            EXPECT_EQ(g->frame, 1);
            Swarm::reset_for_tests();
            Swarm::add_to_counter(RESERVE, 3);
        }
    }
}

TEST_F(GlimpTest, HitTestsAreStrictOnEveryEdge)
{
    Glimp g = walker(WALKING_IN, 100, 200, 0, 0);
    struct Case {
        int px, py, hit, hit_loose;
    };
    const Case cases[] = {
        {101, 201, 1, 1},  {100, 210, 0, 0},  {110, 200, 0, 0},  {131, 231, 1, 0},
        {132, 210, 0, 0},  {110, 232, 0, 0},  {123, 219, 1, 1},  {124, 210, 1, 0},
        {110, 220, 1, 0},  {99, 199, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.px) + "," + std::to_string(c.py));
        EXPECT_EQ(Glimp::hit(&g, c.px, c.py), c.hit);
        EXPECT_EQ(Glimp::hit_loose(&g, c.px, c.py), c.hit_loose);
    }
    // Near the int limits nothing wraps round.
    g.x = INT_MAX - 10;
    g.y = INT_MAX - 10;
    EXPECT_EQ(Glimp::hit(&g, INT_MAX - 5, INT_MAX - 5), 1);
    EXPECT_EQ(Glimp::hit(&g, INT_MIN, INT_MIN), 0);
}

TEST_F(GlimpTest, HitUsesOwnPositionWhileWorkPicturesShowAtComputer)
{
    two_computers();
    Glimp *g = glimp_at_computer(0);
    Glimp::update(g);
    Glimp::update(g);   // step 1: the Glimp stands at (118, 103), its picture at (100, 100)
    ASSERT_EQ(g->x, 118);
    EXPECT_EQ(Glimp::hit(g, 119, 104), 1);
    EXPECT_EQ(Glimp::hit(g, 105, 110), 0);   // inside the work picture, outside the Glimp's box
}

TEST_F(GlimpTest, HugeFieldsAndLevelsNeitherOverflowNorStall)
{
    // A field as wide as an int can count: entry points just past its far edges.
    Game::set_screen_size(INT_MAX);
    Game::set_level(INT_MAX);
    Computer list[2] = {{4, 4, INT_MAX - 300, INT_MAX - 300, 0, nullptr}, {1, 1, 100, 100, 0, nullptr}};
    Network::set_for_tests(list, 2);
    Swarm::setup();
    EXPECT_EQ(Swarm::counter(RESERVE), 100);
    for (int tick = 0; tick < 30; tick++) {
        Swarm::update(tick);
        Swarm::draw();
    }
    EXPECT_NE(Swarm::on_field_head(), nullptr);

    // Walking out 1.25 steps towards an exit point at the very edge of the int range.
    Swarm::reset_for_tests();
    Glimp *g = Glimp::enter();
    Swarm::put_back(g);
    g->state = WALKING_OUT;
    g->x = INT_MAX - 17;
    g->y = INT_MAX - 40;
    g->target_x = INT_MAX;
    g->target_y = INT_MAX - 40;
    Swarm::update(1);
    ASSERT_EQ(Swarm::on_field_head(), g);
    EXPECT_EQ(g->x, INT_MAX);   // 18 pixels would go past the largest int
    Swarm::update(1);
    EXPECT_EQ(Swarm::on_field_head(), nullptr);   // its box no longer overlaps the field
    EXPECT_EQ(Swarm::counter(RESERVE), 0);
}

} // namespace
