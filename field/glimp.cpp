// Glimp: walking in, working at a computer, walking out, dying, lying loose.
#include "field/glimp.h"
#include "field/glimp_testing.h"

#include "base/boxes.h"
#include "base/random.h"
#include "base/support.h"
#include "field/computer.h"
#include "field/network.h"
#include "field/swarm.h"
#include "game/field_view.h"
#include "gui/gui.h"
#include "sound/sound.h"

#include <cstdlib>

namespace {
Image *left[4];
Image *right[4];
Image *dying[5];
Image *at_computer[13];
int glimp_w = 0;   // size of the first dying picture; serves for every frame
int glimp_h = 0;
} // namespace

namespace {

constexpr int WORK_STEPS = 13;
constexpr int CARGO_DX = -2;   // where the carried distro rides while walking
constexpr int CARGO_DY = -15;

// Random::draw() % bound, for a bound that a tiny field could make zero or less: the draw is
// still taken, so the order of draws never depends on the sizes, and the result is 0.
int draw_below(long long bound)
{
    int r = Random::draw();
    return bound > 0 ? static_cast<int>(r % bound) : 0;
}

// A point just outside a random edge, from which the whole picture is off the field.
void edge_point(int &x, int &y)
{
    long long s = Game::screen_size();
    int side = Random::draw() % 4;
    switch (side) {
    case 0:
        x = draw_below(s - glimp_w + 1);
        y = saturate(-static_cast<long long>(glimp_h) - 16);
        break;
    case 1:
        x = saturate(s + 1);
        y = draw_below(s - glimp_h + 1);
        break;
    case 2:
        x = draw_below(s - glimp_w + 1);
        y = saturate(s + 1);
        break;
    default:
        x = saturate(-static_cast<long long>(glimp_w) - 2);
        y = draw_below(s - glimp_h + 1);
        break;
    }
}

void aim_at(Glimp *g, int index)
{
    const Computer &c = Network::computer(index);
    g->target = index;
    g->target_x = c.x + Computer::width() - 20;
    g->target_y = c.y + 3;
}

int step_length()
{
    int level = Game::level();
    return level >= 4 ? 15 : level + 11;   // no level + 11 where that could overflow
}

// Moves towards the target; a Glimp walking out goes 1.25 times as far.
void walk_step(Glimp *g, bool out)
{
    long long step = step_length();
    long long dx = static_cast<long long>(g->target_x) - g->x;
    long long dy = static_cast<long long>(g->target_y) - g->y;
    long long adx = dx < 0 ? -dx : dx;
    long long ady = dy < 0 ? -dy : dy;
    if ((adx < step && ady < step) || adx + ady == 0) {
        g->x = g->target_x;
        g->y = g->target_y;
        return;
    }
    long long sx = step * dx / (adx + ady);
    long long sy = step * dy / (adx + ady);
    if (out) {
        // The truncated share is scaled, not the exact one.
        sx = static_cast<long long>(static_cast<double>(sx) * 1.25);
        sy = static_cast<long long>(static_cast<double>(sy) * 1.25);
    }
    g->x = saturate(g->x + sx);
    g->y = saturate(g->y + sy);
    if (sx < 0)
        g->frames = left;
    else if (sx > 0)
        g->frames = right;
}

// The walking pictures cycle 0, 1, 2, 1 and the cargo bobs 4 pixels up and down.
void walk_animation(Glimp *g)
{
    g->frame = (g->frame + 1) % 4;
    g->cargo_dy += 8 * (g->frame % 2) - 4;
}

void move(Glimp *g, int dx)
{
    g->x += dx;
    g->cargo_dx -= dx;   // the carried picture stays put while the Glimp steps about
}

// A lying distro is LOOSE and linked in the loose list. A record still dying, or one the
// player is dragging (unlinked and not the head), is in use and must not be taken over.
bool lying_in_loose_list(const Glimp *r)
{
    return r->state == LOOSE && (r->prev != nullptr || Swarm::loose_head() == r);
}

void arrive(Glimp *g)
{
    Computer &c = Network::computer(g->target);
    if (c.distro != INITFAIL && !c.busy) {
        c.busy = 1;
        g->frames = at_computer;
        g->state = AT_COMPUTER;
        g->frame = 0;
        return;
    }
    int count = Network::computer_count();
    if (count >= 2) {
        int r;
        do
            r = Random::draw() % count;
        while (r == g->target);
        aim_at(g, r);
    } else if (c.distro == INITFAIL) {
        // The only computer already runs the virus: nothing to do here, so it leaves.
        edge_point(g->target_x, g->target_y);
        g->state = WALKING_OUT;
    }
    // else the only computer is busy: wait beside it until the other Glimp is gone.
    walk_animation(g);
}

void end_visit(Glimp *g, Computer &c)
{
    g->cargo_dx = CARGO_DX;
    g->cargo_dy = CARGO_DY;
    edge_point(g->target_x, g->target_y);
    g->frames = left;
    g->state = WALKING_OUT;
    g->frame = 0;
    c.busy = 0;
}

// Takes the computer's distro away (work step 6).
void take_distro(Glimp *g, Computer &c)
{
    if (c.distro == NO_DISTRO) {
        move(g, -21);   // makes up for the skipped steps 1 to 5
    } else {
        // A real distro is carried away; initfail (never seen in a normal game, as a busy
        // computer cannot be infected) leaves the Glimp with the initfail it brought.
        if (c.distro != INITFAIL)
            g->cargo = c.distro;
        Network::set_distro(c, NO_DISTRO);
    }
    g->cargo_dy = CARGO_DY;
    move(g, 20);
}

// Installs initfail (work step 11). The player may have dropped a real distro onto the
// computer during the visit; it is overwritten, and the count moves from GOOD then.
void install_initfail(Computer &c)
{
    if (c.distro != INITFAIL) {
        Network::set_distro(c, INITFAIL);
        Sound::play(SOUND_INFECTED);
    }
}

void work(Glimp *g)
{
    Computer &c = Network::computer(g->target);
    if (g->frame == 0 && c.distro == NO_DISTRO) {
        // Another Glimp took this distro already; pick up what it dropped, if it lies here.
        g->frame = 6;
        Glimp *lying = c.loose;
        if (lying && lying_in_loose_list(lying)) {
            g->cargo = lying->cargo;
            Swarm::remove(lying);
            c.loose = nullptr;
        } else {
            g->cargo = NO_DISTRO;
        }
    } else {
        g->frame++;
        if (g->frame >= WORK_STEPS) {
            end_visit(g, c);
            return;
        }
    }
    g->cargo_dy = glimp_h - Distro::height();
    switch (g->frame) {
    case 1:
    case 2:
        move(g, -8);
        break;
    case 3:
        move(g, -10);
        break;
    case 4:
        move(g, 3);
        break;
    case 5:
        move(g, 2);
        break;
    case 6:
        take_distro(g, c);
        break;
    case 7:
        g->swap_dx = -2;
        g->swap_dy = glimp_h - Distro::height();
        break;
    case 8:
        g->swap_dx = -2;
        g->swap_dy = -15;
        break;
    case 9:
        g->swap_dx = -7;
        g->swap_dy = -7;
        move(g, -8);
        break;
    case 10:
        g->swap_dx = -7;
        g->swap_dy = 0;
        move(g, -15);
        break;
    case 11:
        g->swap_dx = -7;
        g->swap_dy = 0;
        install_initfail(c);
        break;
    case 12:
        move(g, 11);
        break;
    }
}

void walk_out(Glimp *g)
{
    int s = Game::screen_size();
    if (!boxes_overlap(g->x, g->y, glimp_w, glimp_h, 0, 0, s, s)) {
        // Escaped: back to the reserve, to come in again later in the level.
        Swarm::remove(g);
        Swarm::add_to_counter(ON_FIELD, -1);
        Swarm::add_to_counter(RESERVE, +1);
        return;
    }
    if (g->x != g->target_x || g->y != g->target_y)
        walk_step(g, true);
    walk_animation(g);
}

void die(Glimp *g)
{
    if (g->frame > 3) {
        g->y = saturate(static_cast<long long>(g->y) + g->cargo_dy);
        if (g->cargo <= INITFAIL) {
            Swarm::remove(g);   // only initfail or nothing: no trace is left
        } else {
            Swarm::make_loose(g);
            g->state = LOOSE;
        }
        Swarm::add_to_counter(ON_FIELD, -1);
        return;
    }
    g->cargo_dy += 3 * g->frame;
    g->frame++;
}

// Picture `frame` of the set, kept in range so a record drawn before its first update
// (a fresh dying one has frame -1) cannot read outside the set.
Image *picture(const Glimp *g, int slots)
{
    int f = g->frame < 0 ? 0 : (g->frame >= slots ? slots - 1 : g->frame);
    return g->frames[f];
}

int slots_of(Image *const *frames)
{
    if (frames == dying)
        return 5;
    if (frames == at_computer)
        return WORK_STEPS;
    return 4;
}

} // namespace

