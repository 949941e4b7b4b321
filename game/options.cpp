// The command line: start level, back end, field size, version and help.
#include "game/options.h"

const char VERSION_TEXT[] = "Glimpwatch version 1.0\n\n";
const char HELP_TEXT[] = "";

Options parse_options(int, char **) { return Options(); }
