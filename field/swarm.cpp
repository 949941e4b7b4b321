// Swarm: the Glimps of the level and the distros they dropped.
#include "field/swarm.h"
#include "field/swarm_testing.h"

#include "base/random.h"
#include "field/computer.h"
#include "field/glimp.h"
#include "field/network.h"
#include "game/field_view.h"

#include <algorithm>
#include <cstdlib>

namespace {
Glimp *on_field = nullptr;    // walking, working and dying Glimps; newest at the head
Glimp *loose = nullptr;       // dropped distros; most recently dropped at the head
int counters[2];              // RESERVE, ON_FIELD
Glimp *walk_next = nullptr;   // the record the update walk goes on with
} // namespace

namespace {

constexpr int MAX_GLIMPS = 100;

Glimp *&head_of(const Glimp *g) { return g->state == LOOSE ? loose : on_field; }

void link_at_head(Glimp *&head, Glimp *g)
{
    g->prev = nullptr;
    g->next = head;
    if (head)
        head->prev = g;
    head = g;
}

// Takes g out of the list; a record in no list (no predecessor, not the head) is left alone.
void unlink(Glimp *&head, Glimp *g)
{
    if (!g->prev && head != g)
        return;
    // The update walk may be about to visit g: it goes on with g's successor instead.
    if (walk_next == g)
        walk_next = g->next;
    if (g->prev)
        g->prev->next = g->next;
    else
        head = g->next;
    if (g->next)
        g->next->prev = g->prev;
    g->prev = nullptr;
    g->next = nullptr;
}

void free_list(Glimp *&head)
{
    while (head) {
        Glimp *g = head;
        head = g->next;
        if (head)
            head->prev = nullptr;
        free(g);
    }
}

int reserve_for_level()
{
    // In double, so that huge levels and fields cannot overflow.
    double glimps = Game::scale(2) * (3.0 * Game::level() + 8.0);
    if (glimps >= MAX_GLIMPS)
        return MAX_GLIMPS;
    return glimps > 0 ? static_cast<int>(glimps) : 0;
}

void let_in(int iteration)
{
    int level = Game::level();
    int interval = std::max(10, 14 - level / 3);
    if (iteration % interval != 0 || counters[RESERVE] <= 0)
        return;
    int bound = std::min(counters[RESERVE], std::min(level / 4, 10) + 2);
    int n = bound > 0 ? 1 + Random::draw() % bound : 1;
    for (int i = 0; i < n; i++)
        link_at_head(on_field, Glimp::enter());
}

} // namespace

namespace Swarm {

void setup()
{
    // Computers' loose fields are left alone: the network is rebuilt right after.
    walk_next = nullptr;
    free_list(on_field);
    free_list(loose);
    counters[RESERVE] = reserve_for_level();
    counters[ON_FIELD] = 0;
}

void update(int iteration)
{
    let_in(iteration);
    // walk_next is kept right by unlink, so an update may free or move any record.
    Glimp *g = on_field;
    while (g) {
        walk_next = g->next;
        Glimp::update(g);
        g = walk_next;
    }
    walk_next = nullptr;
}

void draw()
{
    for (Glimp *g = loose; g; g = g->next)
        Glimp::draw(g);
    for (Glimp *g = on_field; g; g = g->next)
        Glimp::draw(g);
}

void make_loose(Glimp *g)
{
    unlink(on_field, g);
    link_at_head(loose, g);
}

void remove(Glimp *g)
{
    if (!g)
        return;
    unlink(head_of(g), g);
    Network::forget_loose(g);
    free(g);
}

void put_back(Glimp *g)
{
    Glimp *&head = head_of(g);
    // Linking a record twice would tie its list into a loop; one already in it stays put.
    if (g->prev || head == g)
        return;
    link_at_head(head, g);
}

Glimp *grab_loose(int px, int py)
{
    for (Glimp *g = loose; g; g = g->next) {
        if (Glimp::hit_loose(g, px, py)) {
            unlink(loose, g);
            return g;
        }
    }
    return nullptr;
}

int whack(int px, int py)
{
    int count = 0;
    for (Glimp *g = on_field; g; g = g->next) {
        if (g->state == DYING || !Glimp::hit(g, px, py))
            continue;
        if (g->state == AT_COMPUTER) {
            Computer &c = Network::computer(g->target);
            c.busy = 0;
            c.loose = g;
        }
        Glimp::set_dying(g);
        count++;
    }
    return count;
}

void add_to_counter(int counter, int delta) { counters[counter] += delta; }
int counter(int counter) { return counters[counter]; }

Glimp *on_field_head() { return on_field; }
Glimp *loose_head() { return loose; }

void reset_for_tests()
{
    walk_next = nullptr;
    free_list(on_field);
    free_list(loose);
    counters[RESERVE] = 0;
    counters[ON_FIELD] = 0;
}

} // namespace Swarm
