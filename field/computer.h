// Computers and distros: kinds, placement, hit test, compatibility and their pictures.
#pragma once

struct Glimp;

enum { NO_DISTRO = -1, INITFAIL = 0 };

constexpr int DISTRO_COUNT = 11;      // initfail and the ten real distros
constexpr int COMPUTER_KINDS = 7;     // the toaster and six computers

struct Computer {
    int kind;
    int distro;
    int x, y;
    int busy;
    Glimp *loose;   // not owned: the record of a Glimp killed while it worked here

    static void load_images();
    static int width();
    static int height();
    // Places c clear of the computers already placed; 0 when 4000 tries found no room.
    static int setup(Computer &c, int placed);
    static int hit(const Computer &c, int x, int y);
    static int accepts(const Computer &c, int distro);
    // Whether a distro dropped on the computer is installed there: it can run it and runs
    // no real distro of its own (none, or initfail).
    static int takes(const Computer &c, int distro);
    static void draw(const Computer &c);

    static const char *kind_name(int kind);
    // Placement keeps an index of the computers placed so far; the network drops it
    // whenever it replaces its computers other than through setup.
    static void forget_placed();
};

namespace Distro {

void load_images();
void draw(int distro, int x, int y);
int width();
int height();
void use_cursor(int distro);
// One of the PC distros 6..10, from one draw.
int random_pc_distro();
int is_pc_distro(int distro);
const char *name(int distro);

} // namespace Distro
