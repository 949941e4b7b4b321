// The Game module: the four tick branches with their figures, warps, new games, the end of a
// game, the scale factor, saturation at huge levels and the guard against a nested tick.
#include "tests/unit/game_test_fixture.h"

#include <climits>
#include <fstream>
#include <sstream>

namespace {

using GameTest = GameFixture;

std::string status_line(int on_field, int reserve, int good, int off, int infected, int level, int score)
{
    char text[160];
    snprintf(text, sizeof text, "draw_text Glimp:%d/%d  System:%d/%d/%d  Level:%d  Score:%d 5 395", on_field,
             reserve, good, off, infected, level, score);
    return text;
}

TEST_F(GameTest, PlayingTickAddsTheTruncatedUptimeTerm)
{
    struct Case {
        int good, off, infected, term;
    } cases[] = {
        {8, 0, 2, 78},    // (800 - 20) / 10
        {1, 2, 10, 0},    // (100 - 100) / 13
        {0, 2, 10, -8},   // -100 / 12, toward zero
        {2, 0, 0, 100},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(testing::Message() << k.good << " good " << k.off << " off " << k.infected << " infected");
        Swarm::reset_for_tests();
        Swarm::add_to_counter(RESERVE, 5);   // Glimps left: no win
        network_of(k.good, k.off, k.infected);
        playing(1);
        Game::set_ticks_for_tests(1, 100);   // 1 is no entry tick at level 1
        Game::set_score_for_tests(42);
        FakeGui::clear_calls();
        Game::tick();
        EXPECT_EQ(Game::efficiency(), 100 + k.term);
        EXPECT_EQ(Game::state(), PLAYING);
        EXPECT_EQ(Game::ticks(), 2);
        EXPECT_EQ(Game::score(), 42);
        const std::vector<std::string> &calls = FakeGui::calls();
        ASSERT_GE(calls.size(), 4u);
        EXPECT_EQ(calls[0], "clear_canvas");
        EXPECT_EQ(calls[1], "draw_image bucket 0 0");
        EXPECT_EQ(calls[calls.size() - 2], status_line(0, 5, k.good, k.off, k.infected, 1, 42));
        EXPECT_EQ(calls.back(), "present_canvas");
    }
}

TEST_F(GameTest, StatusLineSitsFiveAboveTheBottomOfALargerField)
{
    Game::set_screen_size(600);
    Swarm::add_to_counter(RESERVE, 3);
    network_of(4, 1, 1);
    playing(2);
    Game::set_ticks_for_tests(1, 0);
    Game::tick();
    EXPECT_EQ(FakeGui::calls_starting("draw_text"),
              std::vector<std::string>{"draw_text Glimp:0/3  System:4/1/1  Level:2  Score:0 5 595"});
}

TEST_F(GameTest, WonLevelAddsEfficiencyTimesLevelOverTicks)
{
    network_of(1, 2, 10);   // adds 0, so the efficiency stays at 2850
    playing(3);
    Game::set_ticks_for_tests(37, 2850);
    Game::set_score_for_tests(100);
    Game::tick();
    EXPECT_EQ(Game::score(), 100 + 231);
    EXPECT_EQ(Game::state(), BETWEEN_LEVELS);
    EXPECT_TRUE(FakeGui::calls_starting("show_dialog").empty());
}

TEST_F(GameTest, WinAndLossInOneTickAddTheBonusAndEndTheGame)
{
    network_of(1, 0, 2);    // adds (100 - 20) / 3 = 26, and GOOD + OFF is 1
    playing(2);
    Game::set_ticks_for_tests(10, 74);
    Game::tick();
    EXPECT_EQ(Game::score(), 100 * 2 / 10);
    EXPECT_EQ(Game::state(), GAME_OVER);

    std::vector<int> shown;
    FakeGui::on_dialog([&](int id) { shown.push_back(id); });
    Game::tick();
    EXPECT_EQ(shown, (std::vector<int>{DIALOG_END_GAME, DIALOG_ENTER_NAME, DIALOG_HIGH_SCORES}));
    EXPECT_EQ(Game::state(), WAITING);
}

TEST_F(GameTest, NetworkDownWithGlimpsLeftEndsTheGameWithoutBonus)
{
    Swarm::add_to_counter(RESERVE, 3);
    network_of(0, 1, 5);
    playing(4);
    Game::set_ticks_for_tests(3, 5000);
    Game::set_score_for_tests(7);
    Game::tick();
    EXPECT_EQ(Game::state(), GAME_OVER);
    EXPECT_EQ(Game::score(), 7);
}

TEST_F(GameTest, BetweenLevelsShowsTheScoreAndSetsUpTheNextLevel)
{
    Game::set_state(BETWEEN_LEVELS);
    Game::set_level(3);
    Game::set_score_for_tests(331);
    Game::set_ticks_for_tests(40, 900);
    std::string text_when_shown;
    FakeGui::on_dialog([&](int) { text_when_shown = FakeGui::dialog_text(DIALOG_SCORE); });
    Game::tick();
    EXPECT_EQ(text_when_shown, "After Level 3:\nScore: 331");
    EXPECT_EQ(FakeGui::calls(), (std::vector<std::string>{"set_cursor hand_up", "set_dialog_text 8",
                                                          "show_dialog 8", "set_cursor hand_up", "present_canvas"}));
    EXPECT_EQ(Game::state(), PLAYING);
    EXPECT_EQ(Game::level(), 4);
    EXPECT_EQ(Game::score(), 331);
    EXPECT_EQ(Game::ticks(), 1);   // set-up gives 0, the tick's own step 1
    EXPECT_EQ(Game::efficiency(), 0);
    EXPECT_EQ(Swarm::counter(RESERVE), 3 * 4 + 8);
    EXPECT_EQ(Network::computer_count(), 4 + 8);
}

TEST_F(GameTest, TopLevelIsPlayedAgainInsteadOfOverflowing)
{
    Game::set_state(BETWEEN_LEVELS);
    Game::set_level(INT_MAX);
    Game::set_score_for_tests(5);
    Game::tick();
    EXPECT_EQ(FakeGui::dialog_text(DIALOG_SCORE), "After Level 2147483647:\nScore: 5");
    EXPECT_EQ(Game::level(), INT_MAX);
    EXPECT_EQ(Game::state(), PLAYING);
    EXPECT_EQ(Swarm::counter(RESERVE), 100);
    EXPECT_EQ(Network::computer_count(), 20);
}

TEST_F(GameTest, GameOverShowsItsDialogsInOrderAndAsksForANameOnlyWhenItQualifies)
{
    struct Case {
        int score;
        bool qualifies;
    } cases[] = {{0, false}, {-3, false}, {1, true}, {5000, true}};
    for (const Case &k : cases) {
        SCOPED_TRACE(k.score);
        HighScores::reset_for_tests();
        HighScores::set_path_for_tests(score_path.c_str());
        network_of(3, 0, 2);
        Game::set_state(GAME_OVER);
        Game::set_level(6);
        Game::set_score_for_tests(k.score);
        Gui::start_ticker();
        std::vector<int> shown;
        FakeGui::on_dialog([&](int id) {
            shown.push_back(id);
            if (id == DIALOG_ENTER_NAME)
                Game::add_high_score("Zed");
        });
        FakeGui::clear_calls();
        Game::tick();

        std::vector<std::string> expected = {"set_cursor hand_up", "clear_canvas"};
        for (int i = 0; i < 5; i++)
            expected.push_back("draw_image toaster " + std::to_string(40 + i * 70) + " 40");
        expected.insert(expected.end(), {"present_canvas", "show_dialog 9"});
        if (k.qualifies)
            expected.insert(expected.end(), {"show_dialog 10", "set_dialog_text 3"});
        expected.insert(expected.end(), {"show_dialog 3", "clear_canvas", "draw_image logo 40 120", "stop_timer",
                                         "enable_pause_item 0", "present_canvas"});
        EXPECT_EQ(FakeGui::calls(), expected);
        EXPECT_EQ(Game::state(), WAITING);
        EXPECT_FALSE(FakeGui::timer_running());
        EXPECT_EQ(Network::wire_count(), 0);
        for (int i = 0; i < Network::computer_count(); i++)
            EXPECT_EQ(Network::computer(i).kind, 0);
        if (k.qualifies) {
            EXPECT_STREQ(HighScores::entry(0).name, "Zed");
            EXPECT_EQ(HighScores::entry(0).level, 6);
            EXPECT_EQ(HighScores::entry(0).score, k.score);
            EXPECT_NE(FakeGui::dialog_text(DIALOG_HIGH_SCORES).find("Zed"), std::string::npos);
        } else {
            EXPECT_STREQ(HighScores::entry(0).name, "");
        }

        // Ticks after the end, should the pointer rule restart the ticker, only present the logo.
        FakeGui::clear_calls();
        Game::tick();
        EXPECT_EQ(FakeGui::calls(), std::vector<std::string>{"present_canvas"});
    }
}

TEST_F(GameTest, EnterNameWithoutConfirmingRecordsNothing)
{
    network_of(3, 0, 2);
    Game::set_state(GAME_OVER);
    Game::set_score_for_tests(50);
    Game::tick();   // the fake's dialogs close without a button's action
    EXPECT_STREQ(HighScores::entry(0).name, "Anonymous");   // as start-up read it
    EXPECT_EQ(HighScores::entry(0).score, 0);
}

TEST_F(GameTest, WarpFollowsItsRuleInEveryState)
{
    const int states[] = {WAITING, PLAYING, BETWEEN_LEVELS, GAME_OVER};
    const int targets[] = {INT_MIN, -1, 0, 2, 3, 4, 7};
    for (int state : states)
        for (int target : targets) {
            SCOPED_TRACE(testing::Message() << "state " << state << " warp to " << target);
            Game::set_state(state);
            Game::set_level(3);
            Game::set_score_for_tests(50);
            Game::set_ticks_for_tests(9, 99);
            FakeGui::reset();
            Game::warp_to_level(target);
            bool moves = state == PLAYING ? target > 3 : target > 0;
            if (!moves) {
                EXPECT_TRUE(FakeGui::calls().empty());
                EXPECT_EQ(Game::state(), state);
                EXPECT_EQ(Game::level(), 3);
                EXPECT_EQ(Game::ticks(), 9);
                continue;
            }
            EXPECT_EQ(Game::state(), PLAYING);
            EXPECT_EQ(Game::level(), target);
            EXPECT_EQ(Game::ticks(), 0);
            EXPECT_EQ(Game::efficiency(), 0);
            if (state == PLAYING) {
                // Forward only, the score kept, the ticker and pause entry left alone.
                EXPECT_EQ(Game::score(), 50);
                EXPECT_EQ(FakeGui::calls(), std::vector<std::string>{"set_cursor hand_up"});
            } else {
                EXPECT_EQ(Game::score(), 0);
                EXPECT_TRUE(FakeGui::timer_running());
                EXPECT_EQ(FakeGui::calls(), (std::vector<std::string>{"start_timer 200", "enable_pause_item 1",
                                                                      "set_cursor hand_up"}));
            }
        }
}

TEST_F(GameTest, NewGameDuringPlayRestartsAtLevelOneWithoutASecondTimer)
{
    Game::start(1);
    Game::warp_to_level(5);
    Game::set_score_for_tests(1234);
    Game::start(1);
    EXPECT_EQ(Game::level(), 1);
    EXPECT_EQ(Game::score(), 0);
    EXPECT_EQ(Game::state(), PLAYING);
    EXPECT_EQ(FakeGui::timer_starts(), 1);
    EXPECT_EQ(Swarm::counter(RESERVE), 11);
    EXPECT_EQ(Network::computer_count(), 9);
}

TEST_F(GameTest, ScaleIsTheFieldOver400ToThePowerN)
{
    struct Case {
        int size, n;
        double expected;
    } cases[] = {
        {400, -1, 1.0}, {400, 0, 1.0},   {400, 1, 1.0},   {400, 2, 1.0},      {400, 9, 1.0},
        {600, 2, 2.25}, {600, 0, 1.0},   {600, -3, 1.0},  {500, 2, 1.5625},   {800, 3, 8.0},
        {4000, 2, 100.0}, {2000, INT_MIN, 1.0},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(testing::Message() << "size " << k.size << " n " << k.n);
        Game::set_screen_size(k.size);
        EXPECT_DOUBLE_EQ(Game::scale(k.n), k.expected);
    }
}

TEST_F(GameTest, TickWaitingInADialogIsNotEnteredAgain)
{
    // Whatever the toolkit reports about the pointer, a timer tick that fires while the
    // score dialog or the end-game dialogs wait must change nothing.
    for (int state : {BETWEEN_LEVELS, GAME_OVER}) {
        SCOPED_TRACE(state);
        network_of(3, 0, 2);
        Game::set_state(state);
        Game::set_level(2);
        Game::set_score_for_tests(0);
        Game::set_ticks_for_tests(20, 0);
        int nested = 0;
        FakeGui::on_dialog([&](int) {
            if (nested++ > 0)
                return;   // only the outer tick's first dialog ticks again
            size_t calls = FakeGui::calls().size();
            int ticks = Game::ticks(), level = Game::level(), st = Game::state();
            Game::tick();
            Game::tick();
            EXPECT_EQ(FakeGui::calls().size(), calls);
            EXPECT_EQ(Game::ticks(), ticks);
            EXPECT_EQ(Game::level(), level);
            EXPECT_EQ(Game::state(), st);
        });
        FakeGui::clear_calls();
        Game::tick();
        EXPECT_GE(nested, 1);
        if (state == BETWEEN_LEVELS) {
            EXPECT_EQ(Game::level(), 3);
            EXPECT_EQ(count_calls("show_dialog 8"), 1);
        } else {
            EXPECT_EQ(Game::state(), WAITING);
            EXPECT_EQ(count_calls("show_dialog 9"), 1);
            EXPECT_EQ(count_calls("show_dialog 3"), 1);
        }
        FakeGui::on_dialog(nullptr);
        // The guard is down again once the outer tick is over.
        FakeGui::clear_calls();
        Game::tick();
        EXPECT_FALSE(FakeGui::calls().empty());
    }
}

TEST_F(GameTest, QuitWritesTheScoresAndExitsZero)
{
    HighScores::insert("Quitter", 4, 77);
    EXPECT_EXIT(Game::quit(), ::testing::ExitedWithCode(0), "");
    std::ifstream in(score_path);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "Quitter              4 77");
}

