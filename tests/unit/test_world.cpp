// A fresh process for in-process tests.
#include "tests/unit/test_world.h"

#include "field/bucket.h"
#include "field/glimp.h"
#include "field/network.h"
#include "field/swarm.h"
#include "game/entry.h"
#include "game/game.h"
#include "scores/high_scores.h"
#include "scores/high_scores_testing.h"
#include "sound/sound.h"
#include "tests/fake_gui.h"

namespace TestWorld {

void fresh_field()
{
    FakeGui::install_as_active();
    Game::reset_for_tests();
    Swarm::reset_for_tests();
    Network::reset_for_tests();
    Bucket::reset_for_tests();
    HighScores::reset_for_tests();
    Sound::reset_for_tests();
    load_play_field_pictures();
}

void fresh_game(PointerCursor **hand_up, PointerCursor **hand_down)
{
    fresh_field();
    Game::set_pictures(FakeGui::image("logo"), FakeGui::image("icon"), FakeGui::image("about"));
    Gui::load_cursor("hand_up", 0, hand_up);
    Gui::load_cursor("hand_down", 0, hand_down);
    Game::set_hand_cursors(*hand_up, *hand_down);
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
