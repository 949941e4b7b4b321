// What the play field shows: the game's own pictures found in canvas captures.
#include "tests/e2e/field_view.h"

#include <cstdlib>
#include <map>

namespace e2e {

namespace {
std::map<std::string, XpmPicture> pictures;

long opaque_pixels(const XpmPicture &pic)
{
    long n = 0;
    for (size_t i = 0; i < pic.opaque.size(); ++i)
        n += pic.opaque[i] && pic.known[i];
    return n;
}
} // namespace

const XpmPicture &field_picture(const std::string &name)
{
    auto it = pictures.find(name);
    if (it == pictures.end())
        it = pictures.emplace(name, read_xpm(pixmap_path(name))).first;
    return it->second;
}

std::vector<Sighting> find_on_field(const Capture &canvas, const std::vector<std::string> &names,
                                    double share)
{
    std::vector<Sighting> found;
    for (const auto &name : names) {
        const XpmPicture &pic = field_picture(name);
        if (!pic.ok())
            continue;
        long allowed = static_cast<long>(share * static_cast<double>(opaque_pixels(pic)));
        for (const Point &p : find_picture(canvas, pic, allowed)) {
            bool seen = false;
            for (const auto &s : found)
                seen = seen || (std::abs(s.x - p.x) <= 3 && std::abs(s.y - p.y) <= 3);
            if (!seen)
                found.push_back(Sighting{name, p.x, p.y, pic.width, pic.height});
        }
    }
    return found;
}

std::vector<std::string> walking_glimp_frames()
{
    return {"miteL_0", "miteL_1", "miteL_2", "miteR_0", "miteR_1", "miteR_2"};
}

std::vector<std::string> dying_glimp_frames()
{
    return {"miteD_0", "miteD_1", "miteD_2", "miteD_3", "miteD_4"};
}

double covered_share(const Capture &canvas, const std::string &name, int x, int y)
{
    const XpmPicture &pic = field_picture(name);
    long total = opaque_pixels(pic);
    if (total == 0)
        return 1.0;
    return static_cast<double>(picture_mismatches(canvas, pic, x, y)) / static_cast<double>(total);
}

bool shows_dying_glimp(const Capture &canvas, int x, int y)
{
    for (const auto &frame : dying_glimp_frames())
        if (covered_share(canvas, frame, x, y) < 0.15)
            return true;
    return false;
}

Capture pause_and_look(Game &game) { return game.still_field(); }

std::vector<Sighting> walking_glimps(const Capture &canvas)
{
    std::vector<Sighting> result;
    for (const auto &s : find_on_field(canvas, walking_glimp_frames()))
        if (s.x > 2 && s.y > 40 && s.x + s.w < canvas.width - 2 && s.y + s.h < canvas.height - 20)
            result.push_back(s);
    return result;
}

bool play_until_glimps_walk(Game &game, const std::function<bool()> &also, int timeout_ms)
{
    game.move_to_canvas(game.size() / 2, game.size() / 2);
    return wait_until(
        [&] { return !walking_glimps(game.logical_canvas()).empty() || (also && also()); },
        timeout_ms, 50);
}

} // namespace e2e
