// The score helper for a test's own table, whose path comes first on the command line;
// otherwise the installed program, without its set-group-id bit.
#include "scores/score_helper.h"

#include <vector>

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    std::vector<char *> args{argv[0]};
    args.insert(args.end(), argv + 2, argv + argc);
    args.push_back(nullptr);
    return ScoreHelper::main(static_cast<int>(args.size()) - 1, args.data(), argv[1]);
}
