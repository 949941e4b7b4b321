// Recordings: the player's recorded games, kept in the player's data directory, and the
// demo that ships with the game.
#pragma once

#include "recording/recording.h"

#include <ctime>
#include <string>
#include <vector>

// A recording file found in the directory: its path and its header (no events).
struct RecordingFile {
    std::string path;
    Recording header;
};

namespace Recordings {

// The directory keeps this many of the player's best games (by score) and of the last ones.
constexpr int KEEP_BEST = 20;
constexpr int KEEP_LAST = 20;

// <player's data directory>/replays; empty when there is no data directory.
std::string dir();
// Saves the recording of a game that started at `started` as a new file of the directory,
// named by that date and time ("2025-03-01_14-05-09.replay", "..._2.replay" for a second
// game of the same second); then only the best and the last games are kept. The path of the
// file, or false with the reason (the directory or the file cannot be written).
bool save(const Recording &recording, std::time_t started, std::string *path, std::string *reason);
// Writes the recording again over the file at path, in one step.
bool rewrite(const std::string &path, const Recording &recording, std::string *reason);
// The recordings of the directory that can be read, newest first.
std::vector<RecordingFile> list();
// Removes the files of the directory's own naming that are neither among the KEEP_BEST
// best games nor among the KEEP_LAST last ones.
void prune();
// Reads and checks a whole recording file. False with the reason (without the path).
bool read(const char *path, Recording &recording, std::string *reason);
// The demo that ships with the game: <data dir>/replays/demo.replay.
std::string demo_path();

} // namespace Recordings
