// Long mixed scenarios on the play field, with the counters and lists checked after every tick.
#include "field/bucket.h"
#include "field/computer.h"
#include "field/glimp.h"
#include "field/network_testing.h"
#include "field/swarm.h"
#include "field/swarm_testing.h"
#include "game/game.h"
#include "game/game_testing.h"
#include "tests/fake_gui.h"
#include "tests/unit/test_world.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {


class ScenarioTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestWorld::fresh_field();
        // The player's presses and releases go through the game's own pointer input.
        Game::set_state(PLAYING);
        Game::set_level(1);
        srand(5);
    }

    // The game's own level set-up, which frees a distro still held.
    void start_level(int level, int size)
    {
        Game::set_screen_size(size);
        Game::setup_level(level);
        held = nullptr;
        ticks = 0;
        alive = Swarm::counter(RESERVE);
    }

    // A hand-made field; the given number of Glimps waits in the reserve to enter as usual.
    void hand_made(const std::vector<Computer> &list, int reserve)
    {
        Swarm::reset_for_tests();
        Network::set_for_tests(list.data(), static_cast<int>(list.size()));
        Swarm::add_to_counter(RESERVE, reserve);
        alive = reserve;
        ticks = 1;   // no entries until the tick count says so
    }

    // The play-field part of a game tick.
    void tick()
    {
        Network::update();
        Network::draw();
        Swarm::update(ticks);
        Swarm::draw();
        ticks++;
        check("after tick " + std::to_string(ticks - 1));
    }

    // One more Glimp for the level, on the field at once, standing on computer i's target point.
    Glimp *glimp_at_computer(int i)
    {
        Swarm::add_to_counter(RESERVE, 1);
        alive++;
        return TestWorld::glimp_at_computer(i);
    }

    int whack(Glimp *g)
    {
        int n = Swarm::whack(g->x + 2, g->y + 2);
        check("after a whack");
        return n;
    }

    // A Glimp that took computer i's distro is whacked while carrying it: the distro is left
    // lying there, and the Glimp that held it is returned.
    Glimp *leave_distro_loose_at(int i)
    {
        Glimp *g = glimp_at_computer(i);
        for (int t = 0; t < 9; t++)
            tick();
        whack(g);
        while (g->state == DYING)
            tick();
        return g;
    }

    // The player presses on the lying distro; returns what the game then holds.
    Glimp *press_on(Glimp *d)
    {
        Game::button_press(d->x + 1, d->y + 1);
        held = Game::dragged();
        return held;
    }

    void grab(Glimp *g)
    {
        ASSERT_EQ(press_on(g), g);
        check("after a grab");
    }

    // The player lets the held distro go over computer i's corner (which no other computer
    // covers) or, for i < 0, over the field's top-left corner, where no computer stands.
    // True when a computer took it.
    bool drop_on(int i)
    {
        const Glimp *d = held;
        if (i >= 0)
            Game::button_release(Network::computer(i).x, Network::computer(i).y);
        else
            Game::button_release(0, 0);
        held = Game::dragged();
        EXPECT_EQ(held, nullptr);
        bool lies = false;
        for (Glimp *g = Swarm::loose_head(); g; g = g->next)
            lies = lies || g == d;
        check(lies ? "after a put back" : "after an install");
        return !lies;
    }

    static std::vector<Glimp *> walk(Glimp *head)
    {
        std::vector<Glimp *> out;
        for (Glimp *g = head; g; g = g->next)
            out.push_back(g);
        return out;
    }

    void check(const std::string &when)
    {
        SCOPED_TRACE(when);
        int by_condition[3] = {0, 0, 0};
        for (int i = 0; i < Network::computer_count(); i++)
            by_condition[Network::counter_of(Network::computer(i).distro)]++;
        EXPECT_EQ(Network::counter(OFF), by_condition[OFF]);
        EXPECT_EQ(Network::counter(GOOD), by_condition[GOOD]);
        EXPECT_EQ(Network::counter(INFECTED), by_condition[INFECTED]);

        std::set<const Glimp *> records;
        std::vector<int> workers(static_cast<size_t>(Network::computer_count()), 0);
        Glimp *prev = nullptr;
        std::vector<Glimp *> field = walk(Swarm::on_field_head());
        for (Glimp *g : field) {
            EXPECT_EQ(g->prev, prev);
            prev = g;
            EXPECT_GE(g->state, WALKING_IN);
            EXPECT_LE(g->state, DYING);
            EXPECT_NE(g, held);
            records.insert(g);
            if (g->state == AT_COMPUTER)
                workers[static_cast<size_t>(g->target)]++;
            if (g->state == WALKING_IN || g->state == WALKING_OUT) {
                EXPECT_GE(g->frame, 0);
                EXPECT_LE(g->frame, 3);
            }
        }
        prev = nullptr;
        for (Glimp *g : walk(Swarm::loose_head())) {
            EXPECT_EQ(g->prev, prev);
            prev = g;
            EXPECT_EQ(g->state, LOOSE);
            EXPECT_GE(g->cargo, 1);
            EXPECT_LE(g->cargo, 10);
            EXPECT_NE(g, held);
            records.insert(g);
        }
        if (held) {
            EXPECT_EQ(held->state, LOOSE);
            EXPECT_EQ(held->prev, nullptr);
            EXPECT_EQ(held->next, nullptr);
            records.insert(held);
        }
        for (int i = 0; i < Network::computer_count(); i++) {
            const Computer &c = Network::computer(i);
            EXPECT_LE(workers[static_cast<size_t>(i)], 1) << "computer " << i;
            EXPECT_EQ(c.busy != 0, workers[static_cast<size_t>(i)] == 1) << "computer " << i;
            if (c.loose) {
                // Only a record that still exists, dying or lying, may be named.
                ASSERT_TRUE(records.count(c.loose)) << "computer " << i;
                EXPECT_TRUE(c.loose->state == DYING || c.loose->state == LOOSE) << "computer " << i;
            }
        }

        EXPECT_EQ(Swarm::counter(ON_FIELD), static_cast<int>(field.size()));
        EXPECT_GE(Swarm::counter(RESERVE), 0);
        int now = Swarm::counter(RESERVE) + Swarm::counter(ON_FIELD);
        EXPECT_LE(now, alive) << "the level gained Glimps";
        alive = now;
    }

    // Clicks on every living Glimp inside the field until none of the level is left.
    int kill_everything(int max_ticks)
    {
        int t = 0;
        while (Swarm::counter(RESERVE) + Swarm::counter(ON_FIELD) > 0 && t < max_ticks) {
            for (Glimp *g : walk(Swarm::on_field_head())) {
                int px = g->x + 5, py = g->y + 5;
                int s = Game::screen_size();
                if (g->state != DYING && px > 0 && py > 0 && px < s && py < s)
                    Swarm::whack(px, py);
            }
            check("after the killing clicks");
            tick();
            t++;
        }
        return t;
    }

    Glimp *held = nullptr;   // the distro the player is dragging
    int ticks = 0;
    int alive = 0;           // RESERVE + ON_FIELD, which must never grow within a level
};

