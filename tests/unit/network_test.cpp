// Network, wires and sparks: sizes per level, wiring, spark motion, infection and drawing.
#include "field/network.h"
#include "field/computer_testing.h"
#include "field/network_testing.h"
#include "field/glimp.h"
#include "game/game.h"
#include "tests/fake_gui.h"
#include "tests/unit/test_world.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

// The address sanitizer's allocator cannot run under an address-space limit.
#if defined(__SANITIZE_ADDRESS__)
#define ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ADDRESS_SANITIZER 1
#endif
#endif

namespace {

// Where a wire meets a computer, from its loaded picture's size.
int ax() { return Computer::width() / 3; }
int ay() { return Computer::height() / 2; }

class NetworkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestWorld::fresh_field();
    }

    // Two computers whose anchors are the given points, joined by one wire from the first.
    static void two_computers(int x1, int y1, int d1, int x2, int y2, int d2)
    {
        Computer cs[2] = {};
        cs[0].kind = 1;
        cs[0].x = x1 - ax();
        cs[0].y = y1 - ay();
        cs[0].distro = d1;
        cs[1].kind = 2;
        cs[1].x = x2 - ax();
        cs[1].y = y2 - ay();
        cs[1].distro = d2;
        Network::set_for_tests(cs, 2);
        Network::add_wire_for_tests(0, 1);
    }
    static Wire &wire() { return Network::wire(0); }
    static std::pair<int, int> spark() { return {wire().spark_x, wire().spark_y}; }
};

TEST_F(NetworkTest, ComputersAndWiresGrowWithLevelAndFieldSize)
{
    struct Case {
        int size, level, computers, wires;
    } cases[] = {
        {400, 1, 9, 1},   {400, 5, 13, 5},  {400, 11, 19, 9},  {400, 12, 20, 10},
        {400, 20, 20, 10}, {500, 1, 14, 1}, {600, 12, 45, 12}, {800, 3, 44, 3},
        {4000, 12, 2000, 12},
        // Levels below 1 never come from the command line; they must still be safe.
        {400, 0, 8, 0},   {400, -20, 0, 0},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(testing::Message() << "size " << k.size << " level " << k.level);
        Game::set_screen_size(k.size);
        Game::set_level(k.level);
        srand(1);
        Network::setup();
        EXPECT_EQ(Network::computer_count(), k.computers);
        EXPECT_EQ(Network::wire_count(), k.wires);
        EXPECT_EQ(Network::counter(OFF), 0);
        EXPECT_EQ(Network::counter(GOOD), k.computers);
        EXPECT_EQ(Network::counter(INFECTED), 0);
    }
}

TEST_F(NetworkTest, SetupReplacesTheWholePreviousNetwork)
{
    Game::set_level(12);
    srand(2);
    Network::setup();
    Network::set_distro(Network::computer(0), INITFAIL);
    Game::set_level(1);
    Network::setup();
    EXPECT_EQ(Network::computer_count(), 9);
    EXPECT_EQ(Network::wire_count(), 1);
    EXPECT_EQ(Network::counter(GOOD), 9);
    EXPECT_EQ(Network::counter(INFECTED), 0);
}

TEST_F(NetworkTest, WiresJoinTwoDifferentComputersAtTheirAnchors)
{
    Game::set_level(12);
    for (unsigned seed = 1; seed <= 200; seed++) {
        SCOPED_TRACE(seed);
        srand(seed);
        Network::setup();
        for (int i = 0; i < Network::wire_count(); i++) {
            const Wire &w = Network::wire(i);
            ASSERT_NE(w.from, w.to);
            ASSERT_TRUE(w.from >= 0 && w.from < 20 && w.to >= 0 && w.to < 20);
            EXPECT_EQ(w.x1, Network::computer(w.from).x + ax());
            EXPECT_EQ(w.y1, Network::computer(w.from).y + ay());
            EXPECT_EQ(w.x2, Network::computer(w.to).x + ax());
            EXPECT_EQ(w.y2, Network::computer(w.to).y + ay());
            EXPECT_EQ(w.active, 0);
            EXPECT_EQ(w.frame, 0);
        }
    }
}

