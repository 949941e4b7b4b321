// Player names: the byte-limited cut, what never reaches the file, the columns of the
// high-score dialog, the name offered before one is typed, and where the table lives.
#include "base/player_data.h"
#include "scores/high_scores.h"
#include "scores/high_scores_testing.h"
#include "scores/player_name.h"
#include "tests/fake_gui.h"
#include "tests/scoped_env.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <pwd.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string repeat(const std::string &s, int n)
{
    std::string out;
    for (int i = 0; i < n; i++)
        out += s;
    return out;
}

const std::string ZHE = "\xD0\x96";              // Ж, 2 bytes
const std::string EURO = "\xE2\x82\xAC";         // €, 3 bytes
const std::string GRIN = "\xF0\x9F\x98\x80";     // a face, 4 bytes

TEST(PlayerName, CutAtTwentyBytesKeepsOnlyWholeCharacters)
{
    struct Case {
        std::string typed, kept;
    } cases[] = {
        {repeat("a", 20), repeat("a", 20)},
        {repeat("a", 21), repeat("a", 20)},
        {repeat(ZHE, 10), repeat(ZHE, 10)},
        {repeat(ZHE, 11), repeat(ZHE, 10)},
        {"a" + repeat(ZHE, 10), "a" + repeat(ZHE, 9)},        // the tenth would end at byte 21
        {"ab" + repeat(EURO, 6), "ab" + repeat(EURO, 6)},     // exactly 20
        {repeat(EURO, 7), repeat(EURO, 6)},
        {"a" + repeat(EURO, 7), "a" + repeat(EURO, 6)},
        {repeat(GRIN, 5), repeat(GRIN, 5)},
        {"a" + repeat(GRIN, 5), "a" + repeat(GRIN, 4)},
        {"abc" + repeat(GRIN, 5), "abc" + repeat(GRIN, 4)},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.typed);
        EXPECT_EQ(PlayerName::clean(k.typed.c_str()), k.kept);
        // What the name entry takes when the text is typed or pasted into it at once.
        EXPECT_EQ(PlayerName::fitting_length(k.typed.data(), k.typed.size(), HIGH_SCORE_NAME_MAX), k.kept.size());
    }
    // Typed into an entry that already holds 19 bytes: a 2-byte character no longer fits.
    EXPECT_EQ(PlayerName::fitting_length(ZHE.data(), ZHE.size(), 1), 0u);
    EXPECT_EQ(PlayerName::fitting_length("x", 1, 1), 1u);
}

