// The command line: start level, back end, field size, version and help.
#pragma once

// The field's side in pixels: from 400 (the default) to 4000. The field logic grows with
// the square of the size; 4000 keeps a level's set-up bounded and is more than any display
// shows.
constexpr int MIN_SCREEN_SIZE = 400;
constexpr int MAX_SCREEN_SIZE = 4000;

struct Options {
    int level = 0;            // 0: no game until the player starts one
    int screen_size = 400;
    const char *gui_name = nullptr;
    bool mute = false;        // --mute: no sound in this run
    // --replay FILE: watch the recording in the window; --check-replay FILE: play it
    // without a window and print its result. The last of the two given counts.
    const char *replay_file = nullptr;
    bool check_replay = false;
};

// Reads the options left to right; errors are fatal, -v and -h print and exit 0.
Options parse_options(int argc, char **argv);

extern const char VERSION_TEXT[];
extern const char HELP_TEXT[];
