// Soak: many games through the game's own tick, clicks, drags, warps and new games, with the
// counters and lists checked after every step; and games at the extreme levels and fields.
#include "field/bucket.h"
#include "field/computer.h"
#include "field/glimp.h"
#include "field/network.h"
#include "field/swarm.h"
#include "game/game.h"
#include "game/game_testing.h"
#include "scores/high_scores.h"
#include "scores/high_scores_testing.h"
#include "tests/fake_gui.h"
#include "tests/unit/test_world.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// More records than any level can make: a longer walk means a list tied into a loop.
constexpr size_t MAX_RECORDS = 100000;

class SoakTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestWorld::fresh_game(&hand_up, &hand_down);
        score_path = std::string(TEST_BINARY_DIR) + "/soak_scores_" + std::to_string(getpid());
        HighScores::set_path_for_tests(score_path.c_str());
        FakeGui::on_dialog([this](int id) { answer(id); });
        // The runs read the game's own counters and lists, never the calls drawn.
        FakeGui::record_drawing(false);
        srand(1);
    }

    void TearDown() override { ::remove(score_path.c_str()); }

    // The player in front of the dialogs: a name when one is asked for, the rest dismissed.
    // Now and then the timer fires while a dialog waits, which must change nothing.
    void answer(int id)
    {
        dialogs++;
        if (id == DIALOG_ENTER_NAME) {
            static const char *const names[] = {"Ann", "Ann Lee", "", "  lead", "tab\there",
                                                "a name well past twenty characters", "two\nlines"};
            Game::add_high_score(names[player() % (sizeof names / sizeof names[0])]);
            names_entered++;
            check_table();
        }
        if (player() % 8 == 0) {
            int level = Game::level(), state = Game::state(), ticks = Game::ticks();
            Game::tick();
            if (Game::level() != level || Game::state() != state || Game::ticks() != ticks)
                fail("a tick ran inside a tick waiting in a dialog");
        }
    }

    int pick(int n) { return n > 0 ? static_cast<int>(player() % static_cast<unsigned>(n)) : 0; }
    bool chance(int percent) { return pick(100) < percent; }

    void fail(const std::string &what)
    {
        if (broken)
            return;
        broken = true;
        breaks++;
        ADD_FAILURE() << "seed " << seed << ", game " << games << ", step " << steps << " (level " << Game::level()
                      << ", field " << Game::screen_size() << ", state " << Game::state() << "): " << what;
    }

    static std::vector<Glimp *> walk(Glimp *head)
    {
        std::vector<Glimp *> out;
        for (Glimp *g = head; g && out.size() <= MAX_RECORDS; g = g->next)
            out.push_back(g);
        return out;
    }

    // A new level (or game) began: its Glimps are counted afresh.
    void level_started() { alive = static_cast<long long>(Swarm::counter(RESERVE)) + Swarm::counter(ON_FIELD); }

    void check(const char *when)
    {
        if (broken)
            return;
        std::string w = std::string(" ") + when;
        int n = Network::computer_count();
        // After a game over the computers are toasters while the counters keep their last
        // values; before the first game there is no network.
        if (Game::state() != WAITING) {
            int tally[3] = {0, 0, 0};
            for (int i = 0; i < n; i++) {
                int d = Network::computer(i).distro;
                if (d < NO_DISTRO || d > 10)
                    return fail("computer " + std::to_string(i) + " runs distro " + std::to_string(d) + w);
                tally[Network::counter_of(d)]++;
            }
            long long sum = static_cast<long long>(Network::counter(OFF)) + Network::counter(GOOD) +
                            Network::counter(INFECTED);
            if (sum != n)
                return fail("OFF + GOOD + INFECTED = " + std::to_string(sum) + " for " + std::to_string(n) +
                            " computers" + w);
            for (int k : {OFF, GOOD, INFECTED})
                if (Network::counter(k) != tally[k])
                    return fail("counter " + std::to_string(k) + " is " + std::to_string(Network::counter(k)) +
                                " but " + std::to_string(tally[k]) + " computers are so" + w);
        }

        std::set<const Glimp *> records;
        std::vector<int> workers(static_cast<size_t>(n > 0 ? n : 0), 0);
        Glimp *dragged = Game::dragged();
        for (int list = 0; list < 2; list++) {
            std::vector<Glimp *> items = walk(list == 0 ? Swarm::on_field_head() : Swarm::loose_head());
            const char *name = list == 0 ? "on-field" : "loose";
            if (items.size() > MAX_RECORDS)
                return fail(std::string("the ") + name + " list loops" + w);
            const Glimp *prev = nullptr;
            for (Glimp *g : items) {
                if (g->prev != prev)
                    return fail(std::string("a broken back link in the ") + name + " list" + w);
                prev = g;
                if (!records.insert(g).second)
                    return fail(std::string("a record twice in the lists (") + name + ")" + w);
                if (g == dragged)
                    return fail(std::string("the dragged distro is in the ") + name + " list" + w);
                bool state_ok = list == 0 ? g->state >= WALKING_IN && g->state <= DYING : g->state == LOOSE;
                if (!state_ok)
                    return fail(std::string("state ") + std::to_string(g->state) + " in the " + name + " list" + w);
                if (list == 1 && (g->cargo < 1 || g->cargo > 10))
                    return fail("a loose record lies with cargo " + std::to_string(g->cargo) + w);
                if (list == 0 && g->state == AT_COMPUTER) {
                    if (g->target < 0 || g->target >= n)
                        return fail("a Glimp works at computer " + std::to_string(g->target) + w);
                    workers[static_cast<size_t>(g->target)]++;
                }
            }
            if (list == 0 && static_cast<int>(items.size()) != Swarm::counter(ON_FIELD))
                return fail("ON_FIELD is " + std::to_string(Swarm::counter(ON_FIELD)) + " for " +
                            std::to_string(items.size()) + " records on the field" + w);
        }
        if (dragged) {
            if (dragged->prev || dragged->next || dragged->state != LOOSE)
                return fail("the dragged distro is linked or not loose" + w);
            records.insert(dragged);
        }
        for (int i = 0; i < n; i++) {
            const Computer &c = Network::computer(i);
            if (c.loose && !records.count(c.loose))
                return fail("computer " + std::to_string(i) + " names a record in no list" + w);
            if (workers[static_cast<size_t>(i)] > 1 || (c.busy != 0) != (workers[static_cast<size_t>(i)] == 1))
                return fail("computer " + std::to_string(i) + " busy " + std::to_string(c.busy) + " with " +
                            std::to_string(workers[static_cast<size_t>(i)]) + " Glimps at work" + w);
        }

        if (Swarm::counter(RESERVE) < 0 || Swarm::counter(ON_FIELD) < 0)
            return fail("a negative Swarm counter" + w);
        long long now = static_cast<long long>(Swarm::counter(RESERVE)) + Swarm::counter(ON_FIELD);
        if (now > alive)
            return fail("RESERVE + ON_FIELD grew from " + std::to_string(alive) + " to " + std::to_string(now) + w);
        alive = now;
    }

    void check_table()
    {
        for (int i = 0; i < HIGH_SCORE_COUNT; i++) {
            const HighScoreEntry &e = HighScores::entry(i);
            if (!memchr(e.name, '\0', sizeof e.name) || strlen(e.name) > HIGH_SCORE_NAME_MAX)
                return fail("high-score name " + std::to_string(i) + " overruns its record");
            if (i > 0 && e.score > HighScores::entry(i - 1).score)
                return fail("the high-score table is out of order at " + std::to_string(i));
        }
    }

    void press(int x, int y)
    {
        Game::button_press(x, y);
        presses++;
        check("after a press");
    }

    void release(int x, int y)
    {
        Game::button_release(x, y);
        releases++;
        check("after a release");
    }

    void tick()
    {
        bool new_level = Game::state() == BETWEEN_LEVELS;
        int state = Game::state();
        Game::tick();
        FakeGui::clear_calls();   // the recording back end would otherwise keep every call
        ticks_run++;
        if (new_level && Game::state() == PLAYING) {
            levels_won++;
            level_started();
        }
        if (state == GAME_OVER)
            games_lost++;
        check("after a tick");
    }

    void start(int level)
    {
        Game::start(level);
        games++;
        level_started();
        check("after a new game");
    }

    void warp(int level)
    {
        Game::warp_to_level(level);
        warps++;
        level_started();
        check("after a warp");
    }

    // A point strictly inside the box of the given corner and size.
    std::pair<int, int> inside(int x, int y, int w, int h)
    {
        return {x + 1 + pick(w - 1), y + 1 + pick(h - 1)};
    }

    std::pair<int, int> anywhere()
    {
        int s = Game::screen_size();
        return {pick(s + 80) - 40, pick(s + 80) - 40};
    }

    // Where a dragged distro or the bucket is let go: a computer, a spark or anywhere.
    std::pair<int, int> drop_point()
    {
        int n = Network::computer_count(), wires = Network::wire_count();
        int r = pick(10);
        if (r < 5 && n > 0) {
            const Computer &c = Network::computer(pick(n));
            return inside(c.x, c.y, Computer::width(), Computer::height());
        }
        if (r < 8 && wires > 0) {
            const Wire &wire = Network::wire(pick(wires));
            if (wire.active)
                return {wire.spark_x + pick(5) - 2, wire.spark_y + pick(5) - 2};
        }
        return anywhere();
    }

    // One step of play: maybe a click, a drag or a menu choice, then the timer's tick.
    void step(bool killer)
    {
        steps++;
        if (hold > 0 && --hold == 0) {
            std::pair<int, int> p = drop_point();
            release(p.first, p.second);
        }
        std::vector<Glimp *> field = walk(Swarm::on_field_head());
        if (killer) {
            // A quick player: a click on most living Glimps every tick, wherever they stand.
            // Clicks free no record on the field (only ticks do), so the list read before stays good.
            for (Glimp *g : field)
                if (!broken && g->state != DYING && chance(70)) {
                    std::pair<int, int> p = inside(g->x, g->y, Glimp::width(), Glimp::height());
                    press(p.first, p.second);
                    release(p.first, p.second);
                }
        }
        int r = pick(100);
        if (hold == 0 && r < 30 && !field.empty()) {
            Glimp *g = field[static_cast<size_t>(pick(static_cast<int>(field.size())))];
            std::pair<int, int> p = inside(g->x, g->y, Glimp::width(), Glimp::height());
            press(p.first, p.second);
            if (chance(80))
                release(p.first, p.second);
            else
                hold = 1 + pick(4);
        } else if (hold == 0 && r < 45) {
            std::vector<Glimp *> lying = walk(Swarm::loose_head());
            if (!lying.empty()) {
                Glimp *d = lying[static_cast<size_t>(pick(static_cast<int>(lying.size())))];
                std::pair<int, int> p = inside(d->x, d->y, Distro::width(), Distro::height());
                press(p.first, p.second);
                hold = 1 + pick(8);
            }
        } else if (hold == 0 && r < 52) {
            press(5, 5);   // the bucket
            hold = 1 + pick(6);
        } else if (r < 58) {
            std::pair<int, int> p = anywhere();
            press(p.first, p.second);   // a second press while one is held, too
            if (hold == 0)
                hold = 1 + pick(3);
        } else if (r < 62) {
            std::pair<int, int> p = drop_point();
            release(p.first, p.second);   // a release with nothing pressed
            hold = 0;
        }

        int menu = menus ? pick(1000) : 1000;
        if (menu < 3) {
            const int lv = Game::level();
            const int choices[] = {lv < INT_MAX ? lv + 1 : INT_MAX, lv, 1 + pick(50), 0, -3, INT_MAX, 2147483600};
            warp(choices[pick(7)]);
        } else if (menu < 4) {
            start(1 + pick(50));
        }
        tick();
        if (Game::state() == WAITING && menus && !broken)
            new_game();
    }

    void new_game()
    {
        Game::set_screen_size(400 + pick(601));
        int r = pick(100);
        start(r < 80 ? 1 + pick(50) : r < 92 ? 2147483600 + pick(48) : INT_MAX);
    }

    // Plays from a fresh generator for the given number of ticks, game after game.
    void soak(unsigned s, int max_ticks)
    {
        seed = s;
        player.seed(s);
        srand(s);
        broken = false;
        hold = 0;
        steps = 0;
        new_game();
        bool killer = chance(40);
        for (int t = 0; t < max_ticks && !broken; t++) {
            int games_before = games;
            step(killer);
            if (games != games_before)
                killer = chance(40);
        }
    }

    std::string score_path;
    PointerCursor *hand_up = nullptr;
    PointerCursor *hand_down = nullptr;
    std::mt19937 player{1};
    unsigned seed = 0;
    bool broken = false;   // one report per run: the first break says it all
    long long alive = 0;   // RESERVE + ON_FIELD, which never grows within a level
    int hold = 0;          // ticks until the held button is let go, 0 when none is held
    bool menus = true;     // whether the player also warps and starts new games

    // The figures of the runs.
    long long steps = 0;   // of the current run, so that a report names the step to replay
    long long ticks_run = 0, presses = 0, releases = 0;
    int games = 0, games_lost = 0, levels_won = 0, warps = 0, dialogs = 0, names_entered = 0, breaks = 0;
};