// A right-to-left override showed "Eve" + U+202E with score 12345 as "Eve54321 3"; a line
// separator made a second, fake row. Format and separator characters go with the controls.
TEST(PlayerName, ControlFormatAndSeparatorCharactersAndBrokenUtf8NeverReachTheTable)
{
    struct Case {
        const char *typed, *kept;
    } cases[] = {
        {"Eve\xE2\x80\xAE", "Eve"},                 // U+202E right-to-left override
        {"B\xE2\x80\xA8Mallory 9 99999", "BMallory 9 99999"},   // U+2028 line separator
        {"P\xE2\x80\xA9q", "Pq"},                   // U+2029 paragraph separator
        {"\xE2\x81\xA6Iso\xE2\x81\xA9", "Iso"},      // U+2066 and U+2069: an isolate and its end
        {"\xE2\x80\x8Fx\xE2\x80\x8E", "x"},          // right-to-left and left-to-right marks
        {"zw\xE2\x80\x8Bsp\xEF\xBB\xBF", "zwsp"},    // zero-width space, byte order mark
        {"soft\xC2\xADhyphen", "softhyphen"},
        {"\xF3\xA0\x80\x81tag", "tag"},              // U+E0001, a language tag
        {"e\xCC\x81", "e\xCC\x81"},                  // a combining mark stays
        {"\xD8\xB9\xD9\x84\xD9\x8A", "\xD8\xB9\xD9\x84\xD9\x8A"},   // Arabic letters stay
        {"A\tB\x01" "C\x7F", "ABC"},
        {"Ann\nsecond line", "Ann"},
        {"\xC2\x85next", "next"},                  // a C1 control
        {"x\xC3(y", "x(y"},                        // a lead byte without its continuation
        {"\xC0\xAFslash", "slash"},                // an overlong form
        {"\xED\xA0\x80sur", "sur"},                // a surrogate
        {"end\xE2\x82", "end"},                    // cut short
        {"\xFF\xFE", ""},
        {"     ", ""},                             // blanks only: an empty name
        {"Zo\xC3\xAB  ", "Zo\xC3\xAB"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.typed);
        EXPECT_EQ(PlayerName::clean(k.typed), k.kept);
    }
    FakeGui::install_as_active();
    HighScores::reset_for_tests();
    HighScores::insert("Bad\x01\xFFName", 1, 5);
    EXPECT_STREQ(HighScores::entry(0).name, "BadName");
    // A table written before names were cleaned of them shows them no more.
    const std::string written = "Eve\xE2\x80\xAE 3 12345\n";
    HighScores::parse(written.data(), written.size());
    char text[HIGH_SCORE_DIALOG_BYTES];
    HighScores::format_dialog(text, sizeof text);
    EXPECT_NE(std::string(text).find("\nEve" + std::string(17 + 6, ' ') + "3   12345\n"), std::string::npos) << text;
    // The name entry leaves them out of what is typed or pasted, and takes the rest.
    const std::string pasted = "Eve\xE2\x80\xAE" "B\xE2\x80\xA8" "C";
    EXPECT_EQ(PlayerName::entry_text(pasted.data(), pasted.size(), 20), "EveBC");
    EXPECT_EQ(PlayerName::entry_text(pasted.data(), pasted.size(), 4), "EveB");
    HighScores::reset_for_tests();
    FakeGui::reset();
}

TEST(PlayerName, DisplayWidthCountsColumnsNotBytes)
{
    struct Case {
        const char *what;
        std::string text;
        int columns;
    } cases[] = {
        {"Latin", "Anonymous", 9},
        {"Cyrillic", repeat(ZHE, 10), 10},
        {"e and a combining acute", "e\xCC\x81", 1},
        {"two wide characters", "\xE6\xBC\xA2\xE5\xAD\x97", 4},
        {"CJK name", "\xE7\x8E\x8B\xE5\xB0\x8F\xE6\x98\x8E", 6},                  // 王小明
        {"full-width letters", "\xEF\xBC\xA1\xEF\xBC\xA2", 4},                      // ＡＢ
        {"Hangul", "\xED\x95\x9C\xEA\xB8\x80", 4},                                  // 한글
        {"emoji shown as emoji", GRIN + "\xF0\x9F\x8E\xAE\xF0\x9F\x90\xA7", 6},      // 😀🎮🐧
        {"a heart asked to show as emoji", "\xE2\x9D\xA4\xEF\xB8\x8F", 2},
        {"a heart as text", "\xE2\x9D\xA4", 1},
        {"Hebrew with points", "\xD7\xA9\xD6\xB8\xD7\x9C", 2},
        {"a zero-width space", "a\xE2\x80\x8B" "b", 2},
        {"a byte that is not UTF-8", "a\xFF" "b", 3},
        {"nothing", "", 0},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        EXPECT_EQ(PlayerName::display_width(k.text.c_str()), k.columns);
    }
}

// The column where each row's level number ends, counted in display columns.
std::vector<int> level_ends(const std::string &dialog)
{
    std::vector<int> ends;
    std::istringstream in(dialog);
    std::string line;
    int row = 0;
    while (std::getline(in, line)) {
        if (row++ < 3)
            continue;   // the title, the empty line, the header
        // Name field, a blank, the level right-aligned in six columns.
        size_t level_end = line.find_first_of(' ', line.find_last_not_of(' ', line.rfind(' ')));
        ends.push_back(PlayerName::display_width(line.substr(0, level_end).c_str()));
    }
    return ends;
}

