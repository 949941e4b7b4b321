// Around the rules: when the field looks paused, and the final result in the End Game dialog.
#include "game/game.h"
#include "gui/gui.h"
#include "tests/fake_gui.h"
#include "tests/unit/game_test_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class PauseAndResultTest : public GameFixture {};

TEST_F(PauseAndResultTest, FieldLooksPausedOnlyWhileThePointerHoldsALevelInPlay)
{
    struct Case {
        int state;
        bool timer;
        std::vector<std::string> on_leave, on_return;
    } cases[] = {
        {PLAYING, true, {"stop_timer", "show_paused 1"}, {"start_timer 200", "show_paused 0"}},
        {PLAYING, false, {"stop_timer"}, {}},                            // no game running behind it
        {WAITING, true, {"stop_timer"}, {"start_timer 200"}},            // the title screen
        {BETWEEN_LEVELS, true, {"stop_timer"}, {"start_timer 200"}},     // behind the score dialog
        {GAME_OVER, true, {"stop_timer"}, {"start_timer 200"}},          // behind the end dialogs
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(testing::Message() << "state " << k.state << (k.timer ? ", ticking" : ", stopped"));
        Game::set_state(k.state);
        if (k.timer)
            Gui::start_ticker();
        FakeGui::clear_calls();
        Gui::pointer_left();
        EXPECT_EQ(FakeGui::calls(), k.on_leave);
        FakeGui::clear_calls();
        Gui::present_canvas();   // an expose while away keeps the view as it is
        EXPECT_EQ(FakeGui::calls(), std::vector<std::string>{"present_canvas"});
        FakeGui::clear_calls();
        Gui::pointer_entered();
        EXPECT_EQ(FakeGui::calls(), k.on_return);
        Gui::stop_ticker();
    }
}

TEST_F(PauseAndResultTest, NewGameStartedWhilePausedTakesThePausedViewAway)
{
    Game::set_state(PLAYING);
    Gui::start_ticker();
    Gui::pointer_left();
    ASSERT_EQ(FakeGui::calls().back(), "show_paused 1");
    FakeGui::clear_calls();
    Game::start(1);   // from the New Game dialog, the pointer still on it
    EXPECT_EQ(count_calls("show_paused 0"), 1);
    FakeGui::clear_calls();
    Gui::pointer_entered();
    EXPECT_EQ(count_calls("show_paused 0"), 0) << "told twice";
}

TEST_F(PauseAndResultTest, LostGameShowsItsFinalScoreAndLevelInTheEndGameDialog)
{
    Gui::build_dialogs(FakeGui::image("logo"), FakeGui::image("icon"), FakeGui::image("about"));
    Swarm::add_to_counter(RESERVE, 3);
    network_of(1, 0, 5);
    playing(7);
    Game::set_ticks_for_tests(3, 0);
    Game::set_score_for_tests(1234);
    FakeGui::clear_calls();
    Game::tick();
    ASSERT_EQ(Game::state(), GAME_OVER);
    EXPECT_EQ(FakeGui::dialog_text(DIALOG_END_GAME),
              std::string(Gui::dialog_text(DIALOG_END_GAME)) + "\n\nFinal score: 1234 at level 7");
    // Set after the frame is drawn: the frame's calls keep their order, the present last.
    const std::vector<std::string> &calls = FakeGui::calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[calls.size() - 2], "set_dialog_text 9");
    EXPECT_EQ(calls.back(), "present_canvas");
    EXPECT_EQ(calls[calls.size() - 3].compare(0, 15, "draw_text Glimp"), 0) << calls[calls.size() - 3];
}

} // namespace
