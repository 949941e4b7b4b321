// High scores: insertion and ties, the file's round trip, the reader's rules and the dialog text.
#include "scores/high_scores.h"
#include "scores/high_scores_testing.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

struct Expected {
    std::string name;
    int level;
    int score;
};

class HighScoresTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HighScores::reset_for_tests();
        path = std::string(TEST_BINARY_DIR) + "/high_scores_" + std::to_string(getpid());
        ::remove(path.c_str());
        HighScores::set_path_for_tests(path.c_str());
    }
    void TearDown() override
    {
        HighScores::reset_for_tests();
        ::remove(path.c_str());
    }

    void write_file(const std::string &text)
    {
        std::ofstream out(path, std::ios::binary);
        out << text;
    }
    std::string file_text()
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void parse(const std::string &text) { HighScores::parse(text.data(), text.size()); }

    static void expect_entry(int i, const Expected &e)
    {
        SCOPED_TRACE(testing::Message() << "entry " << i);
        EXPECT_EQ(std::string(HighScores::entry(i).name), e.name);
        EXPECT_EQ(HighScores::entry(i).level, e.level);
        EXPECT_EQ(HighScores::entry(i).score, e.score);
    }

    // Ten named entries E0..E9 with scores 100 down to 10, as a sentinel table.
    static void sentinel_table()
    {
        std::string text;
        for (int i = 0; i < 10; i++)
            text += "E" + std::to_string(i) + " " + std::to_string(i + 1) + " " + std::to_string(100 - 10 * i) + "\n";
        parse(text);
    }
    static Expected sentinel(int i) { return {"E" + std::to_string(i), i + 1, 100 - 10 * i}; }

    static std::string row(const std::string &name, const std::string &level, const std::string &score)
    {
        std::string r = name + std::string(20 - name.size(), ' ') + " ";
        r += std::string(level.size() < 6 ? 6 - level.size() : 0, ' ') + level + " ";
        r += std::string(score.size() < 7 ? 7 - score.size() : 0, ' ') + score + "\n";
        return r;
    }

    std::string path;
};

TEST_F(HighScoresTest, MissingFileGivesTenAnonymousEntriesAndTheirDialog)
{
    HighScores::read();
    for (int i = 0; i < 10; i++)
        expect_entry(i, {"Anonymous", 0, 0});
    EXPECT_EQ(HighScores::qualifies(1), 1);
    EXPECT_EQ(HighScores::qualifies(0), 0);

    std::string expected = "High Scores:\n\n" + row("Name", "Level", "Score");
    for (int i = 0; i < 10; i++)
        expected += row("Anonymous", "0", "0");
    // Written out: "Name", 18 blanks, "Level", 3 blanks, "Score"; the rows likewise by column.
    EXPECT_EQ(expected.substr(14, 36), "Name                  Level   Score\n");
    char text[512];
    HighScores::format_dialog(text, sizeof text);
    EXPECT_EQ(std::string(text), expected);
}

TEST_F(HighScoresTest, UnreadableFileCountsAsMissing)
{
    std::string dir = TEST_BINARY_DIR;   // opens, but cannot be read
    HighScores::set_path_for_tests(dir.c_str());
    HighScores::read();
    for (int i = 0; i < 10; i++)
        expect_entry(i, {"Anonymous", 0, 0});
}

TEST_F(HighScoresTest, EmptyFileLeavesTheTableAsItWas)
{
    write_file("");
    HighScores::read();
    for (int i = 0; i < 10; i++)
        expect_entry(i, {"", 0, 0});
}

TEST_F(HighScoresTest, WriteUsesTwentyColumnNamesAndReadsBackTheSame)
{
    HighScores::read();
    HighScores::insert("Ann", 3, 5);
    HighScores::write();
    std::string all = "Ann" + std::string(17, ' ') + " 3 5\n";
    for (int i = 1; i < 10; i++)
        all += "Anonymous" + std::string(11, ' ') + " 0 0\n";
    EXPECT_EQ(file_text(), all);
}

TEST_F(HighScoresTest, EveryNameThatWriteProducesReadsBackWhole)
{
    struct Case {
        const char *typed;
        int level;
        const char *read_back;
    } cases[] = {
        {"Bob Smith", 5, "Bob Smith"},
        {"", 4, ""},
        {"  lead", 3, "  lead"},
        {"abcdefghijklmnopqrst", 2, "abcdefghijklmnopqrst"},     // 20: the whole field
        {"ABCDEFGHIJKLMNOPQRSTU", 1, "ABCDEFGHIJKLMNOPQRST"},    // 21: cut when entered
        {"two\nlines", 0, "two"},
        {"a b c d e f g h i j", -1, "a b c d e f g h i j"},
        {"tab\there 1 2", INT_MAX, "tabhere 1 2"},              // numbers inside; a tab is dropped
        {"Bob   ", INT_MIN, "Bob"},                              // trailing blanks are padding
        {" 7 8", 77, " 7 8"},
    };
    int score = 1000;
    for (const Case &k : cases)
        HighScores::insert(k.typed, k.level, score--);
    HighScores::write();
    HighScores::reset_for_tests();
    HighScores::set_path_for_tests(path.c_str());
    HighScores::read();
    score = 1000;
    for (int i = 0; i < 10; i++)
        expect_entry(i, {cases[i].read_back, cases[i].level, score--});
}

