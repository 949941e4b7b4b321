// Game: the state machine, the tick and level set-up.
#include "game/game.h"

#include "game/support.h"

#include <cstdlib>

namespace {
int state_ = WAITING;
int score_ = 0;
int level_ = 0;
int ticks_ = 0;
int efficiency_ = 0;
int screen_size_ = Game::DEFAULT_SCREEN_SIZE;
Glimp *dragged_ = nullptr;
Image *logo_ = nullptr;
} // namespace

namespace Game {

void start(int) {}
void warp_to_level(int) {}
void quit() { exit(0); }
void add_high_score(const char *) {}
void tick() {}
void setup_level(int l) { level_ = l; }
int level() { return level_; }
int screen_size() { return screen_size_; }
double scale(int) { return 1.0; }
void set_screen_size(int size) { screen_size_ = size; }
void set_level(int l) { level_ = l; }
void set_state(int s) { state_ = s; }
void set_pictures(Image *logo, Image *, Image *) { logo_ = logo; }
void set_hand_cursors(PointerCursor *, PointerCursor *) {}
Image *logo() { return logo_; }
int state() { return state_; }
int score() { return score_; }
int ticks() { return ticks_; }
int efficiency() { return efficiency_; }
Glimp *dragged() { return dragged_; }
void reset_for_tests() {}
void set_score_for_tests(int s) { score_ = s; }
void set_ticks_for_tests(int t, int e) { ticks_ = t; efficiency_ = e; }

} // namespace Game
