// Swarm: the Glimps of the level and the distros they dropped.
#include "field/swarm.h"

#include "field/glimp.h"

namespace {
Glimp *on_field = nullptr;
Glimp *loose = nullptr;
int counters[2];
} // namespace

namespace Swarm {

void setup() {}
void update(int) {}
void draw() {}
void make_loose(Glimp *) {}
void remove(Glimp *) {}
void put_back(Glimp *) {}
Glimp *grab_loose(int, int) { return nullptr; }
int whack(int, int) { return 0; }
void add_to_counter(int c, int delta) { counters[c] += delta; }
int counter(int c) { return counters[c]; }
Glimp *on_field_head() { return on_field; }
Glimp *loose_head() { return loose; }
void reset_for_tests()
{
    counters[0] = counters[1] = 0;
}

} // namespace Swarm
