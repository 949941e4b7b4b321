// The command line: every rule, message and exit status, in one table.
#include "game/options.h"
#include "tests/expected_texts.h"
#include "tests/unit/args.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using ExpectedTexts::HELP;
using ExpectedTexts::VERSION;

// Runs the parser in the dying child with only one stream on the captured standard error:
// standard output for the texts that must go there, standard error for the messages.
void parse_capturing(Args &args, bool capture_stdout)
{
    fflush(nullptr);
    int devnull = open("/dev/null", O_WRONLY);
    if (capture_stdout) {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        dup2(devnull, STDERR_FILENO);
    } else {
        dup2(devnull, STDOUT_FILENO);
    }
    parse_options(args.argc(), args.argv.data());
    fflush(nullptr);
    _exit(99);   // the parser returned where it should have ended the program
}

struct Case {
    std::vector<std::string> args;
    int status;            // -1: the parser returns
    std::string out;       // what the run prints: stdout for status 0, stderr for 1
    int level;
    int size;
    const char *gui;
};

const Case CASES[] = {
    // Plain runs.
    {{}, -1, "", 0, 400, nullptr},
    {{"-L7"}, -1, "", 7, 400, nullptr},
    {{"-l", "7"}, -1, "", 7, 400, nullptr},
    {{"-l12"}, -1, "", 12, 400, nullptr},
    {{"-help"}, -1, "", 0, 400, nullptr},
    {{"-version"}, -1, "", 0, 400, nullptr},
    {{"--foo", "-V", "--Size", "10"}, -1, "", 0, 400, nullptr},
    {{"--size", "400"}, -1, "", 0, 400, nullptr},
    {{"--size", "4000"}, -1, "", 0, 4000, nullptr},
    {{"--size", "500", "--size", "600"}, -1, "", 0, 600, nullptr},
    {{"--gui", "GTK"}, -1, "", 0, 400, "GTK"},
    {{"--gui", "-v"}, -1, "", 0, 400, "-v"},
    {{"--gui", "-h", "--gui", "b"}, -1, "", 0, 400, "b"},
    {{"-l", "3", "-l", "5"}, -1, "", 5, 400, nullptr},
    {{"-l", "-v"}, 1, "invalid level '-v'\n", 0, 0, nullptr},
    // Leading blanks and signs, as strtol reads them.
    {{"-l", " 7"}, -1, "", 7, 400, nullptr},
    {{"-l", "\t12"}, -1, "", 12, 400, nullptr},
    {{"-l+7"}, -1, "", 7, 400, nullptr},
    {{"--size", " +500"}, -1, "", 0, 500, nullptr},
    {{"-l", "2147483647"}, -1, "", INT_MAX, 400, nullptr},
    // Level errors.
    {{"-l"}, 1, "-l takes an argument\n", 0, 0, nullptr},
    {{"-L"}, 1, "-l takes an argument\n", 0, 0, nullptr},
    {{"-l7x"}, 1, "invalid level '7x'\n", 0, 0, nullptr},
    {{"-l", "0"}, 1, "invalid level '0'\n", 0, 0, nullptr},
    {{"-l", "-3"}, 1, "invalid level '-3'\n", 0, 0, nullptr},
    {{"-l", ""}, 1, "invalid level ''\n", 0, 0, nullptr},
    {{"-l", "7 "}, 1, "invalid level '7 '\n", 0, 0, nullptr},
    {{"-l0x10"}, 1, "invalid level '0x10'\n", 0, 0, nullptr},
    {{"-l", "--size"}, 1, "invalid level '--size'\n", 0, 0, nullptr},
    {{"-level"}, 1, "invalid level 'evel'\n", 0, 0, nullptr},
    {{"-l", "3", "-l", "0"}, 1, "invalid level '0'\n", 0, 0, nullptr},
    {{"-l", "2147483648"}, 1, "invalid level '2147483648'\n", 0, 0, nullptr},
    {{"-l", "-2147483649"}, 1, "invalid level '-2147483649'\n", 0, 0, nullptr},
    {{"-l99999999999999999999999"}, 1, "invalid level '99999999999999999999999'\n", 0, 0, nullptr},
    // Size errors.
    {{"--size"}, 1, "--size takes an argument\n", 0, 0, nullptr},
    {{"--size", "399"}, 1, "screensize must be larger than '400'\n", 0, 0, nullptr},
    {{"--size", "1"}, 1, "screensize must be larger than '400'\n", 0, 0, nullptr},
    {{"--size", "0"}, 1, "invalid screensize '0'\n", 0, 0, nullptr},
    {{"--size", "-5"}, 1, "invalid screensize '-5'\n", 0, 0, nullptr},
    {{"--size", "5x"}, 1, "invalid screensize '5x'\n", 0, 0, nullptr},
    {{"--size", ""}, 1, "invalid screensize ''\n", 0, 0, nullptr},
    {{"--size", "4001"}, 1, "screensize must not be larger than '4000'\n", 0, 0, nullptr},
    {{"--size", "2147483647"}, 1, "screensize must not be larger than '4000'\n", 0, 0, nullptr},
    {{"--size", "2147483648"}, 1, "invalid screensize '2147483648'\n", 0, 0, nullptr},
    {{"--size", "-99999999999999999999"}, 1, "invalid screensize '-99999999999999999999'\n", 0, 0, nullptr},
    {{"--size", "500", "--size", "10"}, 1, "screensize must be larger than '400'\n", 0, 0, nullptr},
    {{"--gui"}, 1, "--gui takes an argument\n", 0, 0, nullptr},
    // Version and help end the run where they stand.
    {{"-v"}, 0, VERSION, 0, 0, nullptr},
    {{"--version"}, 0, VERSION, 0, 0, nullptr},
    {{"-h"}, 0, HELP, 0, 0, nullptr},
    {{"--help"}, 0, HELP, 0, 0, nullptr},
    {{"--size", "500", "-v"}, 0, VERSION, 0, 0, nullptr},
    {{"--gui", "nosuch", "-h"}, 0, HELP, 0, 0, nullptr},
    {{"-v", "--size", "10"}, 0, VERSION, 0, 0, nullptr},
    {{"-h", "-v"}, 0, HELP, 0, 0, nullptr},
    {{"--size", "10", "-v"}, 1, "screensize must be larger than '400'\n", 0, 0, nullptr},
    {{"-l", "x", "-h"}, 1, "invalid level 'x'\n", 0, 0, nullptr},
};