TEST_F(ScenarioTest, SingleComputerFieldNeverLoopsAndTheLevelCanStillBeWon)
{
    Game::set_level(5);
    hand_made({{4, 4, 180, 180, 0, nullptr}}, 20);
    glimp_at_computer(0);
    Glimp *second = glimp_at_computer(0);
    second->x -= 30;   // arrives while the first one works
    bool waited = false, escaped = false, turned_away = false;
    for (int t = 0; t < 600; t++) {
        int reserve = Swarm::counter(RESERVE);
        tick();
        if (Swarm::counter(RESERVE) > reserve)
            escaped = true;
        const Computer &c = Network::computer(0);
        for (Glimp *g : walk(Swarm::on_field_head())) {
            bool standing = g->x == g->target_x && g->y == g->target_y;
            if (g->state == WALKING_IN && standing && c.busy)
                waited = true;
            if (g->state == WALKING_OUT && g->cargo == INITFAIL && c.distro == INITFAIL)
                turned_away = true;
            EXPECT_EQ(g->target, 0);
        }
    }
    EXPECT_EQ(Network::computer(0).distro, INITFAIL);
    EXPECT_TRUE(waited) << "a Glimp arriving at the busy computer waits beside it";
    EXPECT_TRUE(turned_away) << "a Glimp arriving at the infected computer leaves";
    EXPECT_TRUE(escaped);
    kill_everything(3000);
    EXPECT_EQ(Swarm::counter(RESERVE) + Swarm::counter(ON_FIELD), 0);
}

