// High scores: the ten best results, their file and the dialog text.
#pragma once

#include "base/text_table.h"
#include "scores/score_file.h"

#include <cstddef>
#include <string>

constexpr int HIGH_SCORE_COUNT = 10;
constexpr int HIGH_SCORE_NAME_MAX = 20;
// The dialog's text with the widest table and the line of a failed save (a name is padded
// by the columns it shows, so 20 bytes of combining marks take 20 blanks more).
constexpr int HIGH_SCORE_DIALOG_BYTES = 1024;

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
// Saves the entries inserted since the last save, if any: under the file's lock they are
// merged into the file as it is now, which takes the merged table in one step (rewritten
// in place where the directory takes no new file); that table becomes this one. With
// nothing new, or nothing that gets in, the file is left as it is. A save that cannot be
// made (the lock not had within a few seconds, a file that cannot be written) keeps the
// entries for the next save, says why once a run on standard error, and puts a line under
// the dialog's table until a save succeeds.
void write();
// write() for the end of the run: waits longer for the lock.
void write_at_quit();
// Enters a result (ties go below) and keeps it for the next save.
void insert(const char *name, int level, int score);
// Whether the score beats the tenth entry.
int qualifies(int score);
// The dialog's table: "High Scores:" above it, a row heading the columns (Name, Level,
// Score), a row of name, level and score for each entry, and below it the line of a failed
// save, if any.
constexpr int DIALOG_COLUMNS = 3;
TextTable dialog_table();
// The dialog's text: that table lined up with blanks for a fixed-width font, into buf
// (HIGH_SCORE_DIALOG_BYTES always suffice).
void format_dialog(char *buf, int size);

const HighScoreEntry &entry(int index);
// The file this run reads and writes (chosen by the first read or save).
const char *path();
// The table a run uses: system_path where its directory exists, else glimpwatch.scores in
// the player's data directory (made on the first save); system_path when there is none.
std::string table_path(const char *system_path);

// The save of write() for any process, with no state of this run: merges count entries
// (best first, ties in the order they came) into the table file at path under its lock
// (waiting at most wait_ms for it), a missing file counting as ten "Anonymous" entries,
// and saves the file where one of them gets in. True with the table now in the file in
// saved_table; false with a short reason for the player otherwise. files: who writes the
// table's files. A table the helper keeps (INSTALLED) also keeps the id of each entry's
// result: an entry whose id (ids[i], empty for none) is there already is not entered again.
bool save_entries(const char *path, const HighScoreEntry *entries, int count, int wait_ms,
                  HighScoreEntry *saved_table, std::string *reason = nullptr,
                  ScoreFile::Files files = ScoreFile::Files::ANY_PLAYER, const std::string *ids = nullptr);
// The table in the file at path as read() reads it, into t: a missing file gives ten
// "Anonymous" entries. False with a short reason when the file is there but cannot be read.
bool load_entries(const char *path, int wait_ms, HighScoreEntry *t, std::string *reason = nullptr,
                  ScoreFile::Files files = ScoreFile::Files::ANY_PLAYER);
// The file's text for a table: ten lines, nothing else, at most 45 bytes each.
std::string file_text(const HighScoreEntry *table);
// A new id for a result: 32 hexadecimal digits, random.
std::string new_result_id();
// Whether text is an id of a result: 16 to 64 hexadecimal digits in lower case.
bool valid_id(const std::string &text);

} // namespace HighScores