TEST(OptionsTest, EveryRuleGivesItsResultMessageAndStatus)
{
    for (const Case &k : CASES) {
        std::string shown;
        for (const std::string &a : k.args)
            shown += "[" + a + "] ";
        SCOPED_TRACE(shown);
        Args args(k.args);
        if (k.status < 0) {
            Options o = parse_options(args.argc(), args.argv.data());
            EXPECT_EQ(o.level, k.level);
            EXPECT_EQ(o.screen_size, k.size);
            if (k.gui)
                EXPECT_STREQ(o.gui_name, k.gui);
            else
                EXPECT_EQ(o.gui_name, nullptr);
        } else {
            EXPECT_EXIT(parse_capturing(args, k.status == 0), ::testing::ExitedWithCode(k.status),
                        ::testing::Eq(k.out));
        }
    }
}

TEST(OptionsTest, GuiNameIsTheArgumentItselfNotACopy)
{
    Args args({"--gui", "gtk"});
    Options o = parse_options(args.argc(), args.argv.data());
    EXPECT_EQ(o.gui_name, args.argv[2]);
}

TEST(OptionsTest, MuteIsForThisRunOnlyAndTakesNoValue)
{
    Args plain({"-l", "2"});
    EXPECT_FALSE(parse_options(plain.argc(), plain.argv.data()).mute);
    Args muted({"--mute", "-l", "2"});
    Options o = parse_options(muted.argc(), muted.argv.data());
    EXPECT_TRUE(o.mute);
    EXPECT_EQ(o.level, 2) << "the argument after --mute is an option of its own";
    Args spelled({"-mute", "--Mute"});
    EXPECT_FALSE(parse_options(spelled.argc(), spelled.argv.data()).mute) << "only --mute, exactly";
}

TEST(OptionsTest, TextsAreExact)
{
    EXPECT_STREQ(VERSION_TEXT, VERSION);
    EXPECT_STREQ(HELP_TEXT, HELP);
}

} // namespace
