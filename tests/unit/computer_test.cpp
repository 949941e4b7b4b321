// Computers and distros: placement draws and spacing, hit test, compatibility, pictures.
#include "field/computer.h"
#include "field/computer_testing.h"
#include "field/glimp.h"
#include "field/network_testing.h"
#include "game/game.h"
#include "tests/fake_gui.h"
#include "tests/unit/test_world.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

// The sizes of the pictures the field has loaded (the committed artwork): a computer's
// width and height, a Glimp's width, and how far apart across two computers must stand.
int cw() { return Computer::width(); }
int ch() { return Computer::height(); }
int gw() { return Glimp::width(); }
int spacing() { return cw() + gw() - 20; }

class ComputerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestWorld::fresh_field();   // the Glimp is gw() wide
    }
};

std::vector<int> draws(unsigned seed, int count)
{
    srand(seed);
    std::vector<int> out;
    for (int i = 0; i < count; i++)
        out.push_back(rand());
    return out;
}

Computer at(int x, int y, int kind = 1) { return TestWorld::computer(kind, kind, x, y); }

TEST_F(ComputerTest, LoadsSevenPicturesInKindOrderSizedByTheToaster)
{
    FakeGui::set_image_size("toaster", 50, 40);
    FakeGui::set_image_size("maccpu", 70, 70);
    FakeGui::clear_calls();
    Computer::load_images();
    std::vector<std::string> expected = {"load_image toaster 1", "load_image maccpu 1",
                                         "load_image nextcpu 1", "load_image sgicpu 1",
                                         "load_image suncpu 1",  "load_image os2cpu 1",
                                         "load_image bsdcpu 1"};
    EXPECT_EQ(FakeGui::calls(), expected);
    EXPECT_EQ(Computer::width(), 50);
    EXPECT_EQ(Computer::height(), 40);
}

TEST_F(ComputerTest, DistrosLoadInitfailWithoutCursorThenPictureAndCursorOfEach)
{
    FakeGui::set_image_size("initfail", 25, 21);
    FakeGui::clear_calls();
    Distro::load_images();
    std::vector<std::string> expected = {"load_image initfail 1"};
    for (int d = 1; d <= 10; d++) {
        expected.push_back(std::string("load_image ") + Distro::name(d) + " 1");
        expected.push_back(std::string("load_cursor ") + Distro::name(d) + " 1");
    }
    EXPECT_EQ(FakeGui::calls(), expected);
    EXPECT_EQ(Distro::width(), 25);
    EXPECT_EQ(Distro::height(), 21);
    EXPECT_STREQ(Distro::name(10), "ubuntu");
    EXPECT_STREQ(Computer::kind_name(6), "bsdcpu");
}

TEST_F(ComputerTest, FirstComputerTakesOneDrawOfXAndYWithoutATest)
{
    // Seeds chosen so that both kinds of placement draw occur: kinds 1..5 and the bsdcpu,
    // which draws once more for its distro.
    bool saw_pc = false, saw_plain = false;
    for (unsigned seed = 1; seed <= 40; seed++) {
        SCOPED_TRACE(seed);
        std::vector<int> r = draws(seed, 5);
        srand(seed);
        Computer c{};
        ASSERT_EQ(Computer::setup(c, 0), 1);
        EXPECT_EQ(c.x, 40 + r[0] % (400 - 80 - cw() + 1));
        EXPECT_EQ(c.y, 40 + r[1] % (400 - 80 - ch() + 1));
        EXPECT_EQ(c.kind, r[2] % 6 + 1);
        int used = 3;
        if (r[2] % 6 < 5) {
            EXPECT_EQ(c.distro, c.kind);
            saw_plain = true;
        } else {
            EXPECT_EQ(c.distro, r[3] % 5 + 6);
            used = 4;
            saw_pc = true;
        }
        EXPECT_EQ(c.busy, 0);
        EXPECT_EQ(c.loose, nullptr);
        EXPECT_EQ(rand(), r[used]) << "placement took a different number of draws";
    }
    EXPECT_TRUE(saw_pc && saw_plain);
}

