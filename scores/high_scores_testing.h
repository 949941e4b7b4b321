// What the tests, the benchmarks and the fuzz target set in the high-score module.
#pragma once

namespace HighScores {

// The file read and saved in place of this build's.
void set_path_for_tests(const char *path);
// How long a save waits for the lock before saving without it (5 s unless a test says).
void set_lock_wait_for_tests(int ms);
// A fresh process's state; also removes the lock file beside a test's score file.
void reset_for_tests();

} // namespace HighScores
