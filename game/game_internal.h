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
// While a distro is dragged in play, the computers that would take it are marked for the
// player (Gui::mark_boxes); otherwise none. Called whenever that may have changed.
void mark_targets();

} // namespace internal
} // namespace Game