TEST_F(NetworkTest, WireDrawsItsEndsAgainUntilTheyDiffer)
{
    Computer cs[3] = {};
    for (int i = 0; i < 3; i++) {
        cs[i].kind = 1;
        cs[i].x = 100 * i;
    }
    Network::set_for_tests(cs, 3);
    // A seed whose second draw repeats the first: the third one names the far end.
    for (unsigned seed = 0;; seed++) {
        srand(seed);
        int a = rand() % 3, b = rand() % 3, c = rand() % 3;
        if (a == b && c != a) {
            srand(seed);
            Wire::setup();
            EXPECT_EQ(Network::wire(0).from, a);
            EXPECT_EQ(Network::wire(0).to, c);
            break;
        }
    }
}

TEST_F(NetworkTest, NoWireOnANetworkOfFewerThanTwoComputers)
{
    Computer one{};
    Network::set_for_tests(&one, 1);
    srand(4);
    int next = rand();
    srand(4);
    Wire::setup();
    EXPECT_EQ(Network::wire_count(), 0);
    EXPECT_EQ(rand(), next);
    Network::reset_for_tests();
    Wire::setup();
    EXPECT_EQ(Network::wire_count(), 0);
}

TEST_F(NetworkTest, SparkCrawlsFourPixelsAStepReAimingFromWhereItIsDrawn)
{
    two_computers(100, 100, INITFAIL, 200, 150, 3);
    Network::update();   // starts the spark, which does not move yet
    EXPECT_EQ(wire().active, 1);
    EXPECT_EQ(spark(), std::make_pair(100, 100));
    std::vector<std::pair<int, int>> expected = {{102, 101}, {105, 102}, {107, 104}};
    for (const auto &p : expected) {
        Network::update();
        EXPECT_EQ(spark(), p);
    }
    // Drawn centred: the spark picture is 14 x 14.
    FakeGui::clear_calls();
    Network::draw();
    EXPECT_EQ(FakeGui::calls_starting("draw_image spark")[0], "draw_image spark_1 100 97");
}

TEST_F(NetworkTest, SparkSnapsOntoTheAnchorWithinThreeAndInfectsOnTheNextUpdate)
{
    two_computers(10, 10, INITFAIL, 13, 30, 3);
    Network::update();
    EXPECT_EQ(wire().frame, 0);
    for (int i = 1; i <= 5; i++)
        Network::update();
    EXPECT_EQ(spark(), std::make_pair(12, 27));
    EXPECT_EQ(wire().frame, 1);
    Network::update();
    EXPECT_EQ(spark(), std::make_pair(13, 30));
    EXPECT_EQ(wire().active, 1);
    EXPECT_EQ(Network::computer(1).distro, 3);
    Network::update();
    EXPECT_EQ(wire().active, 0);
    EXPECT_EQ(wire().frame, 1);
    EXPECT_EQ(Network::computer(1).distro, INITFAIL);
    EXPECT_EQ(Network::counter(GOOD), 0);
    EXPECT_EQ(Network::counter(INFECTED), 2);
    // Both ends infected now: no new spark.
    Network::update();
    EXPECT_EQ(wire().active, 0);
}

TEST_F(NetworkTest, SparkArrivingAtAComputerWithoutDistroCountsItFromOff)
{
    two_computers(10, 10, INITFAIL, 12, 12, NO_DISTRO);
    Network::update();
    Network::update();   // snaps
    Network::update();   // arrives
    EXPECT_EQ(Network::computer(1).distro, INITFAIL);
    EXPECT_EQ(Network::counter(OFF), 0);
    EXPECT_EQ(Network::counter(INFECTED), 2);
}