// An earlier computer placed relative to where the first candidate will land: the
// candidate must be rejected exactly when it is less than spacing() across and ch down.
TEST_F(ComputerTest, ConflictBoundaryIsWAcrossAndComputerHeightDown)
{
    struct Case {
        int dx, dy;
        bool conflict;
    } cases[] = {
        {spacing(), 0, false},      {spacing() - 1, 0, true},       {-spacing(), 0, false},     {-(spacing() - 1), 0, true},
        {0, ch(), false},     {0, ch() - 1, true},      {0, -ch(), false},    {0, -(ch() - 1), true},
        {spacing() - 1, ch() - 1, true}, {spacing(), ch() - 1, false},  {spacing() - 1, ch(), false}, {0, 0, true},
    };
    for (int plain = 0; plain <= 1; plain++) {
        ComputerTesting::set_plain_scan(plain);
        for (const Case &k : cases) {
            SCOPED_TRACE(testing::Message() << "plain " << plain << " offset " << k.dx << "," << k.dy);
            const unsigned seed = 7;
            std::vector<int> r = draws(seed, 8);
            int x1 = 40 + r[0] % (400 - 80 - cw() + 1), y1 = 40 + r[1] % (400 - 80 - ch() + 1);
            int x2 = 40 + r[2] % (400 - 80 - cw() + 1), y2 = 40 + r[3] % (400 - 80 - ch() + 1);
            Computer earlier = at(x1 - k.dx, y1 - k.dy);
            // The second candidate must be clear of the earlier computer for the case to tell.
            ASSERT_FALSE(abs(x2 - earlier.x) < spacing() && abs(y2 - earlier.y) < ch());
            Network::set_for_tests(&earlier, 1);
            srand(seed);
            Computer c{};
            ASSERT_EQ(Computer::setup(c, 1), 1);
            EXPECT_EQ(c.x, k.conflict ? x2 : x1);
            EXPECT_EQ(c.y, k.conflict ? y2 : y1);
        }
    }
}

TEST_F(ComputerTest, FieldTooFullGivesUpAfter4000TestsLeavingTheRecordUnwritten)
{
    // A lattice spacing() across and ch down leaves every candidate within reach of some computer.
    std::vector<Computer> lattice;
    for (int y = 0; y <= 400; y += ch())
        for (int x = 0; x <= 400; x += spacing())
            lattice.push_back(at(x, y));
    for (int plain = 0; plain <= 1; plain++) {
        SCOPED_TRACE(plain);
        ComputerTesting::set_plain_scan(plain);
        Network::set_for_tests(lattice.data(), static_cast<int>(lattice.size()));
        std::vector<int> r = draws(3, 8001);
        srand(3);
        Computer c = at(-77, -88, 3);
        c.busy = 5;
        EXPECT_EQ(Computer::setup(c, static_cast<int>(lattice.size())), 0);
        EXPECT_EQ(c.x, -77);
        EXPECT_EQ(c.y, -88);
        EXPECT_EQ(c.kind, 3);
        EXPECT_EQ(c.busy, 5);
        EXPECT_EQ(rand(), r[8000]) << "expected exactly 4000 candidates of two draws each";
    }
}

TEST_F(ComputerTest, CrowdedFieldKeepsTheComputersAlreadyPlaced)
{
    // Huge computers: only a handful fit, far fewer than the level asks for.
    ComputerTesting::set_size(150, 150);
    Game::set_level(12);
    srand(11);
    Network::setup();
    int n = Network::computer_count();
    EXPECT_GE(n, 1);
    EXPECT_LE(n, 4);
    EXPECT_EQ(Network::counter(GOOD), n);
    EXPECT_EQ(Network::counter(OFF), 0);
    EXPECT_EQ(Network::counter(INFECTED), 0);
    EXPECT_EQ(Network::wire_count(), n / 2);
    for (int i = 0; i < n; i++)
        for (int j = 0; j < i; j++)
            EXPECT_FALSE(abs(Network::computer(i).x - Network::computer(j).x) < 150 + gw() - 20 &&
                         abs(Network::computer(i).y - Network::computer(j).y) < 150);
}

TEST_F(ComputerTest, NoRoomInsideTheBordersPlacesNothingAndDrawsNothing)
{
    // The picture is as wide as the field less its borders plus one: no left edge is possible.
    ComputerTesting::set_size(400 - 80 + 1, 10);
    srand(5);
    int next = rand();
    srand(5);
    Computer c = at(1, 2);
    EXPECT_EQ(Computer::setup(c, 0), 0);
    EXPECT_EQ(c.x, 1);
    EXPECT_EQ(rand(), next);
    // One pixel narrower there is exactly one place across.
    ComputerTesting::set_size(400 - 80, 10);
    ASSERT_EQ(Computer::setup(c, 0), 1);
    EXPECT_EQ(c.x, 40);
}

TEST_F(ComputerTest, Level12AtSize400PlacesAll20ComputersForEverySeed)
{
    Game::set_level(12);
    for (unsigned seed = 1; seed <= 1000; seed++) {
        srand(seed);
        Network::setup();
        ASSERT_EQ(Network::computer_count(), 20) << "seed " << seed;
    }
}

