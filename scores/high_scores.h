// High scores: the ten best results, their file and the dialog text.
#pragma once

#include <cstddef>

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
// Saves the table; failures are silent.
void write();
void insert(const char *name, int level, int score);
// Whether the score beats the tenth entry.
int qualifies(int score);
void refresh_dialog();
// Formats the dialog text into buf (512 bytes always suffice).
void format_dialog(char *buf, int size);

const HighScoreEntry &entry(int index);
// The file this build reads and writes.
const char *path();
void set_path_for_tests(const char *path);
void reset_for_tests();

} // namespace HighScores
