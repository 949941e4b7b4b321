// High scores: the ten best results, their file and the dialog text.
#pragma once

#include "scores/score_file.h"

#include <cstddef>
#include <string>

constexpr int HIGH_SCORE_COUNT = 10;
constexpr int HIGH_SCORE_NAME_MAX = 20;

struct HighScoreEntry {
    char name[HIGH_SCORE_NAME_MAX + 1];
    int level;
    int score;
};

namespace HighScores {

// Loads the table; a missing file gives ten "Anonymous" entries.
void read();
// Reads a table from the file's text, as read() does; entries not in the text keep their contents.
void parse(const char *data, std::size_t size);
// Saves the table: under a lock, the entries inserted since the last save are merged into
// the file as it is now, and the merged table replaces it in one step (rewritten in place
// where the directory takes no new file) and becomes this table. Failures are silent;
// what was not saved is tried again by the next save.
void write();
// Enters a result (ties go below) and keeps it for the next save.
void insert(const char *name, int level, int score);
// Whether the score beats the tenth entry.
int qualifies(int score);
// Formats the dialog text into buf (512 bytes always suffice).
void format_dialog(char *buf, int size);

const HighScoreEntry &entry(int index);
// The file this build reads and writes.
const char *path();

// The save of write() for any process, with no state of this run: merges count entries
// (best first, ties in the order they came) into the table file at path under its lock
// and saves it; where there is no file, base (which holds them already) is saved as it
// stands. Waits at most wait_ms for the lock. True with the table now in the file in
// saved_table; false with the reason otherwise. files: who writes the table's files.
bool save_entries(const char *path, const HighScoreEntry *entries, int count, const HighScoreEntry *base,
                  int wait_ms, HighScoreEntry *saved_table, std::string *reason = nullptr,
                  ScoreFile::Files files = ScoreFile::Files::ANY_PLAYER);

} // namespace HighScores