TEST(PlayerName, HighScoreColumnsLineUpWhateverTheNamesAreMadeOf)
{
    FakeGui::install_as_active();
    HighScores::reset_for_tests();
    const std::string names[] = {"Anonymous", repeat(ZHE, 10), "Zo\xC3\xAB", "e\xCC\x81t\xC3\xA9", "\xE6\xBC\xA2\xE5\xAD\x97",
                                 "a" + repeat(GRIN, 4),
                                 "\xE7\x8E\x8B\xE5\xB0\x8F\xE6\x98\x8E\xE7\x9A\x84\xE9\xAB\x98\xE5\x88\x86",   // 王小明的高分
                                 "Zo\xC3\xAB \xF0\x9F\x8E\xAE\xF0\x9F\x90\xA7"};                              // Zoë 🎮🐧
    int score = 100;
    for (const std::string &n : names)
        HighScores::insert(n.c_str(), 7, score--);
    char text[1024];
    HighScores::format_dialog(text, sizeof text);
    std::vector<int> ends = level_ends(text);
    ASSERT_EQ(ends.size(), 10u) << text;
    for (size_t i = 0; i < ends.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(ends[i], 27) << text;   // 20 columns of name, a blank, 6 of level
    }
    EXPECT_NE(std::string(text).find(repeat(ZHE, 10) + repeat(" ", 11) + "     7      99\n"), std::string::npos)
        << text;
    HighScores::reset_for_tests();
    FakeGui::reset();
}

std::string account_name()
{
    const passwd *account = getpwuid(getuid());
    if (!account)
        return "";
    std::string full = account->pw_gecos ? account->pw_gecos : "";
    std::string name = PlayerName::clean(full.substr(0, full.find(',')).c_str());
    return name.empty() ? PlayerName::clean(account->pw_name) : name;
}

TEST(PlayerName, OfferedNameIsTheLastEnteredElseTheAccounts)
{
    std::string top = std::string(getenv("HOME")) + "/names";
    ScopedEnv xdg("XDG_DATA_HOME", top.c_str());
    EXPECT_EQ(PlayerName::initial(), account_name());
    PlayerName::remember(("  " + repeat(ZHE, 3) + "\t ").c_str());
    EXPECT_EQ(PlayerName::initial(), "  " + repeat(ZHE, 3));
    PlayerName::remember("   ");   // an empty name is not kept
    EXPECT_EQ(PlayerName::initial(), "  " + repeat(ZHE, 3));

    // A name file that cannot be read as one gives the account's name, never a crash.
    std::string file = PlayerData::path("name");
    struct Broken {
        const char *what;
        void (*make)(const std::string &path);
    } broken[] = {
        {"binary", [](const std::string &p) {
             FILE *f = fopen(p.c_str(), "wb");
             fwrite("\x01\x02\xFF\x00\x7F", 1, 5, f);
             fclose(f);
         }},
        {"a directory", [](const std::string &p) { mkdir(p.c_str(), 0700); }},
        {"a link", [](const std::string &p) {
             FILE *f = fopen((p + "-target").c_str(), "w");
             fputs("Linked", f);
             fclose(f);
             if (symlink((p + "-target").c_str(), p.c_str()) != 0)
                 ADD_FAILURE() << "symlink";
         }},
        {"huge", [](const std::string &p) {
             FILE *f = fopen(p.c_str(), "w");
             std::string block(PlayerData::MAX_BYTES + 10, 'n');
             fwrite(block.data(), 1, block.size(), f);
             fclose(f);
         }},
    };
    for (const Broken &b : broken) {
        SCOPED_TRACE(b.what);
        unlink(file.c_str());
        rmdir(file.c_str());
        b.make(file);
        EXPECT_EQ(PlayerName::initial(), account_name());
    }
    unlink(file.c_str());
    rmdir(file.c_str());
}

