// PlayerData: small files of the player's own (settings, the last name, a table of scores),
// in the player's data directory. The browser build keeps them in the site's storage
// instead (base/player_data_web.cpp), each file an item named by its path.
#pragma once

#include <cstddef>
#include <string>

namespace PlayerData {

// The largest file read() accepts: settings and names are a few bytes.
constexpr std::size_t MAX_BYTES = 4096;

// $XDG_DATA_HOME/glimpwatch when that variable is set and absolute, else
// <home>/.local/share/glimpwatch, <home> being $HOME when absolute, else the password
// database's; empty when neither can be had.
std::string dir();
// The path of the file name in dir(); empty when there is no dir().
std::string path(const char *name);
// Makes dir() and its missing parents (new ones private to the player); true when it is
// a directory now.
bool make_dir();
// Reads the small regular file name in it (capped; a link there is not followed).
bool read(const char *name, std::string &text);
// Writes the file (mode 0600), made with its directory on first use and replaced in one step.
bool write(const char *name, const std::string &text);

} // namespace PlayerData
