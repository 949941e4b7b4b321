// PlayerData: small files of the player's own (settings), in the player's data directory.
#pragma once

#include <string>

namespace PlayerData {

// $XDG_DATA_HOME/glimpwatch when that variable is set and absolute, else
// $HOME/.local/share/glimpwatch; empty when neither can be had.
std::string dir();
// Reads the small regular file name in it (capped; a link there is not followed).
bool read(const char *name, std::string &text);
// Writes the file, made with its directory on first use and replaced in one step.
bool write(const char *name, const std::string &text);

} // namespace PlayerData
