// Computers and distros: placement on the field, hit test, compatibility and pictures.
#include "field/computer.h"
#include "field/computer_testing.h"

#include "base/boxes.h"
#include "base/random.h"
#include "field/glimp.h"
#include "field/network.h"
#include "game/field_view.h"
#include "gui/gui.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

namespace {
const char *const kind_names[COMPUTER_KINDS] = {"toaster", "maccpu", "nextcpu", "sgicpu",
                                                "suncpu", "os2cpu", "bsdcpu"};
const char *const distro_names[DISTRO_COUNT] = {"initfail", "arch", "bsd", "centos",
                                                "debian", "gentoo", "mandriva", "openbsd",
                                                "slackware", "suse", "ubuntu"};
Image *computer_pictures[COMPUTER_KINDS];
int computer_w = 0, computer_h = 0;
Image *distro_pictures[DISTRO_COUNT];
PointerCursor *distro_cursors[DISTRO_COUNT];   // initfail has none
int distro_w = 0, distro_h = 0;

// Placement index over the computers 0 .. indexed - 1 of the network: a grid of cells
// one conflict box (W x ch) in size, so a candidate need only look at the 3 x 3 cells
// around its own.
struct Grid {
    bool valid = false;
    int left = 0, top = 0, cell_w = 1, cell_h = 1, cols = 1, rows = 1;
    std::vector<int> head;   // first computer of each cell, or -1
    std::vector<int> next;   // next computer in the same cell, by computer index
    int indexed = 0;
};
Grid grid;
bool plain_scan = false;
} // namespace

namespace {

constexpr int PLACEMENT_TRIES = 4000;
// Beyond this many cells a side the outer cells take everything past them: slower, never wrong.
constexpr int GRID_MAX_SIDE = 1024;

// The placement geometry for the current field and pictures.
struct Geometry {
    int border;     // B
    int range_x;    // number of possible left edges
    int range_y;    // number of possible top edges
    int box_w;      // W: a computer and the Glimp working at it
    int box_h;      // ch
};

Geometry geometry()
{
    Geometry g;
    long long s = Game::screen_size();
    g.border = static_cast<int>(s / 10);
    long long rx = s - 2LL * g.border - computer_w + 1;
    long long ry = s - 2LL * g.border - computer_h + 1;
    // Capped so that border + range stays an int even for pictures of no size.
    long long most = std::min(static_cast<long long>(INT_MAX),
                              static_cast<long long>(INT_MAX) - g.border);
    g.range_x = static_cast<int>(std::max(0LL, std::min(rx, most)));
    g.range_y = static_cast<int>(std::max(0LL, std::min(ry, most)));
    long long w = static_cast<long long>(computer_w) + Glimp::width() - 20;
    g.box_w = static_cast<int>(std::max(-1LL, std::min(w, 1LL << 30)));
    g.box_h = computer_h;
    return g;
}

int conflicts_with(int x, int y, const Geometry &g, int j)
{
    const Computer &other = Network::computer(j);
    return boxes_overlap(x, y, g.box_w, g.box_h, other.x, other.y, g.box_w, g.box_h);
}

// The reference test: every placed computer in index order, the first conflict rejects.
int conflicts_plain(int x, int y, const Geometry &g, int placed)
{
    for (int j = 0; j < placed; j++)
        if (conflicts_with(x, y, g, j))
            return 1;
    return 0;
}

int cell_of(int v, int origin, int size, int count)
{
    long long d = static_cast<long long>(v) - origin;
    long long c = d >= 0 ? d / size : -((-d + size - 1) / size);   // floor division
    return static_cast<int>(std::max(0LL, std::min(c, static_cast<long long>(count) - 1)));
}

void grid_add(int index)
{
    const Computer &c = Network::computer(index);
    int cell = cell_of(c.y, grid.top, grid.cell_h, grid.rows) * grid.cols +
               cell_of(c.x, grid.left, grid.cell_w, grid.cols);
    grid.next.push_back(grid.head[cell]);
    grid.head[cell] = index;
}

// Brings the index up to the placed computers, rebuilding it for a new level or field.
void grid_sync(const Geometry &g, int placed)
{
    bool same = grid.valid && grid.left == g.border && grid.top == g.border &&
                grid.cell_w == g.box_w && grid.cell_h == g.box_h && grid.indexed <= placed;
    if (!same || placed == 0) {
        grid.valid = true;
        grid.left = g.border;
        grid.top = g.border;
        grid.cell_w = g.box_w;
        grid.cell_h = g.box_h;
        grid.cols = std::min(GRID_MAX_SIDE, std::max(1, (g.range_x - 1) / g.box_w + 1));
        grid.rows = std::min(GRID_MAX_SIDE, std::max(1, (g.range_y - 1) / g.box_h + 1));
        grid.head.assign(static_cast<size_t>(grid.cols) * grid.rows, -1);
        grid.next.clear();
        grid.indexed = 0;
    }
    while (grid.indexed < placed)
        grid_add(grid.indexed++);
}

// Two computers conflict only when less than a box apart on both axes, so they lie in
// the same or neighbouring cells; whichever conflict is found, the answer is the same.
int conflicts_indexed(int x, int y, const Geometry &g)
{
    int cx = cell_of(x, grid.left, grid.cell_w, grid.cols);
    int cy = cell_of(y, grid.top, grid.cell_h, grid.rows);
    for (int row = std::max(0, cy - 1); row <= std::min(grid.rows - 1, cy + 1); row++)
        for (int col = std::max(0, cx - 1); col <= std::min(grid.cols - 1, cx + 1); col++) {
            int j = grid.head[static_cast<size_t>(row) * grid.cols + col];
            for (; j >= 0; j = grid.next[static_cast<size_t>(j)])
                if (conflicts_with(x, y, g, j))
                    return 1;
        }
    return 0;
}

} // namespace

