// What the play field shows: the game's own pictures found in canvas captures.
#pragma once

#include "tests/e2e/harness.h"

#include <functional>
#include <string>
#include <vector>

namespace e2e {

// A picture of pixmaps_dir() by name ("miteL_0", "bucket"...), read once.
const XpmPicture &field_picture(const std::string &name);

// Where a picture was seen: its top-left corner on the canvas and the picture's name.
struct Sighting {
    std::string name;
    int x = 0, y = 0;
    int w = 0, h = 0;
    int cx() const { return x + w / 2; }
    int cy() const { return y + h / 2; }
};

// Every place of the canvas where one of the named pictures lies whole, allowing a share of
// its pixels to be covered by something drawn over it. Nearby finds of the same thing are
// reported once.
std::vector<Sighting> find_on_field(const Capture &canvas, const std::vector<std::string> &names,
                                    double covered_share = 0.1);

// The frame sets of the Glimp.
std::vector<std::string> walking_glimp_frames(); // miteL_0..2, miteR_0..2
std::vector<std::string> dying_glimp_frames();   // miteD_0..4

// Share (0..1) of the picture's pixels that the canvas does not show with its corner at (x, y).
double covered_share(const Capture &canvas, const std::string &name, int x, int y);

// The canvas shows a dying Glimp (any of its frames, nearly whole) with its corner at (x, y).
bool shows_dying_glimp(const Capture &canvas, int x, int y);

// Takes the pointer off the canvas, which pauses the game, and returns the still field in
// the game's own (logical) pixels.
Capture pause_and_look(Game &game);

// Glimps walking wholly inside the field, away from the bucket's corner and the status line.
std::vector<Sighting> walking_glimps(const Capture &canvas);

// Lets the game go on with the pointer in the middle of the canvas until the screen shows
// walking Glimps, or until also() holds (a dialog that ends the wait, say), or timeout_ms pass;
// whether either came.
bool play_until_glimps_walk(Game &game, const std::function<bool()> &also = nullptr,
                            int timeout_ms = PLAY_LOOK_MS);

} // namespace e2e