TEST_F(SoakTest, ManyGamesKeepCountersListsAndRecordsTrue)
{
    // About 300000 ticks: seconds, and a few more under the sanitizers.
    for (unsigned s = 1; s <= 12; s++) {
        soak(s, 25000);
        if (breaks > 0)
            break;
    }
    printf("soak: %lld ticks, %lld presses, %lld releases, %d games (%d lost), %d levels won, %d warps, "
           "%d dialogs, %d names entered, %d invariant breaks\n",
           ticks_run, presses, releases, games, games_lost, levels_won, warps, dialogs, names_entered, breaks);
    ASSERT_EQ(breaks, 0);
    // The runs went where they are meant to: won levels, lost games and names in the table.
    EXPECT_GT(levels_won, 0);
    EXPECT_GT(games_lost, 0);
    EXPECT_GT(names_entered, 0);
}

// The extreme values: the top level, where level + 1 does not exist, and a field ten times
// the default side.
TEST_F(SoakTest, GamesAtTheTopLevelsPlayWithoutOverflow)
{
    menus = false;
    player.seed(21);
    for (int size : {400, 1000}) {
        for (int level : {2147483600, INT_MAX}) {
            SCOPED_TRACE("field " + std::to_string(size) + " level " + std::to_string(level));
            Game::set_screen_size(size);
            start(level);
            EXPECT_EQ(Swarm::counter(RESERVE), 100);
            // Won levels go on to the next ones, up to the top and no further.
            for (int t = 0; t < 600 && Game::state() != WAITING && !broken; t++)
                step(t % 3 == 0);
            EXPECT_GE(Game::level(), level);
        }
    }
    // Kills on a score about to pass the top stop there.
    start(INT_MAX);
    Game::set_score_for_tests(INT_MAX - 1);
    while (Game::state() == PLAYING && Game::score() < INT_MAX && ticks_run < 100000)
        step(true);
    EXPECT_EQ(Game::score(), INT_MAX);
    EXPECT_EQ(breaks, 0);
}

