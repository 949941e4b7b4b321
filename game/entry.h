// The program's start-up sequence, shared by main and the in-process tests.
#pragma once

// Seeds the generator, reads the options, opens the back end, loads everything and runs the loop.
[[noreturn]] void run_glimpwatch(int argc, char **argv);

// Loads the pictures of the play field, Glimps first: their size spaces the computers.
void load_play_field_pictures();
