// Test hooks of the session, the recorder and the watch: only the modules that define them
// and the tests include this header.
#pragma once

namespace Session {
// Nothing recorded or watched, no message given: a fresh process.
void reset_for_tests();
} // namespace Session

namespace Recorder {
void reset_for_tests();
// The next game's seed, instead of a fresh one.
void set_next_seed_for_tests(unsigned seed);
} // namespace Recorder

namespace Watch {
void reset_for_tests();
} // namespace Watch