TEST_F(ScenarioTest, NewcomerLeavesAStillDyingGlimpsDistroAlone)
{
    hand_made({{4, 4, 100, 100, 0, nullptr}, {1, 1, 260, 260, 0, nullptr}}, 0);
    Glimp *a = glimp_at_computer(0);
    for (int t = 0; t < 11; t++)   // arrival and steps 1 to 10, where A stands clear of B
        tick();
    ASSERT_EQ(a->state, AT_COMPUTER);
    ASSERT_EQ(a->frame, 10);
    ASSERT_EQ(a->cargo, 4);
    Glimp *b = glimp_at_computer(0);
    check("B placed");
    EXPECT_EQ(whack(a), 1);
    EXPECT_EQ(Network::computer(0).loose, a);

    tick();   // B arrives at the free computer
    EXPECT_EQ(b->state, AT_COMPUTER);
    tick();   // B skips to step 6 while A is still falling
    EXPECT_EQ(b->frame, 6);
    EXPECT_EQ(b->cargo, NO_DISTRO);
    EXPECT_EQ(a->state, DYING);
    EXPECT_EQ(Network::computer(0).loose, a);

    while (a->state == DYING)
        tick();
    EXPECT_EQ(Swarm::loose_head(), a);
    EXPECT_EQ(a->cargo, 4);
    EXPECT_EQ(Network::computer(0).loose, a);
    EXPECT_EQ(Swarm::counter(ON_FIELD), 1);

    while (b->state == AT_COMPUTER)
        tick();
    EXPECT_EQ(Network::computer(0).distro, INITFAIL);
    EXPECT_EQ(b->cargo, NO_DISTRO);
    EXPECT_EQ(Swarm::loose_head(), a);   // the distro still lies for the player

    kill_everything(500);
    EXPECT_EQ(Swarm::counter(ON_FIELD), 0);
    EXPECT_EQ(Swarm::counter(RESERVE), 0);
    // The player puts debian back onto the infected computer.
    grab(a);
    EXPECT_TRUE(drop_on(0));
    EXPECT_EQ(Network::computer(0).distro, 4);
}

TEST_F(ScenarioTest, DraggedDistroIsNotTakenOverAndStepElevenCountsFromGood)
{
    hand_made({{4, 4, 100, 100, 0, nullptr}, {1, 1, 260, 260, 0, nullptr}}, 0);
    Glimp *a = leave_distro_loose_at(0);
    ASSERT_EQ(a->state, LOOSE);
    ASSERT_EQ(Network::computer(0).loose, a);
    ASSERT_EQ(Network::computer(0).distro, NO_DISTRO);

    grab(a);
    Glimp *b = glimp_at_computer(0);
    check("B placed");
    tick();
    tick();
    EXPECT_EQ(b->frame, 6);
    EXPECT_EQ(b->cargo, NO_DISTRO);   // the player holds the distro: nothing to pick up
    EXPECT_EQ(Network::computer(0).loose, a);
    EXPECT_EQ(held, a);

    // The player drops debian onto the computer while B still works there.
    EXPECT_TRUE(drop_on(0));
    EXPECT_EQ(Network::computer(0).distro, 4);
    EXPECT_EQ(Network::computer(0).loose, nullptr);
    EXPECT_EQ(Network::counter(GOOD), 2);

    while (b->frame < 11)
        tick();
    // initfail goes on over it: GOOD loses the count, not OFF.
    EXPECT_EQ(Network::computer(0).distro, INITFAIL);
    EXPECT_EQ(Network::counter(GOOD), 1);
    EXPECT_EQ(Network::counter(OFF), 0);
    EXPECT_EQ(Network::counter(INFECTED), 1);
    kill_everything(500);
    EXPECT_EQ(Swarm::counter(RESERVE) + Swarm::counter(ON_FIELD), 0);
}

