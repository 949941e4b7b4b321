// The recording sound player.
#include "tests/fake_sound.h"

namespace {
std::vector<std::string> log;

void set_on(int on) { log.push_back("set_on " + std::to_string(on)); }
void play(int effect) { log.push_back(std::string("play ") + Sound::name(effect)); }

const SoundPlayer PLAYER = {set_on, play};
} // namespace

namespace FakeSound {

std::vector<std::string> &calls() { return log; }

std::vector<std::string> played()
{
    std::vector<std::string> names;
    for (const std::string &line : log)
        if (line.compare(0, 5, "play ") == 0)
            names.push_back(line.substr(5));
    return names;
}

void install()
{
    log.clear();
    Sound::install(&PLAYER);
}

} // namespace FakeSound