TEST_F(NetworkTest, SparkStartsAtTheInfectedEndEvenWhenThatIsTheWiresFarEnd)
{
    two_computers(10, 10, 4, 200, 100, INITFAIL);
    Network::update();
    EXPECT_EQ(wire().active, 1);
    EXPECT_EQ(wire().from, 1);
    EXPECT_EQ(wire().to, 0);
    EXPECT_EQ(std::make_pair(wire().x1, wire().y1), std::make_pair(200, 100));
    EXPECT_EQ(std::make_pair(wire().x2, wire().y2), std::make_pair(10, 10));
    EXPECT_EQ(spark(), std::make_pair(200, 100));
    EXPECT_EQ(wire().spark_fx, 200.0f);
    EXPECT_EQ(wire().spark_fy, 100.0f);
}

TEST_F(NetworkTest, SparkAtABusyComputerInfectsNothingAndStartsAgain)
{
    two_computers(10, 10, INITFAIL, 12, 12, 5);
    Network::computer(1).busy = 1;
    Network::update();
    Network::update();
    Network::update();
    EXPECT_EQ(wire().active, 0);
    EXPECT_EQ(Network::computer(1).distro, 5);
    EXPECT_EQ(Network::counter(GOOD), 1);
    EXPECT_EQ(Network::counter(INFECTED), 1);
    int frame = wire().frame;
    Network::update();
    EXPECT_EQ(wire().active, 1);
    EXPECT_EQ(spark(), std::make_pair(10, 10));
    EXPECT_EQ(wire().frame, frame);
}

TEST_F(NetworkTest, SparkTurnsBackWhenTheEndsSwapTheirInfection)
{
    two_computers(100, 100, INITFAIL, 200, 100, 2);
    Network::update();
    Network::update();
    Network::update();
    EXPECT_EQ(spark(), std::make_pair(108, 100));
    // A Glimp infects the far end, the start is repaired.
    Network::computer(1).distro = INITFAIL;
    Network::computer(0).distro = 1;
    Network::update();
    EXPECT_EQ(wire().from, 1);
    EXPECT_EQ(spark(), std::make_pair(104, 100));
    EXPECT_EQ(wire().active, 1);
    while (wire().active)
        Network::update();
    EXPECT_EQ(Network::computer(0).distro, INITFAIL);
}

TEST_F(NetworkTest, SparkVanishesWhenBothOrNeitherEndIsInfected)
{
    for (int other : {static_cast<int>(INITFAIL), 6}) {
        SCOPED_TRACE(other);
        two_computers(100, 100, INITFAIL, 200, 100, 2);
        Network::update();
        Network::update();
        int frame = wire().frame;
        Network::computer(1).distro = other;
        if (other != INITFAIL)
            Network::computer(0).distro = 7;
        Network::update();
        EXPECT_EQ(wire().active, 0);
        EXPECT_EQ(wire().frame, frame);
        Network::update();
        EXPECT_EQ(wire().active, 0);
    }
}

TEST_F(NetworkTest, FrameAlternatesWithEveryMoveOnly)
{
    two_computers(100, 100, INITFAIL, 200, 100, 2);
    Network::update();
    std::vector<int> frames;
    for (int i = 0; i < 4; i++) {
        Network::update();
        frames.push_back(wire().frame);
    }
    EXPECT_EQ(frames, (std::vector<int>{1, 0, 1, 0}));
    Network::update();
    Wire::douse(wire());
    EXPECT_EQ(wire().frame, 1);
    Network::update();   // a new spark: frame kept
    EXPECT_EQ(wire().frame, 1);
}

TEST_F(NetworkTest, DousedSparkRestartsAtTheInfectedEnd)
{
    two_computers(100, 100, INITFAIL, 200, 100, 2);
    for (int i = 0; i < 6; i++)
        Network::update();
    Wire::douse(wire());
    EXPECT_EQ(wire().active, 0);
    EXPECT_EQ(Wire::spark_hit(wire(), wire().spark_x, wire().spark_y), 0);
    Network::update();
    EXPECT_EQ(wire().active, 1);
    EXPECT_EQ(spark(), std::make_pair(100, 100));
}