TEST_F(SoakTest, WarpToTheTopLevelKeepsTheScoreAndGoesNoFurther)
{
    menus = false;
    player.seed(22);
    start(3);
    for (int t = 0; t < 60; t++)
        step(true);
    ASSERT_EQ(Game::state(), PLAYING);
    int score = Game::score();
    warp(INT_MAX);
    EXPECT_EQ(Game::level(), INT_MAX);
    EXPECT_EQ(Game::score(), score);
    EXPECT_EQ(Game::ticks(), 0);
    for (int t = 0; t < 100; t++)
        step(true);
    ASSERT_EQ(Game::state(), PLAYING);
    int ticks = Game::ticks();
    for (int level : {INT_MAX, 2147483600, -1})
        warp(level);   // nothing beyond the top, nothing backwards
    EXPECT_EQ(Game::level(), INT_MAX);
    EXPECT_EQ(Game::ticks(), ticks);
    EXPECT_EQ(breaks, 0);
}

TEST_F(SoakTest, LevelWonAtTheTopLevelReplaysItWithoutOverflow)
{
    menus = false;
    player.seed(23);
    const struct {
        int from, next;
    } cases[] = {{2147483646, INT_MAX}, {INT_MAX, INT_MAX}};
    for (const auto &c : cases) {
        SCOPED_TRACE("won level " + std::to_string(c.from));
        start(c.from);
        int t = 0;
        while (Game::state() == PLAYING && t++ < 5000)
            step(true);
        ASSERT_EQ(Game::state(), BETWEEN_LEVELS) << "the quick player did not win the level";
        tick();
        EXPECT_EQ(Game::state(), PLAYING);
        EXPECT_EQ(Game::level(), c.next);
        EXPECT_EQ(Swarm::counter(RESERVE), 100);
        EXPECT_EQ(FakeGui::dialog_text(DIALOG_SCORE).rfind("After Level " + std::to_string(c.from) + ":", 0), 0u);
        for (int k = 0; k < 50; k++)
            step(false);
    }
    EXPECT_EQ(breaks, 0);
}