TEST_F(ScenarioTest, DistroPutBackDuringATakeoverLiesAgainAndCanStillBeUsed)
{
    hand_made({{4, 4, 100, 100, 0, nullptr}, {4, 4, 260, 260, 0, nullptr}}, 0);
    Glimp *a = leave_distro_loose_at(0);
    grab(a);
    Glimp *b = glimp_at_computer(0);
    tick();
    tick();
    EXPECT_EQ(b->cargo, NO_DISTRO);
    EXPECT_FALSE(drop_on(1));   // that computer still runs debian: it lies again
    EXPECT_EQ(Swarm::loose_head(), a);
    EXPECT_EQ(Network::computer(0).loose, a);
    while (b->state == AT_COMPUTER)
        tick();
    EXPECT_EQ(Network::computer(0).distro, INITFAIL);
    grab(a);
    EXPECT_TRUE(drop_on(0));
    EXPECT_EQ(Network::computer(0).distro, 4);
    kill_everything(500);
}

TEST_F(ScenarioTest, StepSixOnAnInfectedComputerMovesTheCountFromInfected)
{
    hand_made({{4, 4, 100, 100, 0, nullptr}, {1, 1, 260, 260, 0, nullptr}}, 0);
    Glimp *g = glimp_at_computer(0);
    for (int t = 0; t < 6; t++)   // arrival and steps 1 to 5
        tick();
    ASSERT_EQ(g->frame, 5);
    // Infected behind the worker's back (nothing in the game does this to a busy computer).
    Computer &c = Network::computer(0);
    Network::set_distro(c, INITFAIL);
    check("infected");
    tick();
    EXPECT_EQ(g->frame, 6);
    EXPECT_EQ(c.distro, NO_DISTRO);
    EXPECT_EQ(g->cargo, INITFAIL);   // initfail is not a distro worth stealing
    EXPECT_EQ(Network::counter(OFF), 1);
    EXPECT_EQ(Network::counter(INFECTED), 0);
    while (g->frame < 11)
        tick();
    EXPECT_EQ(c.distro, INITFAIL);
    EXPECT_EQ(Network::counter(INFECTED), 1);
    whack(g);
    for (int t = 0; t < 6; t++)
        tick();
    EXPECT_EQ(Swarm::loose_head(), nullptr);   // killed carrying initfail: nothing is left
    EXPECT_EQ(Swarm::counter(ON_FIELD), 0);
}

// A random player: kills, picks up distros, holds them a while and drops them anywhere,
// over several levels; levels start while a distro is held.
class RandomPlay : public ScenarioTest {
public:
    void play(unsigned seed, int size)
    {
        srand(seed);
        std::mt19937 player(seed);
        auto chance = [&](int percent) { return static_cast<int>(player() % 100) < percent; };
        for (int level = 1; level <= 4; level++) {
            SCOPED_TRACE("level " + std::to_string(level));
            if (held)
                held_at_level_start++;
            start_level(level, size);
            check("level start");
            int hold_for = 0;
            for (int t = 0; t < 250; t++) {
                if (chance(20)) {
                    // Mostly Glimps that hold a stolen distro, so that distros lie where
                    // newcomers come to work.
                    std::vector<Glimp *> field = walk(Swarm::on_field_head()), thieves;
                    for (Glimp *g : field)
                        if (g->state == AT_COMPUTER && g->frame >= 6)
                            thieves.push_back(g);
                    std::vector<Glimp *> &from = !thieves.empty() && chance(80) ? thieves : field;
                    if (!from.empty() && (&from == &thieves || chance(40))) {
                        Glimp *g = from[player() % from.size()];
                        Swarm::whack(g->x + 3, g->y + 3);
                        check("after a random click");
                    }
                }
                if (!held && chance(30)) {
                    std::vector<Glimp *> lying = walk(Swarm::loose_head());
                    if (!lying.empty()) {
                        Glimp *d = lying[player() % lying.size()];
                        ASSERT_NE(press_on(d), nullptr);
                        hold_for = static_cast<int>(player() % 12);
                        check("after a random grab");
                    }
                }
                if (held && hold_for-- <= 0) {
                    int n = Network::computer_count();
                    if (drop_on(static_cast<int>(player() % static_cast<unsigned>(n + 1)) - 1))
                        installs++;
                }
                tick();
            }
            if (level < 4)
                continue;   // the next level starts with the field as it is, held distro included
            int spent = kill_everything(3000);
            EXPECT_LT(spent, 3000);
            EXPECT_EQ(Swarm::counter(RESERVE) + Swarm::counter(ON_FIELD), 0);
        }
    }

