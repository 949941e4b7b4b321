// WebPlayer: the page (gui/web/page.js) plays the effects with Web Audio, from the same
// files as the desktop (sounds/<name>.wav beside the page). It fetches them when sound is
// first turned on, and a browser lets a page make sound only once the player has touched
// it: effects asked for before that are skipped.
#include "sound/web/web_player.h"

#include <emscripten.h>

#include <string>

namespace {

EM_JS(void, page_sound_on, (int on, const char *names), { GlimpwatchPage.soundOn(on != 0, UTF8ToString(names).split(" ")); });
EM_JS(void, page_sound_play, (int effect), { GlimpwatchPage.soundPlay(effect); });

// The effects' names in effect order, for the page to fetch their files.
std::string names()
{
    std::string all;
    for (int effect = 0; effect < SOUND_COUNT; effect++)
        all += (effect ? " " : "") + std::string(Sound::name(effect));
    return all;
}

void set_on(int on) { page_sound_on(on, names().c_str()); }
void play(int effect) { page_sound_play(effect); }

constexpr SoundPlayer PLAYER = {set_on, play};

} // namespace

namespace WebPlayer {

const SoundPlayer *player() { return &PLAYER; }

} // namespace WebPlayer
