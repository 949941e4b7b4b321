// Sound: the on/off choice, remembered in the player's data, and the forwarding to the player.
#include "sound/sound.h"

#include "base/player_data.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

namespace {
const SoundPlayer *player = nullptr;   // null: silence
bool on_ = true;
// Written by the player's thread, read by the game's. Plain storage: the thread may report
// while the process ends and its objects go.
std::mutex trouble_lock;
char trouble_[256];
std::atomic<int> reports{0};
bool hushed_ = false;

const char *const NAMES[SOUND_COUNT] = {
    "whack", "whack_many", "distro_back", "douse", "infected", "level_won", "game_lost", "game_start",
};

// The player's data file that keeps the choice: "off" or "on", one line.
const char SETTING_FILE[] = "sound";

// Off only when the file says so: no file, an unreadable one or anything else means on.
bool remembered_on()
{
    std::string text;
    if (!PlayerData::read(SETTING_FILE, text))
        return true;
    return text.compare(0, 3, "off") != 0;
}

void tell_player()
{
    if (player)
        player->set_on(on_ ? 1 : 0);
}

} // namespace

namespace Sound {

void install(const SoundPlayer *p) { player = p; }

void start(bool muted_for_this_run)
{
    on_ = !muted_for_this_run && remembered_on();
    // A muted run never touches the audio library: no device is opened, nothing is loaded.
    if (on_)
        tell_player();
}

void choose(int on)
{
    bool wanted = on != 0;
    if (wanted == on_)
        return;
    on_ = wanted;
    tell_player();
    // Not remembered is not worth a message: the choice holds for this run anyway.
    PlayerData::write(SETTING_FILE, on_ ? "on\n" : "off\n");
}

int on() { return on_ ? 1 : 0; }

void play(int effect)
{
    if (on_ && !hushed_ && player && effect >= 0 && effect < SOUND_COUNT)
        player->play(effect);
}

void hush(bool hushed) { hushed_ = hushed; }

const char *name(int effect) { return effect >= 0 && effect < SOUND_COUNT ? NAMES[effect] : ""; }

void report_trouble(const char *reason)
{
    {
        std::lock_guard<std::mutex> hold(trouble_lock);
        snprintf(trouble_, sizeof trouble_, "%s", reason ? reason : "");
    }
    reports.fetch_add(1);
}

std::string trouble()
{
    std::lock_guard<std::mutex> hold(trouble_lock);
    return trouble_;
}

int trouble_reports() { return reports.load(); }

void reset_for_tests()
{
    player = nullptr;
    on_ = true;
    std::lock_guard<std::mutex> hold(trouble_lock);
    trouble_[0] = '\0';
    reports.store(0);
    hushed_ = false;
}

} // namespace Sound