    int held_at_level_start = 0;
    int installs = 0;
};

TEST_F(RandomPlay, CountersAndListsStayTrueThroughMixedPlay)
{
    const struct {
        unsigned seed;
        int size;
    } runs[] = {{1, 400}, {2, 400}, {3, 500}, {4, 600}};
    for (const auto &r : runs) {
        SCOPED_TRACE("seed " + std::to_string(r.seed) + " size " + std::to_string(r.size));
        play(r.seed, r.size);
        if (HasFatalFailure())
            return;
    }
    // The runs did what they are for: distros went back onto computers, and levels
    // started while one was held.
    EXPECT_GT(installs, 0);
    EXPECT_GT(held_at_level_start, 0);
}

// The same kind of play through the game itself: its tick, its pointer input and its level
// set-up (which frees a distro still held), over won levels and lost games.
class GamePlay : public ScenarioTest {
protected:
    void SetUp() override
    {
        ScenarioTest::SetUp();
        Game::set_state(WAITING);   // the first step starts a game
    }
};

TEST_F(GamePlay, CountersAndListsStayTrueThroughTheGamesOwnTicksAndClicks)
{
    std::mt19937 player(9);
    auto chance = [&](int percent) { return static_cast<int>(player() % 100) < percent; };
    srand(9);
    int levels_won = 0, games = 0, hold_for = 0;
    for (int t = 0; t < 4000; t++) {
        if (Game::state() == WAITING) {
            Game::start(1);
            games++;
            alive = INT_MAX;
        }
        held = Game::dragged();
        if (held && hold_for-- <= 0) {
            int n = Network::computer_count();
            int i = static_cast<int>(player() % static_cast<unsigned>(n + 1)) - 1;
            const Computer &c = Network::computer(i < 0 ? 0 : i);
            if (i < 0)
                Game::button_release(static_cast<int>(player() % 400), static_cast<int>(player() % 400));
            else
                Game::button_release(c.x + 5, c.y + 5);
        } else if (!held && chance(40)) {
            std::vector<Glimp *> lying = walk(Swarm::loose_head());
            std::vector<Glimp *> field = walk(Swarm::on_field_head());
            if (!lying.empty() && chance(30)) {
                Glimp *d = lying[player() % lying.size()];
                Game::button_press(d->x + 2, d->y + 2);
                hold_for = static_cast<int>(player() % 10);
            } else if (!field.empty()) {
                Glimp *g = field[player() % field.size()];
                Game::button_press(g->x + 3, g->y + 3);
                Game::button_release(g->x + 3, g->y + 3);
            }
        }
        held = Game::dragged();
        if (Game::state() == PLAYING)
            check("after the clicks of tick " + std::to_string(t));
        int level = Game::level();
        Game::tick();
        if (Game::level() != level) {
            levels_won++;
            alive = INT_MAX;
        }
        held = Game::dragged();
        if (Game::state() == PLAYING || Game::state() == BETWEEN_LEVELS)
            check("after tick " + std::to_string(t));
        if (HasFatalFailure())
            return;
    }
    EXPECT_GT(levels_won, 0);
    EXPECT_GT(games, 0);
}

} // namespace
