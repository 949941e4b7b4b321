// The program's start-up sequence, shared by main, the in-process tests and the benchmarks.
#pragma once

// Seeds the generator, reads the options, opens the back end and loads everything: the
// whole start-up up to the event loop. A game named on the command line is running after it.
void start_glimpwatch(int argc, char **argv);
// start_glimpwatch, then the back end's event loop, then exit with status 0.
[[noreturn]] void run_glimpwatch(int argc, char **argv);

// glimpwatch --check-replay FILE: replays the recording without a display, as fast as it
// goes, and prints its final line ("Final score: N at level L") on standard output; the
// exit status. A file that cannot be replayed gets one line on standard error, naming it
// and the reason, and status 1.
int check_replay(const char *path);

// Loads the pictures of the play field, Glimps first: their size spaces the computers.
void load_play_field_pictures();
