// glimpwatch-score: installed setgid to the group that alone may write the shared
// high-score table, which it names itself.
#include "scores/score_helper.h"

#include "base/install_paths.h"

int main(int argc, char **argv) { return ScoreHelper::main(argc, argv, InstallPaths::SCORE_FILE); }
