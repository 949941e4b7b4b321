// A fresh process for in-process tests: every module reset after every test, and the
// program's own start-up against the recording fake.
#pragma once

struct Computer;
struct Glimp;
struct PointerCursor;

namespace TestWorld {

// Every module back to the state of a fresh process. A listener calls it after every test,
// so no test leaves anything behind for the next one, in whatever order they run.
void reset_all();
// The program's start-up with no options against the fake back end: every picture and
// cursor loaded, the logo shown, no game running, a 400-pixel field; the high-score file
// is one of the test program's own that nothing writes. The calls it made are cleared.
void fresh_field();
// fresh_field, handing over the two hand cursors start-up gave the game.
void fresh_game(PointerCursor **hand_up, PointerCursor **hand_down);
// A computer record of the given kind running the given distro, at (x, y), nothing else set.
Computer computer(int kind, int distro, int x, int y);
// A new Glimp in the on-field list, standing on computer i's target point, about to arrive.
Glimp *glimp_at_computer(int i);

} // namespace TestWorld
