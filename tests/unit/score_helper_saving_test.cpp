// Saving through the score helper: only the install's directory and plain versions are used,
// a helper stopped at any moment holds up no other save, a refused result waits in the game
// for the next save, a result handed over again is entered once, games saving at once lose
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

// The table without the ids line the helper keeps after it: ten lines as the game writes them.
std::string entries_of(const std::string &text)
{
    size_t ids = text.find("\n#ids ");
    return ids == std::string::npos ? text : text.substr(0, ids + 1);
}

class ScoreHelperSavingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HighScores::reset_for_tests();
        dir = make_temp_dir("helper");
        ASSERT_FALSE(dir.empty());
        chmod(dir.c_str(), 0770);   // as the install makes it: closed to the players
        table = dir + "/glimpwatch.scores";
        // The table of an earlier install, which counts as the first version.
        std::string seeds;
        for (int i = 0; i < 10; i++)
            seeds += line("Seed" + std::to_string(i), 1, 100 - i);
        write_text(table, seeds, 0664);
        SharedTable::set_helper_for_tests(SCORE_HELPER_FOR_TESTS, table.c_str());
    }

    void TearDown() override
    {
        SharedTable::set_helper_for_tests(nullptr);
        HighScores::reset_for_tests();
        remove_dir(dir);
    }

    // The table as it stands: its newest version's ten lines.
    std::string current() const
    {
        std::string bytes;
        EXPECT_TRUE(ScoreFile::read(table.c_str(), 0, bytes, nullptr, nullptr, ScoreFile::Files::INSTALLED));
        return entries_of(bytes);
    }

    // What the directory holds after saves: one version of the table, nothing else.
    void expect_only_the_newest_version() const
    {
        std::set<std::string> names = names_in(dir);
        ASSERT_EQ(names.size(), 1u) << testing::PrintToString(names);
        EXPECT_EQ(names.begin()->compare(0, 18, "glimpwatch.scores."), 0) << *names.begin();
    }

    static ScoreHelper::Request result(const char *name, int level, int score)
    {
        ScoreHelper::Request r;
        r.add = true;
        r.name = name;
        r.level = level;
        r.score = score;
        return r;
    }

    std::string dir, table;
};

// A helper run as a process, adding a result with args after the table's path; its output
// goes to /dev/null.
pid_t start_helper(const std::string &table, const std::vector<std::string> &args)
{
    fflush(nullptr);
    pid_t helper = fork();
    if (helper == 0) {
        int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        std::vector<const char *> argv{SCORE_HELPER_FOR_TESTS, table.c_str()};
        for (const std::string &a : args)
            argv.push_back(a.c_str());
        argv.push_back(nullptr);
        execv(SCORE_HELPER_FOR_TESTS, const_cast<char *const *>(argv.data()));
        _exit(127);
    }
    return helper;
}

long whole_save_us(const std::string &table)
{
    auto started = std::chrono::steady_clock::now();
    pid_t timed = start_helper(table, {"--add", "Timed", "1", "0"});
    waitpid(timed, nullptr, 0);
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started).count());
}

