// glimpwatch-score: installed setgid to the group that alone may write the shared
// high-score table, which it names itself.
#include "scores/score_helper.h"

#ifndef GLIMPWATCH_SCORE_FILE
#define GLIMPWATCH_SCORE_FILE "/var/games/glimpwatch/glimpwatch.scores"
#endif

int main(int argc, char **argv) { return ScoreHelper::main(argc, argv, GLIMPWATCH_SCORE_FILE); }