TEST_F(ComputerTest, PlacedComputersStayInsideTheBordersAndApart)
{
    Game::set_level(12);
    for (unsigned seed = 1; seed <= 50; seed++) {
        SCOPED_TRACE(seed);
        srand(seed);
        Network::setup();
        int n = Network::computer_count();
        for (int i = 0; i < n; i++) {
            const Computer &c = Network::computer(i);
            EXPECT_TRUE(c.x >= 40 && c.x + cw() <= 360 && c.y >= 40 && c.y + ch() <= 360);
            for (int j = 0; j < i; j++) {
                const Computer &o = Network::computer(j);
                EXPECT_FALSE(abs(c.x - o.x) < spacing() && abs(c.y - o.y) < ch()) << i << " and " << j;
            }
        }
    }
}

TEST_F(ComputerTest, KindsAreOneToSixAndStartWithTheirOwnDistro)
{
    std::set<int> kinds, pc_distros;
    Game::set_level(12);
    for (unsigned seed = 1; seed <= 30; seed++) {
        srand(seed);
        Network::setup();
        for (int i = 0; i < Network::computer_count(); i++) {
            const Computer &c = Network::computer(i);
            SCOPED_TRACE(testing::Message() << "seed " << seed << " computer " << i);
            ASSERT_TRUE(c.kind >= 1 && c.kind <= 6);
            kinds.insert(c.kind);
            if (c.kind <= 5) {
                EXPECT_EQ(c.distro, c.kind);
            } else {
                EXPECT_TRUE(c.distro >= 6 && c.distro <= 10);
                pc_distros.insert(c.distro);
            }
        }
    }
    EXPECT_EQ(kinds.size(), 6u);
    EXPECT_EQ(pc_distros.size(), 5u);
}

TEST_F(ComputerTest, RandomPcDistroIsOneDrawModuloFivePlusSix)
{
    std::vector<int> r = draws(9, 20);
    srand(9);
    for (int i = 0; i < 20; i++)
        EXPECT_EQ(Distro::random_pc_distro(), r[i] % 5 + 6);
}

TEST_F(ComputerTest, HitAreaIsCentredOnTheTopLeftCorner)
{
    Computer c = at(100, 200);
    struct Case {
        int x, y, hit;
    } cases[] = {
        {100 - cw() + 1, 200 - ch() + 1, 1}, {100 - cw(), 200, 0}, {100, 200 - ch(), 0},
        {100 + cw() - 1, 200 + ch() - 1, 1}, {100 + cw(), 200, 0}, {100, 200 + ch(), 0},
        {100, 200, 1},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(testing::Message() << k.x << "," << k.y);
        EXPECT_EQ(Computer::hit(c, k.x, k.y), k.hit);
    }
}

TEST_F(ComputerTest, EachKindAcceptsOnlyTheDistrosItCanRun)
{
    // kind -> the distros it runs, from the kind table
    const std::set<int> runs[COMPUTER_KINDS] = {{0}, {1}, {2}, {3}, {4}, {5}, {6, 7, 8, 9, 10}};
    for (int kind = 0; kind < COMPUTER_KINDS; kind++)
        for (int start = NO_DISTRO; start <= 10; start++)
            for (int d = NO_DISTRO; d <= 10; d++) {
                SCOPED_TRACE(testing::Message() << "kind " << kind << " running " << start << " offered " << d);
                Computer c = at(0, 0, kind);
                c.distro = start;
                EXPECT_EQ(Computer::accepts(c, d), runs[kind].count(d) ? 1 : 0);
            }
}

TEST_F(ComputerTest, PcDistrosAreThoseAboveFive)
{
    struct Case {
        int distro, pc;
    } cases[] = {{NO_DISTRO, 0}, {INITFAIL, 0}, {1, 0}, {5, 0}, {6, 1}, {8, 1}, {10, 1}};
    for (const Case &k : cases) {
        SCOPED_TRACE(k.distro);
        EXPECT_EQ(Distro::is_pc_distro(k.distro), k.pc);
    }
}

TEST_F(ComputerTest, DrawShowsTheComputerThenItsDistroInset)
{
    Computer c = at(100, 50, 6);
    c.distro = 9;
    Computer::draw(c);
    c.distro = INITFAIL;
    Computer::draw(c);
    c.kind = 0;
    c.distro = NO_DISTRO;
    Computer::draw(c);
    std::vector<std::string> expected = {"draw_image bsdcpu 100 50",  "draw_image suse 104 54",
                                         "draw_image bsdcpu 100 50",  "draw_image initfail 104 54",
                                         "draw_image toaster 100 50"};
    EXPECT_EQ(FakeGui::calls(), expected);
}

TEST_F(ComputerTest, DistroCursorOnlyForRealDistros)
{
    Distro::use_cursor(4);
    EXPECT_EQ(FakeGui::current_cursor(), "debian");
    // initfail and no distro have no cursor: the pointer is left as it is.
    Distro::use_cursor(INITFAIL);
    Distro::use_cursor(NO_DISTRO);
    EXPECT_EQ(FakeGui::current_cursor(), "debian");
    EXPECT_EQ(FakeGui::calls_starting("set_cursor").size(), 1u);
}

} // namespace