TEST_F(ScoreHelperSavingTest, OnlyTheInstallsOwnDirectoryAndPlainVersionsAreUsedAndARefusalChangesNothing)
{
    ScoreHelper::Request add = result("Intruder", 9, 9999);
    std::string printed, error;
    ASSERT_TRUE(ScoreHelper::run(add, table.c_str(), printed, error)) << error;
    std::set<std::string> versions = names_in(dir);
    ASSERT_EQ(versions.size(), 1u);
    const std::string newest = dir + "/" + *versions.begin();
    std::string outside = make_temp_dir("helper-outside");
    write_text(outside + "/target", "planted\n");
    struct Case {
        const char *what;
        const char *by;   // what takes the newest version's place: "link", "dangling link", "directory", "FIFO"
    } cases[] = {
        {"the newest version replaced by a link", "link"},
        {"the newest version replaced by a dangling link", "dangling link"},
        {"the newest version replaced by a directory", "directory"},
        {"the newest version replaced by a FIFO", "FIFO"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(rename(newest.c_str(), (outside + "/aside").c_str()), 0);
        int made = 0;
        if (strcmp(c.by, "link") == 0)
            made = symlink((outside + "/target").c_str(), newest.c_str());
        else if (strcmp(c.by, "dangling link") == 0)
            made = symlink((outside + "/made").c_str(), newest.c_str());
        else if (strcmp(c.by, "directory") == 0)
            made = mkdir(newest.c_str(), 0775);
        else
            made = mkfifo(newest.c_str(), 0664);
        ASSERT_EQ(made, 0);
        std::set<std::string> files = names_in(dir);
        EXPECT_FALSE(ScoreHelper::run(result("Sneak", 2, 99999), table.c_str(), printed, error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos);
        EXPECT_EQ(read_text(outside + "/target"), "planted\n");
        EXPECT_EQ(access((outside + "/made").c_str(), F_OK), -1);
        EXPECT_EQ(names_in(dir), files);
        ASSERT_EQ(system(("rm -rf '" + newest + "'").c_str()), 0);
        ASSERT_EQ(rename((outside + "/aside").c_str(), newest.c_str()), 0);
    }
    // The directory itself a link: refused, nothing written where it leads.
    std::string real = dir + "-real";
    ASSERT_EQ(rename(dir.c_str(), real.c_str()), 0);
    ASSERT_EQ(symlink(real.c_str(), dir.c_str()), 0);
    std::set<std::string> files = names_in(real);
    EXPECT_FALSE(ScoreHelper::run(result("Sneak", 2, 99999), table.c_str(), printed, error));
    EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;
    EXPECT_EQ(names_in(real), files);
    ASSERT_EQ(unlink(dir.c_str()), 0);
    ASSERT_EQ(rename(real.c_str(), dir.c_str()), 0);
    remove_dir(outside);

    EXPECT_TRUE(ScoreHelper::run(result("After", 1, 50000), table.c_str(), printed, error)) << error;
    EXPECT_EQ(printed.substr(0, printed.find('\n') + 1), line("After", 1, 50000));
    EXPECT_EQ(printed, current());
    expect_only_the_newest_version();
}

// A player could stop their own helper while it held the table's lock, and every other
// game's save then failed ("locked by another game"). Helpers stopped at every moment of a
// save, one after the other, never keep the next save from going through at once; once
// they go on, each result is in the table once.
TEST_F(ScoreHelperSavingTest, AHelperStoppedAtAnyMomentHoldsUpNoOtherSave)
{
    constexpr int STOPS = 30;
    long save_us = whole_save_us(table);
    std::mt19937 random(7);
    std::vector<pid_t> stopped;
    std::vector<ScoreFiles::Entry> all;
    long slowest_ms = 0;
    for (int k = 0; k < STOPS; k++) {
        std::string name = "s" + std::to_string(k);
        pid_t helper = start_helper(table, {"--add", name, "1", std::to_string(1000 + 2 * k)});
        all.push_back({name, 1, 1000 + 2 * k});
        usleep(static_cast<useconds_t>(random() % static_cast<unsigned long>(2 * save_us + 1)));
        kill(helper, SIGSTOP);
        stopped.push_back(helper);

        std::string other = "o" + std::to_string(k), printed, error;
        auto started = std::chrono::steady_clock::now();
        bool saved = ScoreHelper::run(result(other.c_str(), 2, 1001 + 2 * k), table.c_str(), printed, error);
        long ms = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count());
        slowest_ms = std::max(slowest_ms, ms);
        EXPECT_TRUE(saved) << "behind a helper stopped after " << k << ": " << error;
        all.push_back({other, 2, 1001 + 2 * k});
    }
    for (pid_t helper : stopped) {
        kill(helper, SIGCONT);
        int status = 0;
        waitpid(helper, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
    std::stable_sort(all.begin(), all.end(), [](const Entry &a, const Entry &b) { return a.score > b.score; });
    all.resize(10);
    EXPECT_EQ(current(), table_text(all));
    EXPECT_LT(slowest_ms, 1000) << "a save waited on a stopped helper";
    expect_only_the_newest_version();
    printf("[ figures  ] %d helpers stopped within %ld us (twice a whole save): the slowest save beside them took "
           "%ld ms\n",
           STOPS, 2 * save_us, slowest_ms);
}

TEST_F(ScoreHelperSavingTest, AResultTheHelperCannotSaveStaysInTheGameForTheNextSave)
{
    HighScores::read();
    EXPECT_EQ(std::string(HighScores::entry(0).name), "Seed0");
    std::string before = current();

    // The helper refuses: the table is not a plain file.
    ASSERT_EQ(rename(table.c_str(), (dir + "-aside").c_str()), 0);
    ASSERT_EQ(symlink("/nonexistent", table.c_str()), 0);
    HighScores::insert("Later", 4, 150);
    HighScores::write();
    EXPECT_EQ(names_in(dir), std::set<std::string>{"glimpwatch.scores"});
    EXPECT_EQ(std::string(HighScores::entry(0).name), "Later") << "the game forgot its own result";

    // Mended: the next save brings it in, and a save after that does not add it again.
    ASSERT_EQ(unlink(table.c_str()), 0);
    ASSERT_EQ(rename((dir + "-aside").c_str(), table.c_str()), 0);
    EXPECT_EQ(current(), before);
    HighScores::write();
    HighScores::write();
    std::string text = current();
    EXPECT_EQ(text.substr(0, text.find('\n') + 1), line("Later", 4, 150));
    EXPECT_EQ(text.find("Later", 1), std::string::npos) << "entered twice:\n" << text;
    expect_only_the_newest_version();
}

// A helper that saved and was then killed by its game (no answer within the game's time),
// or whose caller could not read its answer: the result is handed over again with the same
// id, and the table holds it once.
TEST_F(ScoreHelperSavingTest, AResultSavedBeforeItsAnswerWasLostIsEnteredOnce)
{
    HighScores::read();
    // A helper that saves, then never ends: the game gives up on it and kills it.
    SharedTable::set_helper_for_tests(SCORE_HELPER_FOR_TESTS, ("stall:" + table).c_str(), 300);
    HighScores::insert("Twice", 2, 4321);
    testing::internal::CaptureStderr();
    HighScores::write();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "glimpwatch: score not saved: the score helper did not answer\n");
    EXPECT_EQ(current().substr(0, current().find('\n') + 1), line("Twice", 2, 4321)) << "the stalled helper did not save";

    SharedTable::set_helper_for_tests(SCORE_HELPER_FOR_TESTS, table.c_str());
    HighScores::write();
    char text[HIGH_SCORE_DIALOG_BYTES];
    HighScores::format_dialog(text, sizeof text);
    EXPECT_EQ(strstr(text, "Not saved"), nullptr) << text;
    std::string now = current();
    EXPECT_EQ(now.find("Twice", 1), std::string::npos) << "entered twice:\n" << now;
    EXPECT_EQ(std::string(HighScores::entry(1).name), "Seed0");
}

// The helper's status says whether the result was saved, whatever becomes of its printing:
// a caller that closed standard output (opened read-only for a set-id program), stopped
// reading it, or closed everything. Run again with the same id, the result is not entered
// twice.
TEST_F(ScoreHelperSavingTest, TheStatusSaysTheResultWasSavedWhateverBecomesOfThePrinting)
{
    struct Case {
        const char *what;
        const char *stdout_is;   // "closed", "read-only" or "a pipe nobody reads"
        const char *stderr_is;   // "open" (on /dev/null), "closed" or "read-only"
        bool stdin_closed;
    } cases[] = {
        {"standard output closed", "closed", "open", false},
        {"standard output open for reading only", "read-only", "open", false},
        {"standard output a pipe nobody reads", "a pipe nobody reads", "open", false},
        {"standard output and error open for reading only", "read-only", "read-only", false},
        {"every standard descriptor closed", "closed", "closed", true},
    };
    int score = 5000;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string name = "r" + std::to_string(score), id = HighScores::new_result_id();
        for (int attempt = 0; attempt < 2; attempt++) {
            int pipe_fds[2];
            ASSERT_EQ(pipe(pipe_fds), 0);
            close(pipe_fds[0]);   // no reader: a write would raise SIGPIPE
            fflush(nullptr);
            pid_t helper = fork();
            if (helper == 0) {
                if (c.stdin_closed)
                    close(STDIN_FILENO);
                if (strcmp(c.stdout_is, "closed") == 0)
                    close(STDOUT_FILENO);
                else if (strcmp(c.stdout_is, "read-only") == 0)
                    dup2(open("/dev/null", O_RDONLY), STDOUT_FILENO);
                else
                    dup2(pipe_fds[1], STDOUT_FILENO);
                if (strcmp(c.stderr_is, "closed") == 0)
                    close(STDERR_FILENO);
                else
                    dup2(open("/dev/null", strcmp(c.stderr_is, "read-only") == 0 ? O_RDONLY : O_WRONLY), STDERR_FILENO);
                execl(SCORE_HELPER_FOR_TESTS, SCORE_HELPER_FOR_TESTS, table.c_str(), "--add", name.c_str(), "2",
                      std::to_string(score).c_str(), id.c_str(), static_cast<char *>(nullptr));
                _exit(127);
            }
            close(pipe_fds[1]);
            int status = 0;
            waitpid(helper, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "attempt " << attempt << ": status " << status;
        }
        std::string now = current();
        EXPECT_EQ(now.substr(0, now.find('\n') + 1), line(name, 2, score));
        EXPECT_EQ(now.find(name, 1), std::string::npos) << "entered twice:\n" << now;
        score++;
    }
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
        // As the helper reads the table, without a lock: every version is whole.
        while (read(stop[0], &c, 1) < 0) {
            std::string bytes;
            if (ScoreFile::read(table.c_str(), 0, bytes, nullptr, nullptr, ScoreFile::Files::INSTALLED))
                partial += !well_formed(entries_of(bytes));
            else
                partial++;
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
    EXPECT_EQ(current(), want);
    expect_only_the_newest_version();
}

TEST_F(ScoreHelperSavingTest, AHelperKilledWhileSavingLeavesTheOldTableOrTheNewOne)
{
    constexpr int KILLS = 60;
    // How long a whole save takes here and now (a sanitizer build, a loaded machine): the
    // kills fall anywhere in twice that, so that some come before the save and some after.
    long save_us = whole_save_us(table);
    std::mt19937 random(99);
    int broken = 0, changed = 0;
    std::string before = current();
    for (int k = 0; k < KILLS; k++) {
        pid_t helper = start_helper(table, {"--add", "k" + std::to_string(k), "1", std::to_string(200 + k)});
        usleep(static_cast<useconds_t>(random() % static_cast<unsigned long>(2 * save_us + 1)));
        kill_and_reap(helper);
        std::string after = current();
        broken += !well_formed(after);
        changed += after != before;
        before = after;
    }
    EXPECT_EQ(broken, 0);
    EXPECT_GT(changed, 0) << "no helper got as far as saving: the test saw nothing";
    // Nothing of a killed helper holds up the next one, and nothing is left behind.
    std::string printed, error;
    EXPECT_TRUE(ScoreHelper::run(result("After", 2, 5000), table.c_str(), printed, error)) << error;
    EXPECT_EQ(printed.substr(0, printed.find('\n') + 1), line("After", 2, 5000));
    expect_only_the_newest_version();
    printf("[ figures  ] %d helpers killed within %ld us (twice a whole save): %d left a broken table, %d tables "
           "changed\n",
           KILLS, 2 * save_us, broken, changed);
}

} // namespace