void Computer::load_images()
{
    for (int kind = 0; kind < COMPUTER_KINDS; kind++)
        Gui::load_image(kind_names[kind], 1, &computer_pictures[kind]);
    computer_w = Gui::image_width(computer_pictures[0]);
    computer_h = Gui::image_height(computer_pictures[0]);
}

int Computer::width() { return computer_w; }
int Computer::height() { return computer_h; }

int Computer::setup(Computer &c, int placed)
{
    Geometry g = geometry();
    // A picture as large as the field less its borders leaves no place at all.
    if (g.range_x <= 0 || g.range_y <= 0)
        return 0;
    // Boxes of no width or height never overlap, and a grid of such cells makes no sense.
    bool indexed = !plain_scan && g.box_w > 0 && g.box_h > 0;
    if (indexed)
        grid_sync(g, placed);
    else
        grid.valid = false;

    int tested = 0;
    int x, y;
    for (;;) {
        if (tested >= PLACEMENT_TRIES)
            return 0;
        x = g.border + Random::draw() % g.range_x;
        y = g.border + Random::draw() % g.range_y;
        if (placed == 0)
            break;
        tested++;
        if (!(indexed ? conflicts_indexed(x, y, g) : conflicts_plain(x, y, g, placed)))
            break;
    }

    c.x = x;
    c.y = y;
    int r = Random::draw();
    c.kind = r % 6 + 1;
    c.distro = r % 6 < 5 ? c.kind : Distro::random_pc_distro();
    c.busy = 0;
    c.loose = nullptr;
    return 1;
}

// The area is centred on the picture's top-left corner, not the picture's own box.
int Computer::hit(const Computer &c, int x, int y)
{
    long long dx = static_cast<long long>(x) - c.x;
    long long dy = static_cast<long long>(y) - c.y;
    return (dx < 0 ? -dx : dx) < computer_w && (dy < 0 ? -dy : dy) < computer_h ? 1 : 0;
}

int Computer::accepts(const Computer &c, int distro)
{
    return distro == c.kind || (c.kind >= 6 && Distro::is_pc_distro(distro)) ? 1 : 0;
}

int Computer::takes(const Computer &c, int distro)
{
    return accepts(c, distro) && (c.distro == NO_DISTRO || c.distro == INITFAIL) ? 1 : 0;
}

void Computer::draw(const Computer &c)
{
    if (c.kind < 0 || c.kind >= COMPUTER_KINDS)
        return;
    Gui::blit(computer_pictures[c.kind], c.x, c.y);
    if (c.distro != NO_DISTRO)
        Distro::draw(c.distro, c.x + 4, c.y + 4);
}

const char *Computer::kind_name(int kind)
{
    return kind >= 0 && kind < COMPUTER_KINDS ? kind_names[kind] : "";
}

void Computer::forget_placed() { grid.valid = false; }

namespace ComputerTesting {

void set_size(int w, int h)
{
    computer_w = w;
    computer_h = h;
}

void set_plain_scan(int on)
{
    plain_scan = on != 0;
    grid.valid = false;
}

} // namespace ComputerTesting

namespace Distro {

void load_images()
{
    Gui::load_image(distro_names[INITFAIL], 1, &distro_pictures[INITFAIL]);
    for (int d = 1; d < DISTRO_COUNT; d++) {
        Gui::load_image(distro_names[d], 1, &distro_pictures[d]);
        Gui::load_cursor(distro_names[d], 1, &distro_cursors[d]);
    }
    distro_w = Gui::image_width(distro_pictures[INITFAIL]);
    distro_h = Gui::image_height(distro_pictures[INITFAIL]);
}

// Indices outside 0..10 (no distro) draw nothing.
void draw(int distro, int x, int y)
{
    if (distro >= 0 && distro < DISTRO_COUNT && distro_pictures[distro])
        Gui::blit(distro_pictures[distro], x, y);
}

int width() { return distro_w; }
int height() { return distro_h; }

// Only the real distros have a cursor; anything else leaves the pointer alone.
void use_cursor(int distro)
{
    if (distro >= 1 && distro < DISTRO_COUNT && distro_cursors[distro])
        Gui::use_cursor(distro_cursors[distro]);
}

int random_pc_distro() { return Random::draw() % 5 + 6; }

int is_pc_distro(int distro) { return distro > 5 ? 1 : 0; }

const char *name(int distro)
{
    return distro >= 0 && distro < DISTRO_COUNT ? distro_names[distro] : "";
}

void set_size_for_tests(int w, int h)
{
    distro_w = w;
    distro_h = h;
}

} // namespace Distro
