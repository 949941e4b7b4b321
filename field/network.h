// Network: the computers of the level, the wires between them, their sparks and the counters.
#pragma once

#include "field/computer.h"

struct Glimp;

enum { OFF = 0, GOOD = 1, INFECTED = 2 };

struct Wire {
    int from, to;
    int x1, y1;
    int x2, y2;
    int spark_x, spark_y;
    float spark_fx, spark_fy;
    int active;
    int frame;

    // A wire between two random computers of the current network, added to it.
    static void setup();
    static void update(Wire &w);
    static void draw(const Wire &w);
    static void douse(Wire &w);
    static int spark_hit(const Wire &w, int x, int y);
};

namespace Network {

// Places the level's computers and wires, replacing the previous network.
void setup();
void update();
void draw();
// End of a game: every computer a toaster without a distro, no wires; counters kept.
void to_toasters();
Computer &computer(int index);
int computer_count();
Wire &wire(int index);
int wire_count();
// No computer names the record any more.
void forget_loose(const Glimp *g);
void add_to_counter(int counter, int delta);
int counter(int counter);
// The counter a computer running the distro is counted in: OFF, GOOD or INFECTED.
int counter_of(int distro);
// Gives the computer the distro and moves its count from its old counter to its new one.
void set_distro(Computer &c, int distro);

} // namespace Network

namespace Spark {

void load_images();
int width();
int height();
void draw(int x, int y, int frame);

} // namespace Spark
