// Saving through the score helper: the table's files are used only as the install made
// them, a refused result waits in the game for the next save, games saving at once lose
// nothing, and a helper killed at any moment leaves a whole table.
#include "scores/high_scores.h"
#include "scores/high_scores_testing.h"
#include "scores/score_file.h"
#include "scores/score_helper.h"
#include "scores/shared_table.h"
#include "scores/shared_table_testing.h"
#include "tests/unit/score_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <set>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace ScoreFiles;

class ScoreHelperSavingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HighScores::reset_for_tests();
        dir = make_temp_dir("helper");
        ASSERT_FALSE(dir.empty());
        table = dir + "/glimpwatch.scores";
        lock = ScoreFile::lock_path(table.c_str());
        spare = ScoreFile::spare_path(table.c_str());
        // As the install makes them: the table, its lock and the spare.
        std::string seeds;
        for (int i = 0; i < 10; i++)
            seeds += line("Seed" + std::to_string(i), 1, 100 - i);
        write_text(table, seeds, 0664);
        write_text(lock, "", 0664);
        write_text(spare, "", 0664);
        SharedTable::set_helper_for_tests(SCORE_HELPER_FOR_TESTS, table.c_str());
    }

    void TearDown() override
    {
        SharedTable::set_helper_for_tests(nullptr);
        HighScores::reset_for_tests();
        remove_dir(dir);
    }

    std::string dir, table, lock, spare;
};