TEST_F(SoakTest, TickCounterAndUptimeStopAtTheTop)
{
    menus = false;
    player.seed(24);
    start(7);
    Game::set_ticks_for_tests(INT_MAX - 3, INT_MAX - 50);
    for (int t = 0; t < 20; t++)
        step(true);
    EXPECT_EQ(Game::ticks(), INT_MAX);
    Game::set_ticks_for_tests(5, INT_MIN + 50);   // a long run of infected computers
    for (int t = 0; t < 20; t++)
        step(false);
    EXPECT_EQ(breaks, 0);
}

TEST_F(SoakTest, FieldOfFourThousandPixelsSetsUpAndPlays)
{
    menus = false;
    player.seed(25);
    Game::set_screen_size(4000);
    for (int level : {1, 50}) {
        SCOPED_TRACE("level " + std::to_string(level));
        start(level);
        // 100 times the computers of a 400 field would be wanted; as many as find room are placed.
        EXPECT_GT(Network::computer_count(), 1);
        EXPECT_LE(Network::computer_count(), 100 * (level < 12 ? level + 8 : 20));
        EXPECT_EQ(Swarm::counter(RESERVE), 100);
        for (int t = 0; t < 60; t++)
            step(true);
    }
    EXPECT_EQ(breaks, 0);
}

} // namespace
