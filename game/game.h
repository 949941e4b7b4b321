// Game: the state machine, the tick, level set-up and the player's pointer input.
#pragma once

#include "game/field_view.h"
#include "game/game_state.h"

#include <string>

struct Glimp;
struct Image;
struct PointerCursor;

namespace Game {

constexpr int DEFAULT_SCREEN_SIZE = 400;

// Starts a new game at the level, in any state.
void start(int level);
// Goes forward to the level during play; from any other state starts a new game there.
void warp_to_level(int level);
// Saves the high scores and ends the process with status 0.
[[noreturn]] void quit();
void add_high_score(const char *name);
// Hands the high-score table's text to its dialog.
void refresh_high_scores();
// "Final score: N at level L": how far the game went, as the End Game dialog ends.
std::string final_line();
// Leaves whatever is going on for the title screen, as the end of a game does: the logo,
// the ticker stopped, the pause entry disabled, WAITING.
void show_title();
// One step of the game; the back end's timer calls it.
void tick();
void setup_level(int level);

// Pointer input on the canvas, any button.
void button_press(int x, int y);
void button_release(int x, int y);

// Game::level, Game::screen_size and Game::scale: see game/field_view.h.

// Settings and handles that start-up fills in.
void set_screen_size(int size);
void set_level(int level);
void set_state(int state);
void set_pictures(Image *logo, Image *icon, Image *about);
void set_hand_cursors(PointerCursor *hand_up, PointerCursor *hand_down);

// Game::state: see game/game_state.h.
int score();
int ticks();
int efficiency();
Glimp *dragged();

} // namespace Game