TEST_F(HighScoresTest, TrailingBlanksOfATypedNameDoNotChangeTheTableAcrossASave)
{
    HighScores::read();
    HighScores::insert("Ann  ", 3, 50);
    EXPECT_STREQ(HighScores::entry(0).name, "Ann");
}

TEST_F(HighScoresTest, NegativeAndExtremeNumbersRoundTrip)
{
    const int values[] = {INT_MIN, INT_MAX, -1, 0, 1};
    std::string text;
    for (int i = 0; i < 10; i++)
        text += "n" + std::to_string(i) + " " + std::to_string(values[i % 5]) + " " +
                std::to_string(values[(i + 2) % 5]) + "\n";
    parse(text);
    HighScoreEntry table[10];
    for (int i = 0; i < 10; i++)
        table[i] = HighScores::entry(i);
    write_file(HighScores::file_text(table));
    HighScores::reset_for_tests();
    HighScores::set_path_for_tests(path.c_str());
    HighScores::read();
    for (int i = 0; i < 10; i++)
        expect_entry(i, {"n" + std::to_string(i), values[i % 5], values[(i + 2) % 5]});
}

TEST_F(HighScoresTest, WrittenLinesParseWholeForRandomTables)
{
    srand(11);
    const char alphabet[] = "ab Z 9-+\t\r.";
    for (int round = 0; round < 200; round++) {
        std::string text;
        Expected want[10];
        for (int i = 0; i < 10; i++) {
            std::string name;
            int length = rand() % 21;
            for (int c = 0; c < length; c++)
                name += alphabet[rand() % (sizeof alphabet - 1)];
            int level = rand() - RAND_MAX / 2;
            int score = (rand() % 2 ? -1 : 1) * rand();
            char line[64];
            snprintf(line, sizeof line, "%-*s %d %d\n", 20, name.c_str(), level, score);
            text += line;
            while (!name.empty() && name.back() == ' ')
                name.pop_back();
            want[i] = {name, level, score};
        }
        SCOPED_TRACE(text);
        HighScores::reset_for_tests();
        parse(text);
        for (int i = 0; i < 10; i++)
            expect_entry(i, want[i]);
        if (HasFailure())
            break;
    }
}

TEST_F(HighScoresTest, OneWordFilesReadAsWordsWhateverTheirWhiteSpace)
{
    write_file("Ann                  1 10\n"
               "\n"
               "  Bob\t2   20  \r\n"
               "Cy\t3 \t 30\n"
               "Dee 4 40 Eve 5 50\n"
               "Fay +6 -60\r\n"
               "   \t\n"
               "Gus 007 070");
    HighScores::read();
    expect_entry(0, {"Ann", 1, 10});
    expect_entry(1, {"Bob", 2, 20});
    expect_entry(2, {"Cy", 3, 30});
    expect_entry(3, {"Dee", 4, 40});
    expect_entry(4, {"Eve", 5, 50});
    expect_entry(5, {"Fay", 6, -60});
    expect_entry(6, {"Gus", 7, 70});
    for (int i = 7; i < 10; i++)
        expect_entry(i, {"", 0, 0});
}

TEST_F(HighScoresTest, ShortFileLeavesTheRestAsItWas)
{
    write_file("Ann 1 10\nBob 2 20\n");
    HighScores::read();
    expect_entry(0, {"Ann", 1, 10});
    expect_entry(1, {"Bob", 2, 20});
    for (int i = 2; i < 10; i++)
        expect_entry(i, {"", 0, 0});

    write_file("");
    HighScores::read();
    expect_entry(0, {"Ann", 1, 10});
}

TEST_F(HighScoresTest, MalformedLineKeepsItsEntryAndShiftsNothing)
{
    sentinel_table();
    parse("Ann 1 10\n"
          "garbage\n"
          "Bob x 5\n"
          "Cy 3\n"
          "Gil 4 4O\n"
          "Dee 99999999999 5\n"
          "Eve -2147483649 5\n"
          // Short lines whose next line starts with a number: each is a bad line of its
          // own, not a name, a level and the first word of the next line.
          " 5 101\n"
          " 5 102\n"
          "Fay 6 60\n");
    expect_entry(0, {"Ann", 1, 10});
    for (int i = 1; i <= 8; i++)
        expect_entry(i, sentinel(i));
    expect_entry(9, {"Fay", 6, 60});
}

