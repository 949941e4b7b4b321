// Network: the level's computers, the wires between them, the sparks on the wires and the counters.
#include "field/network.h"
#include "field/network_testing.h"

#include "base/random.h"
#include "base/support.h"
#include "game/field_view.h"
#include "gui/gui.h"
#include "sound/sound.h"

#include <climits>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

namespace {
std::vector<Computer> computers;
std::vector<Wire> wires;
int counters[3];
Image *spark_pictures[2];
int spark_w = 0, spark_h = 0;
} // namespace

namespace {

void anchor(int index, int &x, int &y)
{
    const Computer &c = computers[static_cast<size_t>(index)];
    x = c.x + Computer::width() / 3;
    y = c.y + Computer::height() / 2;
}

void add_wire(int from, int to)
{
    Wire w{};
    w.from = from;
    w.to = to;
    w.active = 0;
    w.frame = 0;
    anchor(from, w.x1, w.y1);
    anchor(to, w.x2, w.y2);
    wires.push_back(w);
}

// Swaps the ends of the wire, so that from names the other computer.
void reverse(Wire &w)
{
    std::swap(w.from, w.to);
    std::swap(w.x1, w.x2);
    std::swap(w.y1, w.y2);
}

void release_all()
{
    std::vector<Computer>().swap(computers);
    std::vector<Wire>().swap(wires);
    Computer::forget_placed();
}

// trunc(scale(2) * min(level + 8, 20)); a negative product means no computers, and a
// product too large for an int is capped (the placement runs out of room long before).
int computers_for(int level)
{
    int per_level = level >= 12 ? 20 : level + 8;
    double n = Game::scale(2) * per_level;
    if (!(n > 0.0))
        return 0;
    if (n >= static_cast<double>(INT_MAX))
        return INT_MAX;
    return static_cast<int>(n);
}

// One float division per axis: the spark's motion must not depend on excess precision.
float step(long long d, long long sum)
{
    float share = static_cast<float>(4 * (d < 0 ? -d : d)) / static_cast<float>(sum);
    return d < 0 ? -share : share;
}

} // namespace

void Wire::setup()
{
    int n = static_cast<int>(computers.size());
    // A wire needs two different computers; with fewer there is nothing to join.
    if (n < 2)
        return;
    int from = Random::draw() % n;
    int to;
    do
        to = Random::draw() % n;
    while (to == from);
    add_wire(from, to);
}

void Wire::update(Wire &w)
{
    int a_infected = Network::computer(w.from).distro == INITFAIL;
    int b_infected = Network::computer(w.to).distro == INITFAIL;
    bool one_end = a_infected != b_infected;

    if (!w.active) {
        if (!one_end)
            return;
        if (b_infected)
            reverse(w);
        w.active = 1;
        w.spark_x = w.x1;
        w.spark_y = w.y1;
        w.spark_fx = static_cast<float>(w.x1);
        w.spark_fy = static_cast<float>(w.y1);
        return;
    }
    if (!one_end) {
        w.active = 0;
        return;
    }
    // The far end got infected and the near one repaired: the spark heads back.
    if (b_infected)
        reverse(w);

    if (w.spark_x == w.x2 && w.spark_y == w.y2) {
        Computer &target = Network::computer(w.to);
        if (!target.busy) {
            Network::set_distro(target, INITFAIL);
            Sound::play(SOUND_INFECTED);
        }
        w.active = 0;
    } else {
        long long dx = static_cast<long long>(w.x2) - w.spark_x;
        long long dy = static_cast<long long>(w.y2) - w.spark_y;
        long long adx = dx < 0 ? -dx : dx;
        long long ady = dy < 0 ? -dy : dy;
        if (adx <= 3 && ady <= 3) {
            w.spark_x = w.x2;
            w.spark_y = w.y2;
        } else {
            w.spark_fx += step(dx, adx + ady);
            w.spark_fy += step(dy, adx + ady);
            w.spark_x = static_cast<int>(w.spark_fx);
            w.spark_y = static_cast<int>(w.spark_fy);
        }
    }
    w.frame = 1 - w.frame;
}

