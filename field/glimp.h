// Glimp: one villain clone, walking, working at a computer, dying, or a distro lying loose.
#pragma once

struct Image;

enum { WALKING_IN = 1, AT_COMPUTER = 2, WALKING_OUT = 3, DYING = 4, LOOSE = 5 };

struct Glimp {
    int state;
    int frame;
    Image *const *frames;   // one of the four frame sets
    int x, y;
    int target_x, target_y;
    int target;
    int cargo;              // NO_DISTRO, INITFAIL or a real distro
    int cargo_dx, cargo_dy;
    int swap_dx, swap_dy;
    Glimp *prev, *next;

    // Loads the four frame sets; the first dying picture gives the Glimp size.
    static void load_images();
    static int width();
    static int height();
    static Image *const *left_frames();
    static Image *const *right_frames();
    static Image *const *dying_frames();
    static Image *const *at_computer_frames();

    // A new record walking in from beyond an edge; the caller links it.
    static Glimp *enter();
    // One tick; may free the record or move it to the loose list.
    static void update(Glimp *g);
    static void draw(Glimp *g);
    static void set_dying(Glimp *g);
    // Strictly inside the Glimp's box / the lying distro's box.
    static int hit(const Glimp *g, int px, int py);
    static int hit_loose(const Glimp *g, int px, int py);
};
