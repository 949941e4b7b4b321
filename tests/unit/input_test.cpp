// Pointer input: kill scores, the order of press targets, the drop rule, presses outside
// play, a level ending during a drag, and a second press while a distro is held.
#include "tests/unit/game_test_fixture.h"

#include <climits>

namespace {

// Real-art sizes: Glimps 32 x 32, distros 24 x 20, computers 46 x 34, the bucket 30 x 30.
using InputTest = GameFixture;

TEST_F(InputTest, KillScoreIsFiveTimesTheSquareOfGlimpsHitAtOnce)
{
    const int expected[] = {0, 5, 20, 45};
    for (int n = 0; n <= 3; n++) {
        SCOPED_TRACE(n);
        Swarm::reset_for_tests();
        std::vector<Glimp *> living;
        for (int i = 0; i < n; i++)
            living.push_back(glimp(i % 2 ? WALKING_OUT : WALKING_IN, 100 + i, 100));
        glimp(DYING, 100, 100);   // already dying: not counted again
        playing(1);
        Game::set_score_for_tests(10);
        FakeGui::clear_calls();
        Game::button_press(110, 110);
        EXPECT_EQ(Game::score(), 10 + expected[n]);
        EXPECT_EQ(FakeGui::current_cursor(), "hand_down");   // kept until the release
        for (Glimp *g : living)
            EXPECT_EQ(g->state, DYING);
        Game::button_release(110, 110);
        EXPECT_EQ(FakeGui::current_cursor(), "hand_up");
    }
}

TEST_F(InputTest, KillScoreSaturates)
{
    glimp(WALKING_IN, 100, 100);
    playing(1);
    Game::set_score_for_tests(INT_MAX - 3);
    Game::button_press(110, 110);
    EXPECT_EQ(Game::score(), INT_MAX);
}

TEST_F(InputTest, PressTriesBucketThenLooseDistroThenGlimps)
{
    playing(1);
    // Bucket, loose distro and Glimp under one point: the bucket only.
    Glimp *corner_distro = glimp(LOOSE, 2, 2, 1);
    Glimp *corner_glimp = glimp(WALKING_IN, 0, 0);
    Game::button_press(10, 10);
    EXPECT_EQ(Bucket::grabbed(), 1);
    EXPECT_EQ(FakeGui::current_cursor(), "bucket");
    EXPECT_EQ(Game::dragged(), nullptr);
    EXPECT_EQ(Swarm::loose_head(), corner_distro);
    EXPECT_EQ(corner_glimp->state, WALKING_IN);
    Game::button_release(10, 10);
    EXPECT_EQ(Bucket::grabbed(), 0);

    // Loose distro and Glimp: the distro is picked up and nobody dies.
    Glimp *distro = glimp(LOOSE, 200, 200, 4);
    Glimp *walker = glimp(WALKING_IN, 195, 195);
    FakeGui::clear_calls();
    Game::button_press(210, 210);
    EXPECT_EQ(Game::dragged(), distro);
    EXPECT_EQ(FakeGui::calls(), (std::vector<std::string>{"set_cursor hand_down", "set_cursor debian"}));
    EXPECT_EQ(walker->state, WALKING_IN);
    EXPECT_EQ(Game::score(), 0);
    Game::button_release(210, 210);   // no network: it lies again where it was
    EXPECT_EQ(Swarm::loose_head(), distro);
    EXPECT_EQ(Game::dragged(), nullptr);

    // Once the distro is out of the way, the Glimp.
    Swarm::remove(distro);
    Game::button_press(210, 210);
    EXPECT_EQ(walker->state, DYING);
    EXPECT_EQ(Game::score(), 5);
}

TEST_F(InputTest, DropInstallsOnTheFirstComputerThatCanTakeIt)
{
    struct Case {
        const char *what;
        std::vector<Computer> computers;
        int distro;
        int x, y;          // release point
        int taker;         // -1: put back
        int good, off, infected;   // counter changes
    } cases[] = {
        {"infected, accepts", {computer(1, INITFAIL, 100, 100)}, 1, 100, 100, 0, +1, 0, -1},
        {"no distro, accepts", {computer(1, NO_DISTRO, 100, 100)}, 1, 100, 100, 0, +1, -1, 0},
        {"runs a real distro", {computer(1, 1, 100, 100)}, 1, 100, 100, -1, 0, 0, 0},
        {"wrong kind", {computer(2, INITFAIL, 100, 100)}, 1, 100, 100, -1, 0, 0, 0},
        {"PC takes any PC distro", {computer(6, INITFAIL, 100, 100)}, 9, 100, 100, 0, +1, 0, -1},
        {"PC refuses gentoo", {computer(6, NO_DISTRO, 100, 100)}, 5, 100, 100, -1, 0, 0, 0},
        {"gentoo box refuses PC", {computer(5, NO_DISTRO, 100, 100)}, 6, 100, 100, -1, 0, 0, 0},
        {"hit area reaches left of the picture", {computer(1, INITFAIL, 100, 100)}, 1, 55, 67, 0, +1, 0, -1},
        {"just off to the right", {computer(1, INITFAIL, 100, 100)}, 1, 146, 100, -1, 0, 0, 0},
        {"just off below", {computer(1, INITFAIL, 100, 100)}, 1, 100, 134, -1, 0, 0, 0},
        {"off every computer", {computer(1, INITFAIL, 100, 100), computer(1, NO_DISTRO, 300, 100)}, 1, 200, 250,
         -1, 0, 0, 0},
        {"over two: the first refuses", {computer(2, INITFAIL, 100, 100), computer(1, INITFAIL, 120, 110)}, 1, 110,
         105, 1, +1, 0, -1},
        {"over two: the lower index wins", {computer(1, INITFAIL, 100, 100), computer(1, NO_DISTRO, 120, 110)}, 1,
         110, 105, 0, +1, 0, -1},
        {"over two: a real distro refuses", {computer(1, 1, 100, 100), computer(1, NO_DISTRO, 120, 110)}, 1, 110,
         105, 1, +1, -1, 0},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        Swarm::reset_for_tests();
        Network::set_for_tests(k.computers.data(), static_cast<int>(k.computers.size()));
        playing(1);
        Glimp *lying = glimp(LOOSE, 350, 350, k.distro);
        Game::button_press(360, 360);
        ASSERT_EQ(Game::dragged(), lying);
        int good = Network::counter(GOOD), off = Network::counter(OFF), infected = Network::counter(INFECTED);
        Game::button_release(k.x, k.y);
        EXPECT_EQ(Game::dragged(), nullptr);
        EXPECT_EQ(FakeGui::current_cursor(), "hand_up");
        EXPECT_EQ(Network::counter(GOOD), good + k.good);
        EXPECT_EQ(Network::counter(OFF), off + k.off);
        EXPECT_EQ(Network::counter(INFECTED), infected + k.infected);
        for (int i = 0; i < Network::computer_count(); i++)
            EXPECT_EQ(Network::computer(i).distro, i == k.taker ? k.distro : k.computers[i].distro) << i;
        if (k.taker >= 0) {
            EXPECT_EQ(Swarm::loose_head(), nullptr);   // installed: the record is gone
        } else {
            ASSERT_EQ(Swarm::loose_head(), lying);     // lies again where it was picked up
            EXPECT_EQ(lying->next, nullptr);
            EXPECT_EQ(lying->x, 350);
            EXPECT_EQ(lying->y, 350);
        }
    }
}

// While a distro is dragged, the front marks the computers that would take it, from the drop
// rule itself; the marks follow the field tick by tick and go with the drag. The game draws
// nothing more for them.
TEST_F(InputTest, DraggedDistroMarksTheComputersThatWouldTakeItUntilItIsLetGo)
{
    auto marked = [] {
        int count = 0;
        const MarkedBox *boxes = Gui::marked_boxes(&count);
        std::vector<std::string> out;
        for (int i = 0; i < count; i++)
            out.push_back(std::to_string(boxes[i].x) + "," + std::to_string(boxes[i].y) + " " +
                          std::to_string(boxes[i].w) + "x" + std::to_string(boxes[i].h));
        return out;
    };
    network({computer(1, INITFAIL, 40, 40), computer(1, 1, 120, 40), computer(1, NO_DISTRO, 200, 40),
             computer(6, INITFAIL, 40, 120), computer(2, NO_DISTRO, 120, 120)});
    Swarm::add_to_counter(RESERVE, 3);   // the level goes on
    playing(1);
    Glimp *lying = glimp(LOOSE, 350, 350, 1);   // arch: only a maccpu runs it
    Game::button_press(360, 360);
    ASSERT_EQ(Game::dragged(), lying);
    EXPECT_EQ(marked(), (std::vector<std::string>{"40,40 46x34", "200,40 46x34"}));

    // The arch box loses its distro during the drag: from the next tick it takes it too.
    Network::computer(1).distro = NO_DISTRO;
    FakeGui::clear_calls();
    Game::tick();
    EXPECT_EQ(marked(), (std::vector<std::string>{"40,40 46x34", "120,40 46x34", "200,40 46x34"}));
    for (const std::string &call : FakeGui::calls())
        EXPECT_EQ(call.find("highlight"), std::string::npos) << call;

    Game::button_release(300, 300);   // off every computer: it lies again where it was
    EXPECT_TRUE(marked().empty());

    // Dropped on a computer, and a drag that the level's end cuts short.
    Game::button_press(360, 360);
    Game::button_release(40, 40);
    EXPECT_EQ(Network::computer(0).distro, 1);
    EXPECT_TRUE(marked().empty());
    glimp(LOOSE, 350, 350, 1);
    Game::button_press(360, 360);
    EXPECT_EQ(marked().size(), 2u);
    Game::set_state(GAME_OVER);
    EXPECT_TRUE(marked().empty());
}

TEST_F(InputTest, OutsidePlayPressesDoNothingAndReleasesOnlyResetTheCursor)
{
    network({computer(1, INITFAIL, 100, 100)});
    Glimp *walker = glimp(WALKING_IN, 250, 250);
    Glimp *lying = glimp(LOOSE, 300, 300, 1);
    playing(1);
    Game::button_press(10, 10);   // the bucket is held when play stops
    for (int state : {WAITING, BETWEEN_LEVELS, GAME_OVER}) {
        SCOPED_TRACE(state);
        Game::set_state(state);
        FakeGui::clear_calls();
        for (auto point : {std::pair<int, int>{10, 10}, {260, 260}, {310, 310}})
            Game::button_press(point.first, point.second);
        EXPECT_TRUE(FakeGui::calls().empty());
        EXPECT_EQ(walker->state, WALKING_IN);
        EXPECT_EQ(Swarm::loose_head(), lying);
        EXPECT_EQ(Game::dragged(), nullptr);
        EXPECT_EQ(Game::score(), 0);
        Game::button_release(310, 310);
        EXPECT_EQ(FakeGui::calls(), std::vector<std::string>{"set_cursor hand_up"});
        EXPECT_EQ(Bucket::grabbed(), 1);   // no release reached the bucket
    }
}

TEST_F(InputTest, ReleaseWithNothingDraggedDousesSparksWithoutTheBucket)
{
    network({computer(1, INITFAIL, 100, 100), computer(1, 1, 300, 300)});
    Network::add_wire_for_tests(0, 1);
    Network::update();   // the spark starts at the infected end
    ASSERT_EQ(Network::wire(0).active, 1);
    playing(1);
    Game::button_release(Network::wire(0).spark_x, Network::wire(0).spark_y);
    EXPECT_EQ(Network::wire(0).active, 0);
}

TEST_F(InputTest, SecondPressWhileADistroIsHeldChangesNothing)
{
    // Two distros on one spot and a Glimp under them: a double click or a second button
    // must neither pick up the other distro nor kill, and the held one comes back once.
    Glimp *older = glimp(LOOSE, 200, 200, 2);
    Glimp *newer = glimp(LOOSE, 200, 200, 3);
    Glimp *walker = glimp(WALKING_IN, 195, 195);
    Glimp *elsewhere = glimp(LOOSE, 300, 300, 4);
    playing(1);
    Game::button_press(210, 210);
    ASSERT_EQ(Game::dragged(), newer);
    FakeGui::clear_calls();
    Game::button_press(210, 210);
    Game::button_press(310, 310);
    EXPECT_TRUE(FakeGui::calls().empty());
    EXPECT_EQ(Game::dragged(), newer);
    EXPECT_EQ(walker->state, WALKING_IN);
    EXPECT_EQ(Game::score(), 0);
    EXPECT_EQ(list_length(Swarm::loose_head()), 2);

    Game::button_release(400, 50);   // off every computer: put back
    Game::button_release(400, 50);   // the second button's release: the bucket's
    EXPECT_EQ(Game::dragged(), nullptr);
    ASSERT_EQ(list_length(Swarm::loose_head()), 3);
    EXPECT_EQ(Swarm::loose_head(), newer);
    EXPECT_EQ(newer->next, elsewhere);
    EXPECT_EQ(elsewhere->next, older);
}

TEST_F(InputTest, LevelEndingDuringADragFreesTheHeldDistro)
{
    network({computer(1, NO_DISTRO, 100, 100)});
    Glimp *lying = glimp(LOOSE, 300, 300, 1);
    Network::computer(0).loose = lying;   // it was killed at that computer
    playing(1);
    Game::button_press(310, 310);
    ASSERT_EQ(Game::dragged(), lying);

    Game::set_state(BETWEEN_LEVELS);
    Game::button_release(100, 100);   // between levels the drop does not count
    EXPECT_EQ(Game::dragged(), lying);
    EXPECT_EQ(Network::computer(0).distro, NO_DISTRO);

    Game::tick();   // score dialog, then level 2
    EXPECT_EQ(Game::level(), 2);
    EXPECT_EQ(Game::dragged(), nullptr);
    EXPECT_EQ(Swarm::loose_head(), nullptr);
    int good = Network::counter(GOOD), off = Network::counter(OFF), infected = Network::counter(INFECTED);
    Game::button_release(100, 100);   // goes to the bucket: nothing is put back
    EXPECT_EQ(Swarm::loose_head(), nullptr);
    EXPECT_EQ(Network::counter(GOOD), good);
    EXPECT_EQ(Network::counter(OFF), off);
    EXPECT_EQ(Network::counter(INFECTED), infected);
}

TEST_F(InputTest, NewGameDuringADragFreesTheHeldDistro)
{
    Glimp *lying = glimp(LOOSE, 300, 300, 1);
    playing(1);
    Game::button_press(310, 310);
    ASSERT_EQ(Game::dragged(), lying);
    Game::start(1);
    EXPECT_EQ(Game::dragged(), nullptr);
    EXPECT_EQ(Swarm::loose_head(), nullptr);
}

} // namespace