void Wire::draw(const Wire &w)
{
    Gui::line(w.x1, w.y1, w.x2, w.y2);
    if (w.active)
        Spark::draw(w.spark_x - spark_w / 2, w.spark_y - spark_h / 2, w.frame);
}

void Wire::douse(Wire &w) { w.active = 0; }

int Wire::spark_hit(const Wire &w, int x, int y)
{
    if (!w.active)
        return 0;
    long long dx = static_cast<long long>(x) - w.spark_x;
    long long dy = static_cast<long long>(y) - w.spark_y;
    return (dx < 0 ? -dx : dx) < spark_w && (dy < 0 ? -dy : dy) < spark_h ? 1 : 0;
}

namespace Network {

void setup()
{
    int level = Game::level();
    int n = computers_for(level);
    release_all();
    // The computers, the wires and the placement index are all allocated here; running
    // out of memory for them ends the program like every other failed allocation.
    try {
        computers.reserve(static_cast<size_t>(n < 4096 ? n : 4096));
        for (int i = 0; i < n; i++) {
            Computer c{};
            // No room left: the level plays with the computers placed so far.
            if (!Computer::setup(c, i))
                break;
            computers.push_back(c);
        }
        n = static_cast<int>(computers.size());
        counters[OFF] = 0;
        counters[GOOD] = n;
        counters[INFECTED] = 0;
        int count = level < n / 2 ? level : n / 2;
        for (int i = 0; i < count; i++)
            Wire::setup();
    } catch (const std::bad_alloc &) {
        fatal("out of memory");
    }
}

void update()
{
    for (Wire &w : wires)
        Wire::update(w);
}

// Computers last, so they cover the wire ends.
void draw()
{
    for (const Wire &w : wires)
        Wire::draw(w);
    for (const Computer &c : computers)
        Computer::draw(c);
}

void to_toasters()
{
    for (Computer &c : computers) {
        c.kind = 0;
        c.distro = NO_DISTRO;
    }
    std::vector<Wire>().swap(wires);
}

Computer &computer(int index) { return computers[static_cast<size_t>(index)]; }
int computer_count() { return static_cast<int>(computers.size()); }
Wire &wire(int index) { return wires[static_cast<size_t>(index)]; }
int wire_count() { return static_cast<int>(wires.size()); }

void forget_loose(const Glimp *g)
{
    for (Computer &c : computers)
        if (c.loose == g)
            c.loose = nullptr;
}

void add_to_counter(int counter, int delta) { counters[counter] += delta; }
int counter(int counter) { return counters[counter]; }

int counter_of(int distro)
{
    if (distro == NO_DISTRO)
        return OFF;
    return distro == INITFAIL ? INFECTED : GOOD;
}

void set_distro(Computer &c, int distro)
{
    add_to_counter(counter_of(c.distro), -1);
    add_to_counter(counter_of(distro), +1);
    c.distro = distro;
}

void set_for_tests(const Computer *list, int count)
{
    release_all();
    computers.assign(list, list + (count > 0 ? count : 0));
    counters[OFF] = counters[GOOD] = counters[INFECTED] = 0;
    for (const Computer &c : computers)
        add_to_counter(counter_of(c.distro), +1);
}

void add_wire_for_tests(int from, int to) { add_wire(from, to); }

void reset_for_tests()
{
    release_all();
    counters[OFF] = counters[GOOD] = counters[INFECTED] = 0;
}

} // namespace Network

namespace Spark {

void load_images()
{
    Gui::load_image_frame("spark", 0, 1, &spark_pictures[0]);
    Gui::load_image_frame("spark", 1, 1, &spark_pictures[1]);
    spark_w = Gui::image_width(spark_pictures[0]);
    spark_h = Gui::image_height(spark_pictures[0]);
}

int width() { return spark_w; }
int height() { return spark_h; }

void draw(int x, int y, int frame)
{
    if ((frame == 0 || frame == 1) && spark_pictures[frame])
        Gui::blit(spark_pictures[frame], x, y);
}

void set_size_for_tests(int w, int h)
{
    spark_w = w;
    spark_h = h;
}

} // namespace Spark
