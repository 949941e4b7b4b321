// What the program prints for -v and -h, word for word: both the in-process and the
// end-to-end checks hold it to these.
#pragma once

#include "game/version.h"

namespace ExpectedTexts {

inline constexpr const char VERSION[] = "Glimpwatch version " GLIMPWATCH_VERSION "\n\n";
inline constexpr const char HELP[] = "Glimpwatch version " GLIMPWATCH_VERSION "\n"
                                     "Options:\n"
                                     "-l <n>\tStart at level n.\n"
                                     "--gui <gui> \tUse a specific gui (athena, motif, gtk)\n"
                                     "--size <size>\t\tUse a larger playing area.\n"
                                     "-v\t\tPrint version number and exit.\n"
                                     "-h\t\tPrint help and exit.\n"
                                     "--mute\t\tPlay without sound.\n"
                                     "--replay <file>\tWatch a recorded game.\n"
                                     "--check-replay <file>\tReplay a recorded game without a window and print its result.\n"
                                     "All standard toolkit options are also supported.\n"
                                     "\n";

} // namespace ExpectedTexts
