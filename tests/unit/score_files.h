// What the score tests need around a table on disk: its text as the game writes it, a check
// that a reader would find a whole table, plain reads and writes, and processes that hold a
// table's lock or are killed mid-save.
#pragma once

#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

namespace ScoreFiles {

struct Entry {
    std::string name;
    int level;
    int score;
};

// One line of the table as the game writes it: a 20-column name, a blank, level, blank, score.
std::string line(const std::string &name, int level, int score);
std::string table_text(const std::vector<Entry> &entries);

// Exactly ten such lines, scores in order and nothing else: what a reader must find at any
// moment. The entries found are handed back when asked for.
bool well_formed(const std::string &text, std::vector<Entry> *entries = nullptr);

// The file's bytes, links not followed; empty (and *exists false) when it cannot be opened.
std::string read_text(const std::string &path, bool *exists = nullptr);
// Writes the file with exactly this mode, whatever the umask (a failure fails the test).
void write_text(const std::string &path, const std::string &text, mode_t mode = 0666);
std::set<std::string> names_in(const std::string &dir);

// A fresh directory under $TMPDIR (or /tmp) named after what the test saves.
std::string make_temp_dir(const char *what);
// Removes the directory and everything in it.
void remove_dir(const std::string &dir);

// A process that holds an exclusive flock on path (made when missing) until it is killed;
// -1 when it could not take the lock.
pid_t hold_lock(const std::string &path);
void kill_and_reap(pid_t pid);

} // namespace ScoreFiles