void Glimp::load_images()
{
    for (int i = 0; i < 3; i++) {
        Gui::load_image_frame("miteL", i, 1, &left[i]);
        Gui::load_image_frame("miteR", i, 1, &right[i]);
    }
    left[3] = left[1];
    right[3] = right[1];
    for (int i = 0; i < 5; i++)
        Gui::load_image_frame("miteD", i, 1, &dying[i]);
    glimp_w = Gui::image_width(dying[0]);
    glimp_h = Gui::image_height(dying[0]);
    for (int i = 0; i < WORK_STEPS; i++)
        Gui::load_image_frame("miteA", i, 1, &at_computer[i]);
}

int Glimp::width() { return glimp_w; }
int Glimp::height() { return glimp_h; }
Image *const *Glimp::left_frames() { return left; }
Image *const *Glimp::right_frames() { return right; }
Image *const *Glimp::dying_frames() { return dying; }
Image *const *Glimp::at_computer_frames() { return at_computer; }

Glimp *Glimp::enter()
{
    Glimp *g = static_cast<Glimp *>(xalloc(sizeof(Glimp)));
    g->state = WALKING_IN;
    edge_point(g->x, g->y);
    g->frame = 0;
    g->frames = left;
    g->cargo = INITFAIL;
    g->cargo_dx = CARGO_DX;
    g->cargo_dy = CARGO_DY;
    g->swap_dx = 0;
    g->swap_dy = 0;
    int count = Network::computer_count();
    if (count > 0) {
        aim_at(g, Random::draw() % count);
    } else {
        // No computer to visit (never so in a level): it turns round where it came in.
        g->target = 0;
        g->target_x = g->x;
        g->target_y = g->y;
        g->state = WALKING_OUT;
    }
    Swarm::add_to_counter(ON_FIELD, +1);
    Swarm::add_to_counter(RESERVE, -1);
    g->prev = nullptr;
    g->next = nullptr;
    return g;
}

