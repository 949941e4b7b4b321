// Recordings: the file's text read back as written, damaged and foreign files refused with
// their reason, and the player's directory keeping the best and the last games.
#include "base/random.h"
#include "recording/recording.h"
#include "recording/recordings.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

Recording sample()
{
    Recording r;
    r.seed = 4294967295u;
    r.size = 400;
    r.level = 3;
    r.ending = ENDED_OVER;
    r.ticks = 120;
    r.score = -17;
    r.final_level = 4;
    r.name = "Zoë Ålander";
    r.bucket_held = true;
    r.events = {{0, INPUT_PRESS, 10, 20},    {0, INPUT_RELEASE, -5, 900}, {7, INPUT_LEAVE, 0, 0},
                {7, INPUT_ENTER, 0, 0},      {9, INPUT_PAUSE, 0, 0},      {9, INPUT_WARP, 12, 0},
                {120, INPUT_PRESS, INT_MIN, INT_MAX}};
    return r;
}

void expect_same(const Recording &a, const Recording &b)
{
    EXPECT_EQ(a.seed, b.seed);
    EXPECT_EQ(a.size, b.size);
    EXPECT_EQ(a.level, b.level);
    EXPECT_EQ(a.ending, b.ending);
    EXPECT_EQ(a.ticks, b.ticks);
    EXPECT_EQ(a.score, b.score);
    EXPECT_EQ(a.final_level, b.final_level);
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.bucket_held, b.bucket_held);
    ASSERT_EQ(a.events.size(), b.events.size());
    for (size_t i = 0; i < a.events.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(a.events[i].tick, b.events[i].tick);
        EXPECT_EQ(a.events[i].input, b.events[i].input);
        EXPECT_EQ(a.events[i].x, b.events[i].x);
        EXPECT_EQ(a.events[i].y, b.events[i].y);
    }
}

TEST(RecordingText, WrittenRecordingReadsBackTheSameWholeAndByItsHeader)
{
    Recording r = sample();
    std::string text = RecordingText::write(r);
    EXPECT_EQ(text.substr(0, text.find('\n') + 1), "glimpwatch-recording 1\n");
    Recording back;
    std::string reason;
    ASSERT_TRUE(RecordingText::parse(text, back, &reason)) << reason << "\n" << text;
    expect_same(r, back);
    Recording header;
    ASSERT_TRUE(RecordingText::parse_header(text.substr(0, 150), header, &reason)) << reason;
    r.events.clear();
    expect_same(r, header);
    for (int ending : {ENDED_LEFT, ENDED_QUIT}) {
        r.ending = ending;
        r.name.clear();
        r.bucket_held = ending == ENDED_QUIT;
        ASSERT_TRUE(RecordingText::parse(RecordingText::write(r), back, &reason)) << reason;
        expect_same(r, back);
    }
}

// Every way a file can fail to be a recording this game plays, and what the player is told.
TEST(RecordingText, DamagedAndForeignFilesAreRefusedWithTheirReason)
{
    const std::string good = RecordingText::write(sample());
    const std::string head = "glimpwatch-recording 1\nseed 5\nsize 400\nlevel 1\nresult over 10 0 1\n";
    struct Case {
        std::string text;
        std::string reason;
    } cases[] = {
        {"", "empty, not a Glimpwatch recording"},
        {"High Scores:\n", "not a Glimpwatch recording"},
        {"\x89PNG\r\n\x1a\n", "not a Glimpwatch recording"},
        {"glimpwatch-recordings 1\n", "not a Glimpwatch recording"},
        {"glimpwatch-recording one\n", "not a Glimpwatch recording"},
        {"glimpwatch-recording 2\nseed 5\n", "recorded by another version of Glimpwatch (recording version 2; this "
                                             "one plays version 1)"},
        {"glimpwatch-recording 0\n", "recorded by another version of Glimpwatch (recording version 0; this one "
                                     "plays version 1)"},
        {good.substr(0, good.size() - 4), "cut short"},               // no end line
        {good.substr(0, good.size() - 1), "cut short"},               // the end line without its newline
        {good.substr(0, good.find("0 release") + 5), "cut short"},   // in the middle of a line
        {"glimpwatch-recording 1\nseed 5\n", "cut short"},
        {"glimpwatch-recording 1\nsize 400\n", "damaged: line 2: expected the seed line"},
        {"glimpwatch-recording 1\nseed 4294967296\nsize 400\n", "damaged: line 2: not a seed"},
        {"glimpwatch-recording 1\nseed -1\n", "damaged: line 2: not a seed"},
        {"glimpwatch-recording 1\nseed 5\nsize 0\n", "damaged: line 3: not a field size"},
        {"glimpwatch-recording 1\nseed 5\nsize 400\nlevel 0\n", "damaged: line 4: not a level"},
        {"glimpwatch-recording 1\nseed 5\nsize 400\nlevel 1\nresult won 1 2 3\n", "damaged: line 5: not a result"},
        {"glimpwatch-recording 1\nseed 5\nsize 400\nlevel 1\nresult over -1 2 3\n", "damaged: line 5: not a result"},
        {"glimpwatch-recording 1\nseed 5\nsize 400\nlevel 1\nresult over 1 2\n",
         "damaged: line 5: expected the result line"},
        {head + "name \x01gremlin\nend\n", "damaged: line 6: not a name"},
        {head + "name 123456789012345678901\nend\n", "damaged: line 6: not a name"},
        {head + "3 press 1\nend\n", "damaged: line 6: not an event"},
        {head + "3 jump 1 2\nend\n", "damaged: line 6: not an event"},
        {head + "3 press 1 2 3\nend\n", "damaged: line 6: not an event"},
        {head + "3 press 1 99999999999\nend\n", "damaged: line 6: not an event"},
        {head + "3  press 1 2\nend\n", "damaged: line 6: not an event"},
        {head + "3 press 1 2\r\nend\n", "damaged: line 6: not an event"},
        {head + "-1 leave\nend\n", "damaged: line 6: not an event"},
        {head + std::string("3 le\0ve\nend\n", 12), "damaged: line 6: not an event"},
        {head + "11 leave\nend\n", "damaged: line 6: an event at tick 11, after the game's last tick 10"},
        {head + "5 press 1 2\n4 release 1 2\nend\n",
         "events out of order: line 7 comes at tick 4, after tick 5"},
        {head + "end\nend\n", "damaged: line 7: text after the end line"},
        {head + "end\n\n", "damaged: line 7: text after the end line"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.text);
        Recording r;
        std::string reason;
        EXPECT_FALSE(RecordingText::parse(k.text, r, &reason));
        EXPECT_EQ(reason, k.reason);
    }
    Recording r;
    std::string reason;
    EXPECT_TRUE(RecordingText::parse(head + "10 press 1 2\nend\n", r, &reason)) << reason;
}

class RecordingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        data = std::string(getenv("XDG_DATA_HOME"));
        ASSERT_EQ(system(("rm -rf '" + data + "/glimpwatch/replays'").c_str()), 0);
    }

    static Recording scored(int score)
    {
        Recording r;
        r.seed = 1;
        r.size = 400;
        r.level = 1;
        r.ticks = 5;
        r.score = score;
        r.final_level = 1;
        return r;
    }

    static std::set<std::string> names()
    {
        std::set<std::string> out;
        for (const RecordingFile &f : Recordings::list())
            out.insert(f.path.substr(f.path.rfind('/') + 1));
        return out;
    }

    std::string data;
};

TEST_F(RecordingsTest, DirectoryKeepsTheTwentyBestAndTheTwentyLastAndNothingOfTheirOwnNames)
{
    // A file the player put there is no game of ours to remove.
    ASSERT_TRUE(Recordings::save(scored(0), 0, nullptr, nullptr));
    std::string mine = Recordings::dir() + "/favourite.replay";
    std::ofstream(mine) << RecordingText::write(scored(-5));
    // Fifty games, a day apart, their scores going up and down: game i scores (i * 37) % 50.
    const std::time_t day = 24 * 3600;
    std::string path, reason;
    for (int i = 1; i <= 50; i++)
        ASSERT_TRUE(Recordings::save(scored(i * 37 % 50 * 10), i * day, &path, &reason)) << reason;
    struct stat info;
    ASSERT_EQ(stat(Recordings::dir().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u) << "the player's games are private";
    std::set<std::string> kept = names();
    EXPECT_TRUE(kept.count("favourite.replay"));
    std::set<int> scores_kept;
    int last_kept = 0;
    for (int i = 1; i <= 50; i++) {
        char name[64];
        std::time_t t = i * day;
        std::tm local{};
        localtime_r(&t, &local);
        strftime(name, sizeof name, "%Y-%m-%d_%H-%M-%S.replay", &local);
        bool last = i > 30, best = i * 37 % 50 >= 30;
        SCOPED_TRACE(name);
        EXPECT_EQ(kept.count(name) == 1, last || best);
        last_kept += last;
    }
    EXPECT_EQ(last_kept, 20);
    EXPECT_EQ(kept.size(), 20u + 20u - 8u + 1u) << "eight of the last twenty are among the best";
}

TEST_F(RecordingsTest, GamesOfTheSameSecondEachGetAFileAndANameIsAddedInOneStep)
{
    std::string first, second, reason;
    ASSERT_TRUE(Recordings::save(scored(10), 1000, &first, &reason)) << reason;
    ASSERT_TRUE(Recordings::save(scored(20), 1000, &second, &reason)) << reason;
    EXPECT_NE(first, second);
    EXPECT_EQ(second.substr(second.size() - 9), "_2.replay");
    EXPECT_GT(second, first) << "the later game sorts after the earlier one";
    Recording named = scored(20);
    named.name = "Ada";
    ASSERT_TRUE(Recordings::rewrite(second, named, &reason)) << reason;
    Recording back;
    ASSERT_TRUE(Recordings::read(second.c_str(), back, &reason)) << reason;
    EXPECT_EQ(back.name, "Ada");
    EXPECT_EQ(names().size(), 2u) << "no file is left over from the rewrite";
    // Newest first.
    std::vector<RecordingFile> listed = Recordings::list();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].path, second);
}

TEST(RandomTest, OwnStreamDrawsWhatTheStandardGeneratorDrawsForTheSameSeed)
{
    for (unsigned seed : {0u, 1u, 2u, 7u, 127773u, 2147483647u, 2147483648u, 3000000000u, 4294967295u}) {
        SCOPED_TRACE(seed);
        srand(seed);
        std::vector<int> standard;
        for (int i = 0; i < 2000; i++)
            standard.push_back(rand());
        Random::seed(seed);
        srand(seed + 1); // the shared generator moved on, reseeded elsewhere: no matter
        rand();
        for (int i = 0; i < 2000; i++)
            ASSERT_EQ(Random::draw(), standard[static_cast<size_t>(i)]) << "draw " << i;
    }
    Random::use_standard();
    srand(3);
    int expected = rand();
    srand(3);
    EXPECT_EQ(Random::draw(), expected) << "back to the standard generator";
}

} // namespace
