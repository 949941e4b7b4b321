// The score helper's checks of what a caller hands it: the command line, standard input,
// the name, the level and the score. Anything it lets through goes into a table that every
// player reads.
#include "scores/score_helper.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Outcome {
    bool ok;
    std::string error;
    ScoreHelper::Request request;
};

// Runs the parser on a command line (after the program's name) with input on a pipe
// (closed_input: standard input closed altogether).
Outcome parse(const std::vector<std::string> &args, const std::string &input = "", bool closed_input = false)
{
    std::vector<const char *> argv{"glimpwatch-score"};
    for (const std::string &a : args)
        argv.push_back(a.c_str());
    int fds[2] = {-1, -1};
    int input_fd = -1;
    if (!closed_input) {
        EXPECT_EQ(pipe(fds), 0);
        EXPECT_EQ(write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
        close(fds[1]);
        input_fd = fds[0];
    }
    Outcome o;
    o.ok = ScoreHelper::parse_request(static_cast<int>(argv.size()), argv.data(), input_fd, o.request, o.error);
    if (input_fd >= 0)
        close(input_fd);
    return o;
}

std::string repeat(const std::string &s, int n)
{
    std::string r;
    for (int i = 0; i < n; i++)
        r += s;
    return r;
}

TEST(ScoreHelperInput, ResultsOnTheCommandLineAreCheckedBeforeAnythingIsWritten)
{
    struct Case {
        const char *what;
        std::vector<std::string> args;
        bool ok;
    } cases[] = {
        {"a plain result", {"--add", "Ann", "3", "120"}, true},
        {"a name with blanks, an empty name", {"--add", "Ann Lee", "1", "0"}, true},
        {"an empty name", {"--add", "", "1", "0"}, true},
        {"20 bytes of ASCII", {"--add", repeat("x", 20), "1", "5"}, true},
        {"21 bytes of ASCII", {"--add", repeat("x", 21), "1", "5"}, false},
        {"a name of 10,000 bytes", {"--add", repeat("x", 10000), "1", "5"}, false},
        {"ten 2-byte letters: 20 bytes", {"--add", repeat("\xd0\x96", 10), "1", "5"}, true},
        {"eleven 2-byte letters: 22 bytes", {"--add", repeat("\xd0\x96", 11), "1", "5"}, false},
        {"five 4-byte characters", {"--add", repeat("\xf0\x9f\x98\x80", 5), "1", "5"}, true},
        {"a lone continuation byte", {"--add", "An\x80n", "1", "5"}, false},
        {"a character cut short", {"--add", "Ann\xd0", "1", "5"}, false},
        {"an overlong slash", {"--add", "\xc0\xaf", "1", "5"}, false},
        {"an overlong 3-byte form", {"--add", "\xe0\x80\xaf", "1", "5"}, false},
        {"a surrogate", {"--add", "\xed\xa0\x80", "1", "5"}, false},
        {"past U+10FFFF", {"--add", "\xf4\x90\x80\x80", "1", "5"}, false},
        {"a newline", {"--add", "Ann\nBob 9 999", "1", "5"}, false},
        {"a tab", {"--add", "Ann\tLee", "1", "5"}, false},
        {"an escape", {"--add", "\x1b[2J", "1", "5"}, false},
        {"DEL", {"--add", "Ann\x7f", "1", "5"}, false},
        {"a C1 control", {"--add", "Ann\xc2\x85", "1", "5"}, false},
        {"a right-to-left override", {"--add", "Eve\xe2\x80\xae", "1", "12345"}, false},
        {"a line separator", {"--add", "B\xe2\x80\xa8Mallory 9 99999", "1", "5"}, false},
        {"a paragraph separator", {"--add", "B\xe2\x80\xa9", "1", "5"}, false},
        {"a first-strong isolate", {"--add", "\xe2\x81\xa8" "Ann", "1", "5"}, false},
        {"a zero-width joiner", {"--add", "A\xe2\x80\x8d" "B", "1", "5"}, false},
        {"a combining mark", {"--add", "Zoe\xcc\x88", "1", "5"}, true},
        {"CJK and emoji", {"--add", "\xe7\x8e\x8b\xf0\x9f\x8e\xae", "1", "5"}, true},
        {"level 0", {"--add", "Ann", "0", "5"}, false},
        {"a negative level", {"--add", "Ann", "-1", "5"}, false},
        {"the top level", {"--add", "Ann", "2147483647", "5"}, true},
        {"a level past the top", {"--add", "Ann", "2147483648", "5"}, false},
        {"a huge level", {"--add", "Ann", "99999999999999999999999", "5"}, false},
        {"a level with a plus sign", {"--add", "Ann", "+3", "5"}, false},
        {"a level with a blank", {"--add", "Ann", " 3", "5"}, false},
        {"a level that is not a number", {"--add", "Ann", "3x", "5"}, false},
        {"an empty level", {"--add", "Ann", "", "5"}, false},
        {"score 0", {"--add", "Ann", "1", "0"}, true},
        {"a negative score", {"--add", "Ann", "1", "-5"}, false},
        {"the top score", {"--add", "Ann", "1", "2147483647"}, true},
        {"an overflowing score", {"--add", "Ann", "1", "2147483648"}, false},
        {"a lone minus sign", {"--add", "Ann", "1", "-"}, false},
        {"no arguments", {}, false},
        {"show", {"--show"}, true},
        {"show with an argument", {"--show", "x"}, false},
        {"a missing score", {"--add", "Ann", "1"}, false},
        {"an extra argument", {"--add", "Ann", "1", "5", "6"}, false},
        {"an unknown request", {"--wipe"}, false},
        {"a result without a request", {"Ann", "1", "5"}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Outcome o = parse(c.args, "Bob\n1\n1\n");
        EXPECT_EQ(o.ok, c.ok) << o.error;
        if (o.ok) {
            EXPECT_EQ(o.request.add, c.args.size() == 4);
            if (o.request.add) {
                EXPECT_EQ(o.request.name, c.args[1]);
                EXPECT_EQ(std::to_string(o.request.level), c.args[2]);
                EXPECT_EQ(std::to_string(o.request.score), c.args[3]);
            }
        } else {
            // One line, naming the fault, and nothing of the caller's text.
            EXPECT_FALSE(o.error.empty());
            EXPECT_EQ(o.error.find('\n'), std::string::npos) << o.error;
            EXPECT_LT(o.error.size(), 120u) << o.error;
        }
    }
}

TEST(ScoreHelperInput, AResultOnStandardInputIsThreeLinesAndNothingElse)
{
    struct Case {
        const char *what;
        std::string input;
        bool closed;
        bool ok;
        const char *name;
    } cases[] = {
        {"three lines", "Ann Lee\n3\n120\n", false, true, "Ann Lee"},
        {"the last line unended", "Ann\n3\n120", false, true, "Ann"},
        {"an empty name", "\n1\n0\n", false, true, ""},
        {"empty input", "", false, false, nullptr},
        {"standard input closed", "", true, false, nullptr},
        {"no score", "Ann\n3\n", false, false, nullptr},
        {"a second result", "Ann\n3\n120\nBob\n4\n130\n", false, false, nullptr},
        {"a blank line after the result", "Ann\n3\n120\n\n", false, false, nullptr},
        {"10,000 bytes", repeat("x", 10000) + "\n3\n120\n", false, false, nullptr},
        {"a long name", repeat("x", 21) + "\n3\n120\n", false, false, nullptr},
        {"a carriage return", "Ann\r\n3\n120\n", false, false, nullptr},
        {"a NUL byte in the name", std::string("An\0n\n3\n120\n", 11), false, false, nullptr},
        {"a negative score", "Ann\n3\n-1\n", false, false, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Outcome o = parse({"--add"}, c.input, c.closed);
        EXPECT_EQ(o.ok, c.ok) << o.error;
        if (c.ok) {
            EXPECT_TRUE(o.request.add);
            EXPECT_EQ(o.request.name, c.name);
        } else {
            EXPECT_FALSE(o.error.empty());
            EXPECT_EQ(o.error.find('\n'), std::string::npos) << o.error;
        }
    }
}

} // namespace
