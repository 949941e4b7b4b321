// A fresh process for in-process tests: the recording fake installed, every module reset.
#pragma once

struct Glimp;
struct PointerCursor;

namespace TestWorld {

// Installs the fake back end, resets every module and loads the play-field pictures in
// the order start-up loads them; the field is 400 pixels and no game runs.
void fresh_field();
// fresh_field, plus the logo pictures and the two hand cursors that start-up hands the game.
void fresh_game(PointerCursor **hand_up, PointerCursor **hand_down);
// A new Glimp in the on-field list, standing on computer i's target point, about to arrive.
Glimp *glimp_at_computer(int i);

} // namespace TestWorld
