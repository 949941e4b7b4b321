// What the tests, the benchmarks and the fuzz target set in the high-score module.
#pragma once

namespace HighScores {

// The file read and saved in place of this build's.
void set_path_for_tests(const char *path);
// A table path in place of the build's, chosen as the build's is: the player's own table
// is used instead where its directory is missing.
void set_system_path_for_tests(const char *path);
// How long a save waits for the lock (3 s unless a test says), and a save at quit (10 s;
// a quit_ms below 0 is ms).
void set_lock_wait_for_tests(int ms, int quit_ms = -1);
// A fresh process's state; also removes the lock file beside a test's score file.
void reset_for_tests();

} // namespace HighScores
