// The program's entry point.
#include "game/entry.h"

int main(int argc, char **argv) { run_glimpwatch(argc, argv); }
