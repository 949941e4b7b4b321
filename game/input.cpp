// Pointer input: a press picks up the bucket or a loose distro or kills Glimps; a release drops.
#include "field/bucket.h"
#include "field/computer.h"
#include "field/glimp.h"
#include "field/network.h"
#include "field/swarm.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "gui/gui.h"
#include "sound/sound.h"

#include <vector>

namespace {

// 5 n n for n Glimps killed by one press, in 64 bits; no press kills anywhere near
// 100000 Glimps, so the cap only keeps the square defined.
long long kill_points(int n)
{
    long long m = n < 0 ? -static_cast<long long>(n) : n;
    if (m > 100000)
        return 5LL * 100000 * 100000;
    return 5 * m * m;
}

} // namespace

namespace Game {
namespace internal {

void mark_targets()
{
    // Kept between calls: a drag marks the same few computers tick after tick.
    static std::vector<MarkedBox> targets;
    targets.clear();
    Glimp *g = dragged();
    if (g && state() == PLAYING)
        for (int i = 0; i < Network::computer_count(); i++) {
            const Computer &c = Network::computer(i);
            if (Computer::takes(c, g->cargo))
                targets.push_back({c.x, c.y, Computer::width(), Computer::height()});
        }
    Gui::mark_boxes(targets.data(), static_cast<int>(targets.size()));
}

} // namespace internal

void button_press(int x, int y)
{
    if (state() != PLAYING)
        return;
    // A second press while a distro is held (another button, or the toolkit's extra press
    // of a double click) changes nothing: the held distro is dropped or put back exactly once.
    if (dragged())
        return;
    Gui::use_cursor(internal::hand_down());
    if (Bucket::hit(x, y)) {
        Bucket::grab();
        return;
    }
    if (Glimp *g = Swarm::grab_loose(x, y)) {
        internal::set_dragged(g);
        Distro::use_cursor(g->cargo);
        internal::mark_targets();
        return;
    }
    int killed = Swarm::whack(x, y);
    internal::add_score(kill_points(killed));
    if (killed > 0)
        Sound::play(killed == 1 ? SOUND_WHACK : SOUND_WHACK_MANY);
}

void button_release(int x, int y)
{
    Gui::use_cursor(internal::hand_up());
    if (state() != PLAYING)
        return;
    Glimp *g = dragged();
    if (!g) {
        Bucket::release(x, y);
        return;
    }
    int d = g->cargo;
    // The first computer under the pointer that can run the distro and runs none of its
    // own takes it; one running a real distro refuses.
    for (int i = 0; i < Network::computer_count(); i++) {
        Computer &c = Network::computer(i);
        if (!Computer::hit(c, x, y) || !Computer::takes(c, d))
            continue;
        Network::set_distro(c, d);
        internal::set_dragged(nullptr);
        internal::mark_targets();
        Swarm::remove(g);
        Sound::play(SOUND_DISTRO_BACK);
        return;
    }
    // Nobody took it: it lies again where it was picked up.
    internal::set_dragged(nullptr);
    internal::mark_targets();
    Swarm::put_back(g);
}

} // namespace Game
