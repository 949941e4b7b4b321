// What the tick (game.cpp) and pointer input (input.cpp) share of the Game module's state.
#pragma once

struct Glimp;
struct PointerCursor;

namespace Game {
namespace internal {

// score += points, saturating.
void add_score(long long points);
void set_dragged(Glimp *g);
PointerCursor *hand_up();
PointerCursor *hand_down();

} // namespace internal
} // namespace Game