TEST(PlayerName, TableIsThePlayersOwnWhereTheSystemDirectoryIsMissing)
{
    std::string home = getenv("HOME");
    std::string blocker = home + "/blocker-file";
    FILE *f = fopen(blocker.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fclose(f);
    std::string present = std::string(TEST_BINARY_DIR) + "/glimpwatch.scores";   // its directory exists
    std::string absent = home + "/no/such/dir/glimpwatch.scores";
    struct Case {
        const char *what;
        const char *xdg_data_home;   // null: unset
        std::string system, expected;
    } cases[] = {
        {"system directory there", "/tmp/xdg", present, present},
        {"XDG_DATA_HOME set", "/tmp/xdg", absent, "/tmp/xdg/glimpwatch/glimpwatch.scores"},
        {"XDG_DATA_HOME unset", nullptr, absent, home + "/.local/share/glimpwatch/glimpwatch.scores"},
        {"XDG_DATA_HOME relative", "data", absent, home + "/.local/share/glimpwatch/glimpwatch.scores"},
        {"unwritable", blocker.c_str(), absent, blocker + "/glimpwatch/glimpwatch.scores"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        ScopedEnv xdg("XDG_DATA_HOME", k.xdg_data_home);
        EXPECT_EQ(HighScores::table_path(k.system.c_str()), k.expected);
    }
}

TEST(PlayerName, ScoresSavedInThePlayersDirectoryAreReadByTheNextRun)
{
    std::string top = std::string(getenv("HOME")) + "/own-table";
    ScopedEnv xdg("XDG_DATA_HOME", top.c_str());
    std::string system = top + "/no/such/dir/glimpwatch.scores";
    HighScores::set_system_path_for_tests(system.c_str());
    HighScores::read();
    std::string own = top + "/glimpwatch/glimpwatch.scores";
    EXPECT_EQ(std::string(HighScores::path()), own);
    HighScores::insert("Ann", 3, 40);
    HighScores::write();
    // The player's own files: no other account may write them, nor hold their lock.
    struct stat st;
    ASSERT_EQ(stat((top + "/glimpwatch").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    for (const std::string &file : {own, own + ".lock"}) {
        SCOPED_TRACE(file);
        ASSERT_EQ(stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    HighScores::reset_for_tests();
    HighScores::set_system_path_for_tests(system.c_str());
    HighScores::read();
    EXPECT_STREQ(HighScores::entry(0).name, "Ann");
    EXPECT_EQ(HighScores::entry(0).score, 40);
    EXPECT_NE(access(system.c_str(), F_OK), 0) << "the missing directory is not made";
}

// A player whose data directory cannot be made still plays: the scores stay for the run,
// and one line says why they are not kept, not one per save.
TEST(PlayerName, UnmakeableDataDirectoryKeepsScoresForTheRunAndSaysSoOnce)
{
    std::string blocker = std::string(getenv("HOME")) + "/blocker-for-table";
    FILE *f = fopen(blocker.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fclose(f);
    ScopedEnv xdg("XDG_DATA_HOME", blocker.c_str());
    std::string system = blocker + "-missing/glimpwatch.scores";
    HighScores::set_system_path_for_tests(system.c_str());
    HighScores::read();
    testing::internal::CaptureStderr();
    HighScores::insert("Ann", 2, 30);
    HighScores::write();
    HighScores::insert("Bo", 3, 50);
    HighScores::write();
    HighScores::write_at_quit();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "glimpwatch: score not saved: cannot make " + blocker + "/glimpwatch\n");
    EXPECT_STREQ(HighScores::entry(0).name, "Bo");
    EXPECT_STREQ(HighScores::entry(1).name, "Ann");
}

} // namespace
