// The score helper: the one program that writes a high-score table shared by every
// player. It takes one result, checks it as strictly as the game's name entry does, and
// merges it into the table; or it only shows the table. Privileges are the program's
// business (scores/score_helper_main.cpp); this is what it does with them.
#pragma once

#include <string>

namespace ScoreHelper {

struct Request {
    bool add = false;   // false: only show the table
    std::string name;
    int level = 0;
    int score = 0;
    std::string id;   // the result's id (HighScores::valid_id), or empty: the helper makes one
};

// The usage text, one line per form.
const char *usage();

// The command line (argv[0] first). "--show" shows the table; "--add NAME LEVEL SCORE [ID]"
// enters a result; "--add" alone reads NAME, LEVEL, SCORE and, if given, ID, one per line,
// from input_fd. A result handed over again with the same ID is entered once. False with a
// one-line reason when the request is not valid.
bool parse_request(int argc, const char *const *argv, int input_fd, Request &request, std::string &error);

// A decimal number from min to the largest int, without blanks or a plus sign.
bool parse_number(const std::string &text, int min, int &value);

// Carries out the request on the table at path (ScoreFile::Files::INSTALLED), waiting for
// no other helper. True with the table as it then stands (ten lines in the file's layout)
// in table; false with a one-line reason, and the table as it was.
bool run(const Request &request, const char *path, std::string &table, std::string &error);

// The whole program for the table at table_path: privileges and descriptors set up, the
// request taken, run, and the table printed; returns the exit status, which says whether the
// request was carried out whatever became of the printing (a refused or failed request has
// said why on stderr in one line).
int main(int argc, char **argv, const char *table_path);

} // namespace ScoreHelper
