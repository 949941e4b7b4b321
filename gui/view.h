// View: where the field sits in the part of the window given to it, and how large. The
// field shows at the largest whole factor that fits (at least 1), every pixel of it a
// factor x factor block, centred on a quiet surround; and the player's choice of the
// window's factor and of full screen, kept for the next game.
#pragma once

namespace View {

// The field's factor and its top-left corner in the area.
struct Place {
    int factor;
    int x, y;
};

// The place of a field x field square in a width x height area, at a factor of at most
// `most`.
Place fit(int field, int width, int height, int most = 1 << 30);
// The field's pixel under the area's point (x, y), by whole blocks, and whether the point
// lies on the field.
bool to_field(const Place &place, int field, int x, int y, int *field_x, int *field_y);

// The step through the canvas for each window pixel when the field is enlarged factor
// times, in 16.16 fixed point: 1/factor, the diagonal of an affine scale (a bottom row of
// 0 0 1), which the X server copies on its fast path for nearest scaling (a projective
// transform giving the same pixels costs several times more per pixel). Exact for 2 and
// 4; for other factors it falls short by under 2^-16 a pixel, which across the widest
// screen stays inside the margin that keeps every sample in its own block.
constexpr int step_fixed(int factor) { return 65536 / factor; }

// What the player chose last: the factor of the window (1 when nothing was kept) and
// whether the game showed full screen.
struct Choice {
    int factor;
    bool full_screen;
};
Choice remembered();
// Kept in the player's data; a choice that cannot be kept holds for this run.
void remember(const Choice &choice);

// The surround's colour, 0xRRGGBB: a dark slate, quiet beside the white field.
constexpr unsigned SURROUND = 0x33393f;
// The Game menu's check entry, after Sound, and its key (Gui::menu_keys).
constexpr char FULL_SCREEN_LABEL[] = "Full Screen";

} // namespace View
