// The command line: start level, back end, field size, version and help.
#pragma once

struct Options {
    int level = 0;            // 0: no game until the player starts one
    int screen_size = 400;
    const char *gui_name = nullptr;
    bool mute = false;        // --mute: no sound in this run
};

// Reads the options left to right; errors are fatal, -v and -h print and exit 0.
Options parse_options(int argc, char **argv);

extern const char VERSION_TEXT[];
extern const char HELP_TEXT[];