void Glimp::update(Glimp *g)
{
    switch (g->state) {
    case WALKING_IN:
        if (g->x == g->target_x && g->y == g->target_y) {
            arrive(g);
        } else {
            walk_step(g, false);
            walk_animation(g);
        }
        break;
    case AT_COMPUTER:
        work(g);
        break;
    case WALKING_OUT:
        walk_out(g);
        break;
    case DYING:
        die(g);
        break;
    default:   // LOOSE: a distro lying on the field does nothing
        break;
    }
}

void Glimp::draw(Glimp *g)
{
    switch (g->state) {
    case WALKING_IN:
    case WALKING_OUT:
    case DYING:
        if (g->cargo >= 0)
            Distro::draw(g->cargo, g->x + g->cargo_dx, g->y + g->cargo_dy);
        Gui::blit(picture(g, slots_of(g->frames)), g->x, g->y);
        break;
    case AT_COMPUTER: {
        const Computer &c = Network::computer(g->target);
        if (g->frame >= 7 && g->frame <= 11)
            Distro::draw(INITFAIL, g->x + g->swap_dx, g->y + g->swap_dy);
        if (g->cargo >= 0)
            Distro::draw(g->cargo, g->x + g->cargo_dx, g->y + g->cargo_dy);
        // The work pictures show the Glimp at the computer's own position.
        Gui::blit(picture(g, WORK_STEPS), c.x, c.y);
        break;
    }
    case LOOSE:
        Distro::draw(g->cargo, g->x, g->y);
        break;
    default:
        break;
    }
}

void Glimp::set_dying(Glimp *g)
{
    g->frames = dying;
    g->cargo_dx = CARGO_DX;
    g->cargo_dy = CARGO_DY;
    g->state = DYING;
    g->frame = -1;   // the next update comes before the next draw
}

int Glimp::hit(const Glimp *g, int px, int py)
{
    return g->x < px && px < static_cast<long long>(g->x) + glimp_w && g->y < py &&
           py < static_cast<long long>(g->y) + glimp_h;
}

int Glimp::hit_loose(const Glimp *g, int px, int py)
{
    // Every distro is hit-tested with the size of the initfail picture.
    return g->x < px && px < static_cast<long long>(g->x) + Distro::width() && g->y < py &&
           py < static_cast<long long>(g->y) + Distro::height();
}

void GlimpTesting::set_size(int w, int h)
{
    glimp_w = w;
    glimp_h = h;
}
