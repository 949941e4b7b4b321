// The shared high-score table, reached through the score helper: the game's side. The
// helper (installed setgid to the only group that may write the table) does the file
// work; the game hands it a result and reads the table it prints.
#pragma once

#include <string>

namespace SharedTable {

// Whether this run keeps its scores in a shared table: the build names a helper, and the
// helper is installed.
bool in_use();
// The helper this build runs.
const char *helper();
// The table as the helper prints it (ten lines in the file's layout). False with a short
// reason when the helper cannot be run, refuses or fails.
bool show(std::string &table, std::string *reason = nullptr);
// Enters one result through the helper; true with the table after it. id (HighScores::
// new_result_id) names the result: handed over again with the same id, after an answer
// that was lost, it is entered once.
bool add(const char *name, int level, int score, const char *id, std::string &table, std::string *reason = nullptr);

} // namespace SharedTable
