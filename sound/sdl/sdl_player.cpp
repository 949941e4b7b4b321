// SdlPlayer: SDL2_mixer plays the effects; the device is opened and the files are read on a
// thread of their own, so the game's thread never waits for the audio system.
#include "sound/sdl/sdl_player.h"

#include "base/data_dir.h"
#include "base/safe_file.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <dlfcn.h>
#include <mutex>
#include <string>
#include <thread>

namespace {

enum { IDLE, LOADING, READY, FAILED };

// The loader is the only writer of chunks, and writes them before it makes state READY.
std::atomic<int> state{IDLE};
std::atomic<bool> sound_on{false};
Mix_Chunk *chunks[SOUND_COUNT];
// While the loader works, the effects asked for meanwhile and when; it plays the recent ones.
std::mutex waiting_lock;
std::chrono::steady_clock::time_point asked_at[SOUND_COUNT];
bool asked[SOUND_COUNT];
// The game thread's own: when each effect was last started.
Uint32 started_at[SOUND_COUNT];
bool ever_started[SOUND_COUNT];

// Enough voices for every effect twice over; beyond that a new effect is skipped.
constexpr int CHANNELS = 16;
// Effects asked for within this time of one another are heard once: a tick that infects
// five computers sounds like one infection, not five at five times the loudness.
constexpr Uint32 SAME_MOMENT_MS = 60;
// An effect asked for while the device was still being opened is played late only if it
// is still this fresh: the start of a game, not a whack from long ago.
constexpr auto STILL_FRESH = std::chrono::milliseconds(400);
// A little under full volume, so that effects sounding together keep some headroom.
constexpr int VOLUME = MIX_MAX_VOLUME * 7 / 8;
// Our effects are a few tens of kilobytes; anything much larger is not one of them.
constexpr std::size_t FILE_CAP = 1 << 20;
// A device that cannot be opened is tried again this often, while sound is on.
constexpr auto RETRY = std::chrono::seconds(2);

// Decodes one effect; null (and the reason) when the file is missing, cut short or no WAV.
Mix_Chunk *load_effect(int effect, std::string &reason)
{
    std::string path = std::string(DataDir::path()) + "/sounds/" + Sound::name(effect) + ".wav";
    std::string bytes;
    // Only a regular file, never waiting on a FIFO or a device put in its place.
    if (!SafeFile::read_regular(path.c_str(), FILE_CAP, bytes, &reason)) {
        if (errno == ENOENT)
            reason = "missing";
        return nullptr;
    }
    SDL_RWops *rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    Mix_Chunk *chunk = rw ? Mix_LoadWAV_RW(rw, 1) : nullptr;
    if (!chunk)
        reason = "damaged";
    return chunk;
}

void start_effect(int effect)
{
    if (!sound_on.load() || !chunks[effect])
        return;
    Uint32 now = SDL_GetTicks();
    if (ever_started[effect] && now - started_at[effect] < SAME_MOMENT_MS)
        return;
    // No free channel: this one is skipped rather than cutting another short.
    if (Mix_PlayChannel(-1, chunks[effect], 0) >= 0) {
        started_at[effect] = now;
        ever_started[effect] = true;
    }
}

void say_nothing(const char *, int, const char *, int, const char *, ...) {}

// ALSA reports a missing card with a screenful of its own lines on standard error, while
// the audio library tries it. Its reports go nowhere: the one line below says it all. The
// library is the one SDL loads itself, when it is there at all; it stays loaded.
void quieten_alsa()
{
    void *alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!alsa)
        return;
    using Handler = void (*)(const char *, int, const char *, int, const char *, ...);
    using SetHandler = int (*)(Handler);
    if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
        set(say_nothing);
}

// Everything that can fail or take time, away from the game's thread. At most one line on
// standard error, and none at all when everything works.
void load()
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Glimpwatch");
    // A WAV file cut short is refused, not played in part.
    SDL_SetHint(SDL_HINT_WAVE_TRUNCATION, "verystrict");
    quieten_alsa();
    // A device or a sound server missing now may come later (a headset plugged in, the
    // server started): the device is tried again every few seconds while sound is on, and
    // the game is told each time (Sound::report_trouble), but standard error only once.
    for (bool told = false;; std::this_thread::sleep_for(RETRY)) {
        if (!sound_on.load())
            continue;
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 &&
            Mix_OpenAudioDevice(44100, AUDIO_S16SYS, 2, 1024, nullptr, SDL_AUDIO_ALLOW_ANY_CHANGE) == 0)
            break;
        std::string reason = SDL_GetError();
        // Started afresh next time, so that a sound server that came meanwhile is found.
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        if (!told)
            fprintf(stderr, "no sound: %s\n", reason.c_str());
        told = true;
        state.store(FAILED);
        Sound::report_trouble(reason.c_str());
    }
    Mix_AllocateChannels(CHANNELS);
    Mix_Volume(-1, VOLUME);

    std::string skipped;
    int missing = 0;
    for (int effect = 0; effect < SOUND_COUNT; effect++) {
        std::string reason;
        chunks[effect] = load_effect(effect, reason);
        if (chunks[effect])
            continue;
        missing += reason == "missing";
        skipped += std::string(skipped.empty() ? "" : ", ") + Sound::name(effect) + ".wav (" + reason + ")";
    }
    if (missing == SOUND_COUNT) {
        std::string reason = std::string("no sound files in ") + DataDir::path() + "/sounds";
        fprintf(stderr, "no sound: %s\n", reason.c_str());
        Sound::report_trouble(reason.c_str());
    } else {
        if (!skipped.empty())
            fprintf(stderr, "sounds skipped: %s\n", skipped.c_str());
        // Heard, perhaps after a device that was missing came.
        if (state.load() == FAILED)
            Sound::report_trouble(nullptr);
    }

    // READY only after the late effects are started: until then play() waits for the
    // lock rather than starting effects beside this thread.
    std::lock_guard<std::mutex> hold(waiting_lock);
    auto now = std::chrono::steady_clock::now();
    for (int effect = 0; effect < SOUND_COUNT; effect++) {
        if (asked[effect] && now - asked_at[effect] < STILL_FRESH)
            start_effect(effect);
        asked[effect] = false;
    }
    state.store(READY);
}

void set_on(int on)
{
    sound_on.store(on != 0);
    if (!on) {
        if (state.load() == READY)
            Mix_HaltChannel(-1);
        return;
    }
    int idle = IDLE;
    if (!state.compare_exchange_strong(idle, LOADING))
        return;
    try {
        std::thread(load).detach();
    } catch (const std::exception &) {
        fprintf(stderr, "no sound: cannot start the sound thread\n");
        state.store(FAILED);
        Sound::report_trouble("cannot start the sound thread");
    }
}

void play(int effect)
{
    if (state.load() == READY) {
        start_effect(effect);
        return;
    }
    std::lock_guard<std::mutex> hold(waiting_lock);
    if (state.load() == READY) {
        start_effect(effect);
    } else if (state.load() == LOADING) {
        asked[effect] = true;
        asked_at[effect] = std::chrono::steady_clock::now();
    }
}

const SoundPlayer PLAYER = {set_on, play};

} // namespace

namespace SdlPlayer {

const SoundPlayer *player() { return &PLAYER; }

} // namespace SdlPlayer