TEST_F(ScoreHelperSavingTest, OnlyTheInstallsOwnFilesAreUsedAndARefusalLeavesTheTableByteForByte)
{
    write_text(dir + "/target", "planted\n");
    struct Case {
        const char *what;
        std::string name;   // the file put aside and replaced
        const char *by;     // "link", "dangling link", "directory" or "nothing"
    } cases[] = {
        {"table replaced by a link", table, "link"},
        {"table replaced by a directory", table, "directory"},
        {"table missing", table, "nothing"},
        {"lock replaced by a link", lock, "link"},
        {"lock replaced by a dangling link", lock, "dangling link"},
        {"lock replaced by a directory", lock, "directory"},
        {"lock missing", lock, "nothing"},
        {"spare replaced by a link", spare, "link"},
        {"spare replaced by a directory", spare, "directory"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string before = read_text(table);
        ASSERT_EQ(rename(c.name.c_str(), (dir + "/aside").c_str()), 0);
        int made = 0;
        if (strcmp(c.by, "link") == 0)
            made = symlink((dir + "/target").c_str(), c.name.c_str());
        else if (strcmp(c.by, "dangling link") == 0)
            made = symlink((dir + "/made").c_str(), c.name.c_str());
        else if (strcmp(c.by, "directory") == 0)
            made = mkdir(c.name.c_str(), 0775);
        ASSERT_EQ(made, 0);
        std::set<std::string> files = names_in(dir);

        ScoreHelper::Request add;
        add.add = true;
        add.name = "Intruder";
        add.level = 9;
        add.score = 9999;
        std::string printed, error;
        EXPECT_FALSE(ScoreHelper::run(add, table.c_str(), 100, printed, error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos);
        EXPECT_EQ(read_text(dir + "/target"), "planted\n");
        EXPECT_EQ(names_in(dir), files);
        if (strcmp(c.by, "directory") == 0) {
            EXPECT_TRUE(names_in(c.name).empty());
        }

        ASSERT_EQ(system(("rm -rf '" + c.name + "'").c_str()), 0);
        ASSERT_EQ(rename((dir + "/aside").c_str(), c.name.c_str()), 0);
        EXPECT_EQ(read_text(table), before);
    }

    // The lock held by a process that hangs: refused after the wait, nothing written.
    std::string before = read_text(table);
    pid_t holder = hold_lock(lock);
    ASSERT_GT(holder, 0);
    ScoreHelper::Request add;
    add.add = true;
    add.name = "Impatient";
    add.level = 1;
    add.score = 500;
    std::string printed, error;
    EXPECT_FALSE(ScoreHelper::run(add, table.c_str(), 200, printed, error));
    EXPECT_NE(error.find("locked"), std::string::npos) << error;
    EXPECT_EQ(read_text(table), before);
    // Once its holder is dead the lock is free at once.
    kill_and_reap(holder);
    EXPECT_TRUE(ScoreHelper::run(add, table.c_str(), 200, printed, error)) << error;
    EXPECT_EQ(printed.substr(0, printed.find('\n') + 1), line("Impatient", 1, 500));
    EXPECT_EQ(printed, read_text(table));
}

TEST_F(ScoreHelperSavingTest, AResultTheHelperCannotSaveStaysInTheGameForTheNextSave)
{
    HighScores::read();
    EXPECT_EQ(std::string(HighScores::entry(0).name), "Seed0");
    std::string before = read_text(table);

    // The helper refuses: its lock is not the install's.
    ASSERT_EQ(rename(lock.c_str(), (dir + "/aside").c_str()), 0);
    ASSERT_EQ(symlink("/nonexistent", lock.c_str()), 0);
    HighScores::insert("Later", 4, 150);
    HighScores::write();
    EXPECT_EQ(read_text(table), before);
    EXPECT_EQ(std::string(HighScores::entry(0).name), "Later") << "the game forgot its own result";

    // Mended: the next save brings it in, and a save after that does not add it again.
    ASSERT_EQ(unlink(lock.c_str()), 0);
    ASSERT_EQ(rename((dir + "/aside").c_str(), lock.c_str()), 0);
    HighScores::write();
    HighScores::write();
    std::string text = read_text(table);
    EXPECT_EQ(text.substr(0, text.find('\n') + 1), line("Later", 4, 150));
    EXPECT_EQ(text.find("Later", 1), std::string::npos) << "entered twice:\n" << text;
    EXPECT_EQ(names_in(dir), (std::set<std::string>{"glimpwatch.scores", "glimpwatch.scores.lock", "glimpwatch.scores.new"}));
}

TEST_F(ScoreHelperSavingTest, EightGamesSavingAtOnceThroughTheHelperLoseNothing)
{
    constexpr int GAMES = 8, SAVES = 10;
    // Distinct scores dealt at random, so that the best ones come from any game at any time.
    std::vector<int> scores(GAMES * SAVES);
    for (size_t i = 0; i < scores.size(); i++)
        scores[i] = 1000 + static_cast<int>(i);
    std::shuffle(scores.begin(), scores.end(), std::mt19937(4242));

    int stop[2];
    ASSERT_EQ(pipe(stop), 0);
    fflush(nullptr);
    pid_t reader = fork();
    if (reader == 0) {
        close(stop[1]);
        int partial = 0;
        char c;
        fcntl(stop[0], F_SETFL, O_NONBLOCK);
        // Under the shared lock, as the helper reads the table: the old table's file is the
        // next save's spare, so a reader that held it open without the lock across a save
        // could see the one after rewrite it.
        int held = open(lock.c_str(), O_RDONLY);
        while (read(stop[0], &c, 1) < 0) {
            flock(held, LOCK_SH);
            partial += !well_formed(read_text(table));
            flock(held, LOCK_UN);
        }
        _exit(partial == 0 ? 0 : 1);
    }
    close(stop[0]);
    std::vector<pid_t> games;
    for (int g = 0; g < GAMES; g++) {
        pid_t pid = fork();
        if (pid == 0) {
            HighScores::read();
            for (int s = 0; s < SAVES; s++) {
                std::string name = "g" + std::to_string(g) + "-" + std::to_string(s);
                HighScores::insert(name.c_str(), g + 1, scores[static_cast<size_t>(g * SAVES + s)]);
                HighScores::write();
            }
            _exit(0);
        }
        games.push_back(pid);
    }
    int failed = 0;
    for (pid_t pid : games) {
        int status = 0;
        waitpid(pid, &status, 0);
        failed += !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ASSERT_EQ(write(stop[1], "x", 1), 1);
    close(stop[1]);
    int status = 0;
    waitpid(reader, &status, 0);
    EXPECT_EQ(failed, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a reader found a part table";

    std::string want;
    for (int rank = 0; rank < 10; rank++) {
        int score = 1000 + GAMES * SAVES - 1 - rank;
        size_t i = static_cast<size_t>(std::find(scores.begin(), scores.end(), score) - scores.begin());
        want += line("g" + std::to_string(i / SAVES) + "-" + std::to_string(i % SAVES), static_cast<int>(i / SAVES) + 1,
                     score);
    }
    EXPECT_EQ(read_text(table), want);
    EXPECT_EQ(names_in(dir), (std::set<std::string>{"glimpwatch.scores", "glimpwatch.scores.lock", "glimpwatch.scores.new"}));
}

TEST_F(ScoreHelperSavingTest, AHelperKilledWhileSavingLeavesTheOldTableOrTheNewOne)
{
    constexpr int KILLS = 60;
    // A helper adding the result k, its output thrown away.
    auto start_helper = [&](int k) {
        std::string name = "k" + std::to_string(k), score = std::to_string(200 + k);
        fflush(nullptr);
        pid_t helper = fork();
        if (helper == 0) {
            int null = open("/dev/null", O_RDWR);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            execl(SCORE_HELPER_FOR_TESTS, SCORE_HELPER_FOR_TESTS, table.c_str(), "--add", name.c_str(), "1",
                  score.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        return helper;
    };
    // How long a whole save takes here and now (a sanitizer build, a loaded machine): the
    // kills fall anywhere in twice that, so that some come before the save and some after.
    auto started = std::chrono::steady_clock::now();
    pid_t timed = start_helper(-1);
    waitpid(timed, nullptr, 0);
    long save_us = static_cast<long>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started).count());
    std::mt19937 random(99);
    int broken = 0, changed = 0;
    std::string before = read_text(table);
    for (int k = 0; k < KILLS; k++) {
        pid_t helper = start_helper(k);
        usleep(static_cast<useconds_t>(random() % static_cast<unsigned long>(2 * save_us + 1)));
        kill_and_reap(helper);
        std::string after = read_text(table);
        broken += !well_formed(after);
        changed += after != before;
        before = after;
    }
    EXPECT_EQ(broken, 0);
    EXPECT_GT(changed, 0) << "no helper got as far as saving: the test saw nothing";
    // No lock of a killed helper holds up the next one, and no file was left behind.
    ScoreHelper::Request add;
    add.add = true;
    add.name = "After";
    add.level = 2;
    add.score = 5000;
    std::string printed, error;
    EXPECT_TRUE(ScoreHelper::run(add, table.c_str(), 100, printed, error)) << error;
    EXPECT_EQ(printed.substr(0, printed.find('\n') + 1), line("After", 2, 5000));
    EXPECT_EQ(names_in(dir), (std::set<std::string>{"glimpwatch.scores", "glimpwatch.scores.lock", "glimpwatch.scores.new"}));
    printf("[ figures  ] %d helpers killed within %ld us (twice a whole save): %d left a broken table, %d tables "
           "changed\n",
           KILLS, 2 * save_us, broken, changed);
}

} // namespace