TEST_F(NetworkTest, SparkHitBoxReachesOneLessThanTheSparkSize)
{
    two_computers(100, 100, INITFAIL, 200, 100, 2);
    EXPECT_EQ(Wire::spark_hit(wire(), 100, 100), 0) << "no spark yet";
    Network::update();
    struct Case {
        int x, y, hit;
    } cases[] = {{100, 100, 1}, {113, 113, 1}, {87, 87, 1},  {114, 100, 0},
                 {86, 100, 0},  {100, 114, 0}, {100, 86, 0}, {113, 87, 1}};
    for (const Case &k : cases) {
        SCOPED_TRACE(testing::Message() << k.x << "," << k.y);
        EXPECT_EQ(Wire::spark_hit(wire(), k.x, k.y), k.hit);
    }
}

TEST_F(NetworkTest, DrawShowsWiresAndSparksUnderTheComputers)
{
    Computer cs[3] = {};
    int xs[3] = {50, 150, 250};
    int distros[3] = {INITFAIL, 7, NO_DISTRO};
    for (int i = 0; i < 3; i++) {
        cs[i].kind = i == 1 ? 6 : 1 + i;
        cs[i].x = xs[i];
        cs[i].y = 60;
        cs[i].distro = distros[i];
    }
    Network::set_for_tests(cs, 3);
    Network::add_wire_for_tests(0, 1);
    Network::add_wire_for_tests(1, 2);
    Network::update();
    FakeGui::clear_calls();
    Network::draw();
    std::vector<std::string> expected = {
        "draw_line 65 77 165 77", "draw_image spark_0 58 70", "draw_line 165 77 265 77",
        "draw_image maccpu 50 60", "draw_image initfail 54 64", "draw_image bsdcpu 150 60",
        "draw_image openbsd 154 64", "draw_image sgicpu 250 60",
    };
    EXPECT_EQ(FakeGui::calls(), expected);
}

TEST_F(NetworkTest, ToastersKeepTheCountersAndLoseTheWires)
{
    Game::set_level(5);
    srand(8);
    Network::setup();
    Network::set_distro(Network::computer(2), INITFAIL);
    Network::computer(2).busy = 1;
    Network::update();
    Network::to_toasters();
    EXPECT_EQ(Network::wire_count(), 0);
    EXPECT_EQ(Network::computer_count(), 13);
    EXPECT_EQ(Network::counter(GOOD), 12);
    EXPECT_EQ(Network::counter(INFECTED), 1);
    EXPECT_EQ(Network::computer(2).busy, 1);
    FakeGui::clear_calls();
    Network::draw();
    ASSERT_EQ(FakeGui::calls().size(), 13u);
    for (int i = 0; i < 13; i++)
        EXPECT_EQ(FakeGui::calls()[i], "draw_image toaster " + std::to_string(Network::computer(i).x) + " " +
                                           std::to_string(Network::computer(i).y));
}

TEST_F(NetworkTest, ForgetLooseClearsOnlyThatRecord)
{
    Computer cs[3] = {};
    Glimp a{}, b{};
    cs[0].loose = &a;
    cs[1].loose = &b;
    cs[2].loose = &a;
    Network::set_for_tests(cs, 3);
    Network::forget_loose(&a);
    EXPECT_EQ(Network::computer(0).loose, nullptr);
    EXPECT_EQ(Network::computer(1).loose, &b);
    EXPECT_EQ(Network::computer(2).loose, nullptr);
}