// A name word longer than the field was once dropped with its level and score, and the
// next save turned its line into an empty entry: someone else's score was gone.
TEST_F(HighScoresTest, LongNameWordIsCutToTheFieldAtACharacterKeepingLevelAndScore)
{
    const std::string e_acute = "\xc3\xa9", euro = "\xe2\x82\xac";
    auto times = [](const std::string &s, int n) {
        std::string r;
        for (int i = 0; i < n; i++)
            r += s;
        return r;
    };
    struct Case {
        std::string word, name;
    } cases[] = {
        {"An_Extremely_Long_Player", "An_Extremely_Long_Pl"},
        {times("x", 21), times("x", 20)},
        {times(e_acute, 11), times(e_acute, 10)},       // 22 bytes: cut between characters
        {"a" + times(e_acute, 10), "a" + times(e_acute, 9)},   // 21: the cut would split one
        {times(euro, 7), times(euro, 6)},               // 21 bytes in three-byte characters
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.word);
        sentinel_table();
        parse("Ann 1 10\n" + k.word + " 9 5000\nBob 2 20\n");
        expect_entry(0, {"Ann", 1, 10});
        expect_entry(1, {k.name, 9, 5000});
        expect_entry(2, {"Bob", 2, 20});
        expect_entry(3, sentinel(3));
    }
}

TEST_F(HighScoresTest, ArbitraryBytesNeverOverrunANameOrTheTable)
{
    std::string nasty[] = {
        std::string("\0\0\0 1 2\n", 8),
        std::string(25, '\0'),
        std::string(200000, 'a') + " 1 2\n",
        "x " + std::string(100000, '9') + " 1\n",
        std::string(100000, ' ') + "\n",
        std::string(30, 'n') + " 1 2\n" + std::string(19, 'n') + "  -5 -",
        "-\n+\n- -\n",
        std::string(20, 'q') + " -2147483648 -2147483648",
        std::string(20, 'q') + " 2147483648 1",
        "\xff\xfe\x80 1 2\n",
    };
    for (const std::string &text : nasty) {
        SCOPED_TRACE(text.substr(0, 40));
        sentinel_table();
        parse(text);
        for (int i = 0; i < 10; i++)
            EXPECT_LE(strlen(HighScores::entry(i).name), 20u);
    }
    srand(5);
    const char bytes[] = {' ', '\n', '\t', '\r', '-', '+', '0', '7', '9', 'a', 'Z', '\0', '\x7f', '\xff'};
    for (int round = 0; round < 500; round++) {
        std::string text;
        int length = rand() % 300;
        for (int i = 0; i < length; i++)
            text += bytes[rand() % sizeof bytes];
        parse(text);
        for (int i = 0; i < 10; i++)
            ASSERT_LE(strlen(HighScores::entry(i).name), 20u) << text;
    }
    HighScores::parse(nullptr, 0);
}

TEST_F(HighScoresTest, InsertPlacesTiesBelowAndDropsTheTenth)
{
    parse("E0 1 100\nE1 1 90\nE2 1 80\nE3 1 70\nE4 1 70\nE5 1 60\nE6 1 50\nE7 1 40\nE8 1 30\nE9 1 20\n");
    EXPECT_EQ(HighScores::qualifies(20), 0);
    EXPECT_EQ(HighScores::qualifies(21), 1);
    HighScores::insert("Low", 9, 20);
    expect_entry(9, {"E9", 1, 20});

    HighScores::insert("New", 5, 70);
    const char *order[] = {"E0", "E1", "E2", "E3", "E4", "New", "E5", "E6", "E7", "E8"};
    for (int i = 0; i < 10; i++)
        EXPECT_STREQ(HighScores::entry(i).name, order[i]) << i;
    expect_entry(5, {"New", 5, 70});

    HighScores::insert("Top", 7, 1000);
    expect_entry(0, {"Top", 7, 1000});
    expect_entry(1, {"E0", 1, 100});
    expect_entry(9, {"E7", 1, 40});
}

TEST_F(HighScoresTest, InsertCutsNamesAtTwentyAndAtTheFirstNewline)
{
    struct Case {
        const char *typed;
        const char *stored;
    } cases[] = {
        {"abcdefghijklmnopqrstuvwxyz", "abcdefghijklmnopqrst"},
        {"abcdefghijklmnopqrst", "abcdefghijklmnopqrst"},
        {"first\nsecond", "first"},
        {"\nhidden", ""},
        {"", ""},
        {"with blank", "with blank"},
    };
    int score = 100;
    for (const Case &k : cases) {
        SCOPED_TRACE(k.typed);
        HighScores::insert(k.typed, 1, score);
        EXPECT_STREQ(HighScores::entry(0).name, k.stored);
        score++;
    }
}