TEST_F(GameTest, AddHighScoreRecordsTheGamesLevelAndScore)
{
    Game::set_level(9);
    Game::set_score_for_tests(321);
    Game::add_high_score("Ann");
    EXPECT_STREQ(HighScores::entry(0).name, "Ann");
    EXPECT_EQ(HighScores::entry(0).level, 9);
    EXPECT_EQ(HighScores::entry(0).score, 321);
}

TEST_F(GameTest, HugeLevelsSaturateInsteadOfOverflowing)
{
    struct Case {
        int level, ticks, efficiency, score, expected_score;
    } wins[] = {
        {INT_MAX, 1, INT_MAX, INT_MAX - 5, INT_MAX},
        {INT_MAX, 1, -2000000000, 0, INT_MIN},
        {INT_MAX, 3, 3, 0, INT_MAX},                      // 3 x INT_MAX / 3, exact in 64 bits
        {1000000, 7, 2000000000, -5, INT_MAX},
    };
    for (const Case &k : wins) {
        SCOPED_TRACE(testing::Message() << k.level << " " << k.efficiency << " " << k.ticks);
        Swarm::reset_for_tests();
        network_of(1, 2, 10);   // adds 0
        playing(k.level);
        Game::set_ticks_for_tests(k.ticks, k.efficiency);
        Game::set_score_for_tests(k.score);
        Game::tick();
        EXPECT_EQ(Game::score(), k.expected_score);
        EXPECT_EQ(Game::state(), BETWEEN_LEVELS);
    }

    Swarm::add_to_counter(RESERVE, 5);
    network_of(8, 0, 2);       // adds 78
    playing(1);
    Game::set_ticks_for_tests(1, INT_MAX - 10);
    Game::tick();
    EXPECT_EQ(Game::efficiency(), INT_MAX);

    Game::set_state(WAITING);
    Game::set_ticks_for_tests(INT_MAX, 0);
    Game::tick();
    EXPECT_EQ(Game::ticks(), INT_MAX);
}

TEST_F(GameTest, LevelSetUpFollowsItsOrder)
{
    Game::set_ticks_for_tests(50, 50);
    Game::setup_level(5);
    EXPECT_EQ(FakeGui::calls(), std::vector<std::string>{"set_cursor hand_up"});
    EXPECT_EQ(Game::level(), 5);
    EXPECT_EQ(Game::ticks(), 0);
    EXPECT_EQ(Game::efficiency(), 0);
    EXPECT_EQ(Swarm::counter(RESERVE), 23);
    EXPECT_EQ(Swarm::counter(ON_FIELD), 0);
    EXPECT_EQ(Network::computer_count(), 13);
    EXPECT_EQ(Network::wire_count(), 5);
}

} // namespace
