// Sound: the game's events as sound effects, through the table of a player the program links.
#pragma once

#include <string>

// The effects, one file each (sounds/<name>.wav); SOUND_COUNT is their number.
enum {
    SOUND_WHACK = 0,        // one Glimp killed by a press
    SOUND_WHACK_MANY = 1,   // several killed by one press
    SOUND_DISTRO_BACK = 2,  // a distro put back on a computer
    SOUND_DOUSE = 3,        // the bucket douses a spark
    SOUND_INFECTED = 4,     // a computer gets initfail, from a Glimp or a spark
    SOUND_LEVEL_WON = 5,
    SOUND_GAME_LOST = 6,
    SOUND_GAME_START = 7,
    SOUND_COUNT = 8
};

// The operations of a sound player; sound/README gives the contract. Neither may block.
struct SoundPlayer {
    // Sound turned on (nonzero) or off: on gets the device ready, off silences what plays.
    void (*set_on)(int on);
    // Starts the effect now, mixed with whatever plays; skips it when it cannot be played.
    void (*play)(int effect);
};

namespace Sound {

// The program's player; without one (the tests, the benchmarks) every sound is silence.
void install(const SoundPlayer *player);
// Start-up: sound on unless muted for this run or turned off in the player's data.
void start(bool muted_for_this_run);
// The player's choice from the menu: turns sound on or off and remembers it for later runs.
void choose(int on);
int on();
// One of the game's events; heard only while sound is on and not hushed.
void play(int effect);
// Hushed (true), nothing is heard, whatever the player chose, which stays as it is: a game
// replayed on the title screen for anyone passing by plays silently.
void hush(bool hushed);
// The effect's file name without directory and extension, e.g. "whack".
const char *name(int effect);

// What keeps sound from being heard, as the player last found it (no device, no sound
// server, no sound files); empty while sound works or was never tried. The player reports
// from any thread: null or "" when sound works (again).
void report_trouble(const char *reason);
std::string trouble();
// Grows with every report, so the game's thread sees a change without copying the reason.
int trouble_reports();

// Silent, no player, sound on: a fresh process, for tests.
void reset_for_tests();

} // namespace Sound