TEST_F(NetworkTest, HandMadeNetworkCountsItsDistros)
{
    Computer cs[4] = {};
    int distros[4] = {NO_DISTRO, INITFAIL, 3, INITFAIL};
    for (int i = 0; i < 4; i++)
        cs[i].distro = distros[i];
    Network::set_for_tests(cs, 4);
    EXPECT_EQ(Network::counter(OFF), 1);
    EXPECT_EQ(Network::counter(GOOD), 1);
    EXPECT_EQ(Network::counter(INFECTED), 2);
    EXPECT_EQ(Network::wire_count(), 0);
}

TEST_F(NetworkTest, SparkPicturesAreTwoFramesSizedByTheFirst)
{
    FakeGui::set_image_size("spark_0", 16, 12);
    FakeGui::clear_calls();
    Spark::load_images();
    EXPECT_EQ(FakeGui::calls(), (std::vector<std::string>{"load_image spark_0 1", "load_image spark_1 1"}));
    EXPECT_EQ(Spark::width(), 16);
    EXPECT_EQ(Spark::height(), 12);
}

// The grid placement must place exactly the computers of the plain scan, with the same
// number of draws, whatever the field size and however crowded.
TEST_F(NetworkTest, IndexedPlacementMatchesThePlainScan)
{
    struct Case {
        int size, level, seeds;
    } cases[] = {{400, 12, 200}, {400, 3, 50}, {997, 12, 10}, {1000, 12, 10},
                 {2000, 12, 3}, {4000, 12, 2}};
    auto run = [](int plain, unsigned seed) {
        ComputerTesting::set_plain_scan(plain);
        srand(seed);
        Network::setup();
        std::vector<int> out;
        for (int i = 0; i < Network::computer_count(); i++) {
            const Computer &c = Network::computer(i);
            out.insert(out.end(), {c.x, c.y, c.kind, c.distro});
        }
        for (int i = 0; i < Network::wire_count(); i++)
            out.insert(out.end(), {Network::wire(i).from, Network::wire(i).to});
        out.push_back(rand());
        return out;
    };
    for (const Case &k : cases) {
        Game::set_screen_size(k.size);
        Game::set_level(k.level);
        for (unsigned seed = 1; seed <= static_cast<unsigned>(k.seeds); seed++) {
            SCOPED_TRACE(testing::Message() << "size " << k.size << " seed " << seed);
            ASSERT_EQ(run(1, seed), run(0, seed));
        }
    }
    // Crowded: big computers leave room for a few only, so placements run out of tries.
    Game::set_screen_size(400);
    Game::set_level(12);
    ComputerTesting::set_size(120, 90);
    for (unsigned seed = 1; seed <= 5; seed++) {
        SCOPED_TRACE(testing::Message() << "crowded seed " << seed);
        ASSERT_EQ(run(1, seed), run(0, seed));
    }
}

// With no memory left for the level's computers the program ends as for every other
// failed allocation, with "out of memory" and status 1, not with an uncaught exception.
TEST_F(NetworkTest, NoMemoryForTheNetworkEndsWithOutOfMemory)
{
#ifdef ADDRESS_SANITIZER
    GTEST_SKIP() << "no address-space limit under the address sanitizer";
#else
    Game::set_screen_size(4000);
    Game::set_level(12);
    EXPECT_EXIT(
        {
            // Cap the address space a little above what is mapped now, then use up the
            // heap, so that the next sizeable allocation fails.
            long pages = 0;
            if (FILE *f = fopen("/proc/self/statm", "r")) {
                if (fscanf(f, "%ld", &pages) != 1)
                    pages = 0;
                fclose(f);
            }
            rlimit limit{};
            getrlimit(RLIMIT_AS, &limit);
            limit.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) +
                             (1u << 20);
            setrlimit(RLIMIT_AS, &limit);
            static void *volatile kept;
            while (void **block = static_cast<void **>(malloc(4096))) {
                *block = kept;
                kept = block;
            }
            Network::setup();
        },
        ::testing::ExitedWithCode(1), "^out of memory\n$");
#endif
}

} // namespace
