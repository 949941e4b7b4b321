// The benchmarks' world: the null back end, games started as the program starts them, and a keeper.
#include "bench/world.h"

#include "base/random.h"
#include "bench/null_gui.h"
#include "field/bucket.h"
#include "field/computer.h"
#include "field/glimp.h"
#include "field/network.h"
#include "field/swarm.h"
#include "game/entry.h"
#include "game/game.h"

#include <cstdlib>

namespace {
bool opened = false;
} // namespace

namespace {

// At least this many computers stay clean after any tick, so the lose test never holds.
constexpr int CLEAN_MARGIN = 3;

void repair(Computer &c)
{
    // The computer's own distro; a PC tower gets the first PC distro.
    Network::set_distro(c, c.kind < 6 ? c.kind : 6);
}

void infect(Computer &c) { Network::set_distro(c, INITFAIL); }

// Computers that the next tick could infect: a spark standing on an anchor arrives at the
// next update, a Glimp at work step 10 installs the virus at the next one.
int threats()
{
    int n = 0;
    for (int i = 0; i < Network::wire_count(); i++) {
        const Wire &w = Network::wire(i);
        if (w.active && ((w.spark_x == w.x2 && w.spark_y == w.y2) ||
                         (w.spark_x == w.x1 && w.spark_y == w.y1)))
            n++;
    }
    for (const Glimp *g = Swarm::on_field_head(); g; g = g->next)
        if (g->state == AT_COMPUTER && g->frame == 10)
            n++;
    return n;
}

} // namespace

namespace World {

// The program's own start-up, with no options: the null back end is the registry's only row.
// It reads the build's high-score file and never writes it; the benchmarks of the table
// point it at a file of their own.
void open()
{
    if (opened)
        return;
    opened = true;
    static char name[] = "glimpwatch_bench";
    static char *argv[] = {name, nullptr};
    start_glimpwatch(1, argv);
}

void start(int size, int level, unsigned seed)
{
    open();
    Game::set_screen_size(size);
    NullGui::resize(size);
    Random::use_standard();
    srand(seed);
    Game::start(level);
}

int active_sparks()
{
    int n = 0;
    for (int i = 0; i < Network::wire_count(); i++)
        n += Network::wire(i).active ? 1 : 0;
    return n;
}

void keep_network_up()
{
    for (int i = 0; i < Network::wire_count(); i++) {
        const Wire &w = Network::wire(i);
        Computer &from = Network::computer(w.from);
        Computer &to = Network::computer(w.to);
        if (from.distro == INITFAIL && to.distro == INITFAIL && !to.busy)
            repair(to);
        else if (from.distro > INITFAIL && to.distro > INITFAIL && !from.busy)
            infect(from);
    }
    int need = CLEAN_MARGIN + threats();
    int n = Network::computer_count();
    for (int i = 0; i < n && Network::counter(GOOD) + Network::counter(OFF) < need; i++) {
        Computer &c = Network::computer(i);
        if (c.distro == INITFAIL && !c.busy)
            repair(c);
    }
}

int start_at_peak(int size, int level, unsigned seed, int tick_limit)
{
    start(size, level, seed);
    int played = 0;
    while (played < tick_limit && Game::state() == PLAYING &&
           !(Swarm::counter(RESERVE) == 0 && Swarm::counter(ON_FIELD) > 0)) {
        keep_network_up();
        Game::tick();
        played++;
    }
    return played;
}

} // namespace World
