// The command line: start level, back end, field size, version and help.
#include "game/options.h"

#include "base/support.h"
#include "game/version.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

const char VERSION_TEXT[] = "Glimpwatch version " GLIMPWATCH_VERSION "\n\n";

const char HELP_TEXT[] =
    "Glimpwatch version " GLIMPWATCH_VERSION "\n"
    "Options:\n"
    "-l <n>\tStart at level n.\n"
    "--gui <gui> \tUse a specific gui (athena, motif, gtk)\n"
    "--size <size>\t\tUse a larger playing area.\n"
    "-v\t\tPrint version number and exit.\n"
    "-h\t\tPrint help and exit.\n"
    "--mute\t\tPlay without sound.\n"
    "--replay <file>\tWatch a recorded game.\n"
    "--check-replay <file>\tReplay a recorded game without a window and print its result.\n"
    "All standard toolkit options are also "
    "supported.\n"
    "\n";

Options parse_options(int argc, char **argv)
{
    Options options;
    // Left to right; the first error, -v or -h ends the program before later arguments are seen.
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        if (strncasecmp(arg, "-l", 2) == 0) {
            const char *value = arg + 2;
            if (arg[2] == '\0') {
                if (i + 1 >= argc)
                    fatal("-l takes an argument");
                value = argv[++i];
            }
            int level = 0;
            if (!parse_int(value, &level) || level < 1)
                fatal("invalid level '%s'", value);
            options.level = level;
        } else if (strcmp(arg, "--gui") == 0) {
            if (i + 1 >= argc)
                fatal("--gui takes an argument");
            options.gui_name = argv[++i];
        } else if (strcmp(arg, "--size") == 0) {
            if (i + 1 >= argc)
                fatal("--size takes an argument");
            const char *value = argv[++i];
            int size = 0;
            if (!parse_int(value, &size) || size < 1)
                fatal("invalid screensize '%s'", value);
            if (size < MIN_SCREEN_SIZE)
                fatal("screensize must be larger than '%d'", MIN_SCREEN_SIZE);
            if (size > MAX_SCREEN_SIZE)
                fatal("screensize must not be larger than '%d'", MAX_SCREEN_SIZE);
            options.screen_size = size;
        } else if (strcmp(arg, "--replay") == 0 || strcmp(arg, "--check-replay") == 0) {
            if (i + 1 >= argc)
                fatal("%s takes an argument", arg);
            options.replay_file = argv[++i];
            options.check_replay = strcmp(arg, "--check-replay") == 0;
        } else if (strcmp(arg, "--mute") == 0) {
            options.mute = true;
        } else if (strcmp(arg, "-v") == 0 || strcmp(arg, "--version") == 0) {
            fputs(VERSION_TEXT, stdout);
            exit(0);
        } else if (strcmp(arg, "-h") == 0 || strcmp(arg, "--help") == 0) {
            fputs(HELP_TEXT, stdout);
            exit(0);
        }
        // Anything else belongs to the toolkit, which gets the whole command line later.
    }
    return options;
}