TEST_F(HighScoresTest, InsertNeverCutsAUtf8CharacterInTwo)
{
    // The name entry takes 20 characters; in UTF-8 these may need more than 20 bytes.
    const std::string euro = "\xE2\x82\xAC", e_acute = "\xC3\xA9", smile = "\xF0\x9F\x98\x80";
    std::string six_euros;
    for (int i = 0; i < 6; i++)
        six_euros += euro;
    std::string eleven_e;
    for (int i = 0; i < 11; i++)
        eleven_e += e_acute;
    struct Case {
        std::string typed, stored;
    } cases[] = {
        {six_euros + euro, six_euros},                                   // 21 bytes: the 7th goes
        {six_euros + "ab", six_euros + "ab"},                            // exactly 20 bytes
        {"abcdefghijklmnopqrs" + e_acute, "abcdefghijklmnopqrs"},        // 2-byte character at 19
        {"abcdefghijklmnopqr" + e_acute, "abcdefghijklmnopqr" + e_acute},
        {"abcdefghijklmnopq" + smile, "abcdefghijklmnopq"},              // 4-byte character at 17
        {eleven_e, eleven_e.substr(0, 20)},
        {"abcdefghijklmnopqrst" + e_acute, "abcdefghijklmnopqrst"},      // cut between characters
    };
    int score = 100;
    for (const Case &k : cases) {
        SCOPED_TRACE(k.typed);
        HighScores::insert(k.typed.c_str(), 1, score++);
        EXPECT_EQ(std::string(HighScores::entry(0).name), k.stored);
    }
}

TEST_F(HighScoresTest, DialogTextIsExactAndFitsItsBufferForAnyTable)
{
    parse("Ann 3 1200\nBob 12 -7\n");
    char text[512];
    HighScores::format_dialog(text, sizeof text);
    std::string expected = "High Scores:\n\n" + row("Name", "Level", "Score") + row("Ann", "3", "1200") +
                           row("Bob", "12", "-7");
    for (int i = 2; i < 10; i++)
        expected += row("", "0", "0");
    EXPECT_EQ(std::string(text), expected);

    // The widest table: 20-character names, numbers that widen their columns.
    std::string widest;
    for (int i = 0; i < 10; i++)
        widest += std::string(20, 'W') + " -2147483648 -2147483648\n";
    parse(widest);
    HighScores::format_dialog(text, sizeof text);
    EXPECT_EQ(strlen(text), 500u);
    EXPECT_EQ(std::string(text).substr(50, 45), std::string(20, 'W') + " -2147483648 -2147483648\n");

    // A short buffer is cut, never overrun.
    char small[16];
    memset(small, 'x', sizeof small);
    HighScores::format_dialog(small, 10);
    EXPECT_STREQ(small, "High Scor");
    EXPECT_EQ(small[10], 'x');
}

// A save that failed once went unnoticed while the player believed the score was kept.
TEST_F(HighScoresTest, UnwritableFileIsToldOnceOnStderrAndInTheDialogUntilASaveSucceeds)
{
    HighScores::insert("Ann", 1, 10);
    std::string dir = TEST_BINARY_DIR;   // a directory cannot be opened for writing
    HighScores::set_path_for_tests(dir.c_str());
    testing::internal::CaptureStderr();
    HighScores::write();
    std::string missing = dir + "/no/such/dir/scores";
    HighScores::set_path_for_tests(missing.c_str());
    HighScores::write();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "glimpwatch: score not saved: the score file is not a regular file\n");
    EXPECT_NE(access(missing.c_str(), F_OK), 0);
    char text[HIGH_SCORE_DIALOG_BYTES];
    HighScores::format_dialog(text, sizeof text);
    std::string shown = text;
    std::string note = "0\n"   // the table's last line, then a blank one
                       "\nNot saved: cannot make the lock file: No such file or directory; it will be tried again\n";
    ASSERT_GT(shown.size(), note.size());
    EXPECT_EQ(shown.substr(shown.size() - note.size()), note);

    // Saved at last: the line goes, and nothing more is printed.
    HighScores::set_path_for_tests(path.c_str());
    testing::internal::CaptureStderr();
    HighScores::write();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    HighScores::format_dialog(text, sizeof text);
    EXPECT_EQ(std::string(text).find("Not saved"), std::string::npos);
    EXPECT_EQ(file_text().substr(0, 25), "Ann                  1 10");
}

TEST_F(HighScoresTest, NullPathGoesBackToTheBuildsScoreFile)
{
    HighScores::reset_for_tests();
    std::string built_in = HighScores::path();
    HighScores::set_path_for_tests(path.c_str());
    EXPECT_EQ(std::string(HighScores::path()), path);
    HighScores::set_path_for_tests(nullptr);
    EXPECT_EQ(std::string(HighScores::path()), built_in);
}

} // namespace
