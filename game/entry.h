// The program's start-up sequence, shared by main, the in-process tests and the benchmarks.
#pragma once

// Seeds the generator, reads the options, opens the back end and loads everything: the
// whole start-up up to the event loop. A game named on the command line is running after it.
void start_glimpwatch(int argc, char **argv);
// start_glimpwatch, then the back end's event loop, then exit with status 0.
[[noreturn]] void run_glimpwatch(int argc, char **argv);

// Loads the pictures of the play field, Glimps first: their size spaces the computers.
void load_play_field_pictures();
