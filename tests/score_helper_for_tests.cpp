// The score helper for a test's own table, whose path comes first on the command line;
// otherwise the installed program, without its set-group-id bit. "stall:<path>" in place of
// the path: the helper does its work, then never ends, its output left open, like a helper
// that saved and then stood still until its game gave up on it.
#include "scores/score_helper.h"

#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    bool stall = strncmp(argv[1], "stall:", 6) == 0;
    std::string table = stall ? argv[1] + 6 : argv[1];
    std::vector<char *> args{argv[0]};
    args.insert(args.end(), argv + 2, argv + argc);
    args.push_back(nullptr);
    int status = ScoreHelper::main(static_cast<int>(args.size()) - 1, args.data(), table.c_str());
    while (stall)
        pause();
    return status;
}
