// Saving scores: at name entry and at quit, by a new file renamed into place, merged under a lock
// with what other games saved meanwhile, and whole whatever happens to the saving process.
#include "game/game.h"
#include "game/game_testing.h"
#include "scores/high_scores.h"
#include "scores/high_scores_testing.h"
#include "scores/score_file.h"
#include "tests/fake_gui.h"
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
#include <functional>
#include <grp.h>
#include <poll.h>
#include <random>
#include <set>
#include <string>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace ScoreFiles;

// What merging must give, worked out independently of the game's insert: the older entries
// first, then the newer ones in the order they came, sorted by score without reordering ties
// (so a newcomer goes below its equals), the best ten kept.
std::vector<Entry> best_ten(std::vector<Entry> in_order)
{
    std::stable_sort(in_order.begin(), in_order.end(), [](const Entry &a, const Entry &b) { return a.score > b.score; });
    in_order.resize(std::min<size_t>(in_order.size(), 10));
    return in_order;
}

ino_t inode_of(const std::string &path)
{
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_ino;
}

// Two players other than root: nobody, and the user just below.
constexpr uid_t NOBODY = 65534, SOMEBODY = 65533;

// As root, the calling process becomes the player (user and group): permissions, read-only
// directories above all, mean nothing to root. Anybody else stays who they are.
bool become(uid_t player)
{
    return geteuid() != 0 || (setgroups(0, nullptr) == 0 && setgid(player) == 0 && setuid(player) == 0);
}

// Runs fn in a child process and returns its exit status (fn's result), or -1 when it did not
// exit. Unprivileged, the child first becomes nobody.
int in_child(const std::function<int()> &fn, bool unprivileged = false)
{
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (unprivileged && !become(NOBODY))
            _exit(99);
        _exit(fn());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ScoreSavingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeGui::install_as_active();
        Game::reset_for_tests();
        HighScores::reset_for_tests();
        dir = make_temp_dir("scores");
        ASSERT_FALSE(dir.empty());
        chmod(dir.c_str(), 0755);   // other users' games reach it too
        path = dir + "/glimpwatch.scores";
        lock = path + ".lock";
        HighScores::set_path_for_tests(path.c_str());
    }

    void TearDown() override
    {
        HighScores::reset_for_tests();
        Game::reset_for_tests();
        FakeGui::reset();
        remove_dir(dir);
    }

    // Ten entries E0..E9 with scores 100 down to 10, written as the file.
    std::vector<Entry> seed()
    {
        std::vector<Entry> t;
        for (int i = 0; i < 10; i++)
            t.push_back({"E" + std::to_string(i), i + 1, 100 - 10 * i});
        write_text(path, table_text(t));
        return t;
    }

    static void expect_table(const std::vector<Entry> &want)
    {
        for (int i = 0; i < 10; i++) {
            SCOPED_TRACE(testing::Message() << "entry " << i);
            EXPECT_EQ(std::string(HighScores::entry(i).name), want[i].name);
            EXPECT_EQ(HighScores::entry(i).score, want[i].score);
        }
    }

    std::string dir, path, lock;
};

TEST_F(ScoreSavingTest, NameEntrySavesAtOnceAndLaterSavesNeverEnterAScoreTwice)
{
    std::vector<Entry> file = seed();
    HighScores::read();
    Game::set_level(4);
    Game::set_score_for_tests(55);
    Game::add_high_score("Ann");
    file.push_back({"Ann", 4, 55});
    file = best_ten(file);
    EXPECT_EQ(read_text(path), table_text(file)) << "not saved when the name was entered";

    HighScores::write();   // quit
    EXPECT_EQ(read_text(path), table_text(file)) << "quit entered the score again";

    // Another game saves its score, then this one quits: each score is there once.
    EXPECT_EQ(in_child([] {
                  HighScores::read();
                  HighScores::insert("Bob", 2, 75);
                  HighScores::write();
                  return 0;
              }),
              0);
    HighScores::write();
    file.push_back({"Bob", 2, 75});
    file = best_ten(file);
    EXPECT_EQ(read_text(path), table_text(file));
    expect_table(file);   // this game's table shows the other game's score too

    // A second game in the same run ties with the first: below it, and once.
    Game::set_score_for_tests(55);
    Game::add_high_score("Cy");
    HighScores::write();
    HighScores::write();
    file.push_back({"Cy", 4, 55});
    file = best_ten(file);
    EXPECT_EQ(read_text(path), table_text(file));
}

TEST_F(ScoreSavingTest, TwoGamesSavingOneAfterTheOtherKeepBothGamesEntriesWithTiesBelow)
{
    std::vector<Entry> file = seed();
    HighScores::read();   // this game starts, then the other one starts and saves first
    std::vector<Entry> theirs = {{"B1", 2, 70}, {"B2", 2, 15}, {"B3", 2, 95}};
    ASSERT_EQ(in_child([&] {
                  HighScores::read();
                  for (const Entry &e : theirs)
                      HighScores::insert(e.name.c_str(), e.level, e.score);
                  HighScores::write();
                  return 0;
              }),
              0);
    std::vector<Entry> ours = {{"A1", 1, 70}, {"A2", 1, 95}, {"A3", 1, 12}};
    for (const Entry &e : ours)
        HighScores::insert(e.name.c_str(), e.level, e.score);
    HighScores::write();

    std::vector<Entry> all = file;
    all.insert(all.end(), theirs.begin(), theirs.end());
    all.insert(all.end(), ours.begin(), ours.end());
    std::vector<Entry> want = best_ten(all);
    // E3 70, B1 70, A1 70: ties in the order they were saved.
    EXPECT_EQ(read_text(path), table_text(want));
    expect_table(want);
}

TEST_F(ScoreSavingTest, AnEntryPushedOutOfThisGamesTableStillReachesALowerFile)
{
    seed();
    HighScores::read();
    HighScores::insert("Pushed", 1, 15);   // the tenth place ...
    HighScores::insert("Pusher", 1, 16);   // ... taken by the next entry
    // Meanwhile the table on disk has been started afresh.
    std::vector<Entry> fresh(10, Entry{"Anonymous", 0, 0});
    write_text(path, table_text(fresh));
    HighScores::write();
    std::vector<Entry> want = fresh;
    want.insert(want.begin(), {{"Pusher", 1, 16}, {"Pushed", 1, 15}});
    want.resize(10);
    EXPECT_EQ(read_text(path), table_text(want));
}

TEST_F(ScoreSavingTest, SaveReplacesTheFileInOneStepLeavingNoTemporaryFile)
{
    std::vector<Entry> old_table = seed();
    std::string old_text = read_text(path);
    ino_t old_inode = inode_of(path);
    int old_fd = open(path.c_str(), O_RDONLY);   // a reader that opened the old file
    ASSERT_GE(old_fd, 0);

    mode_t old_mask = umask(077);   // the player's umask does not make the file private
    HighScores::read();
    HighScores::insert("New", 3, 1000);
    HighScores::write();
    umask(old_mask);

    std::vector<Entry> want = old_table;
    want.push_back({"New", 3, 1000});
    want = best_ten(want);
    EXPECT_EQ(read_text(path), table_text(want));
    EXPECT_EQ(names_in(dir), (std::set<std::string>{"glimpwatch.scores", "glimpwatch.scores.lock"}));
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666u);
    EXPECT_NE(st.st_ino, old_inode) << "rewritten in place instead of replaced";
    // The old file was never emptied or overwritten: its reader still has all of it.
    std::string seen(old_text.size() + 10, '\0');
    ssize_t n = pread(old_fd, &seen[0], seen.size(), 0);
    close(old_fd);
    EXPECT_EQ(seen.substr(0, n > 0 ? static_cast<size_t>(n) : 0), old_text);

    // With no file and nothing new, a save makes none; a new entry goes into an empty table.
    unlink(path.c_str());
    HighScores::write();
    EXPECT_EQ(access(path.c_str(), F_OK), -1);
    HighScores::insert("First", 2, 2000);
    HighScores::write();
    std::vector<Entry> fresh(10, Entry{"Anonymous", 0, 0});
    fresh.insert(fresh.begin(), Entry{"First", 2, 2000});
    fresh.resize(10);
    EXPECT_EQ(read_text(path), table_text(fresh));
}

TEST_F(ScoreSavingTest, ReadOnlyDirectoryWithAWritableFileIsRewrittenInPlace)
{
    // The old text is longer than the new table: what is left over must be cut off.
    std::string old_text;
    for (int i = 0; i < 10; i++)
        old_text += "E" + std::to_string(i) + "   " + std::to_string(i + 1) + "   " + std::to_string(100 - 10 * i) +
                    std::string(40, ' ') + "\n";
    std::vector<Entry> want;
    for (int i = 0; i < 10; i++)
        want.push_back({"E" + std::to_string(i), i + 1, 100 - 10 * i});
    want.push_back({"Ro", 3, 65});
    want = best_ten(want);
    for (bool with_lock_file : {true, false}) {
        SCOPED_TRACE(with_lock_file ? "with the lock file installed" : "without a lock file");
        chmod(dir.c_str(), 0755);
        unlink(lock.c_str());
        if (with_lock_file)
            write_text(lock, "");
        write_text(path, old_text);
        ino_t inode = inode_of(path);
        chmod(dir.c_str(), 0555);
        std::set<std::string> before = names_in(dir);
        int result = in_child(
            [&] {
                if (access(dir.c_str(), W_OK) == 0)
                    return 2;   // still writable: this would test nothing
                HighScores::read();
                HighScores::insert("Ro", 3, 65);
                HighScores::write();
                return 0;
            },
            true);
        ASSERT_EQ(result, 0) << "the child could not run as another user, or could still write the directory";
        EXPECT_EQ(read_text(path), table_text(want));
        EXPECT_EQ(inode_of(path), inode);
        EXPECT_EQ(names_in(dir), before);
    }
}

TEST_F(ScoreSavingTest, UnwritableLocationsAreLeftAloneAndTheScoreIsSavedLater)
{
    // A directory that does not exist: nothing is made, the game goes on, and the entry is
    // still waiting when the directory turns up.
    std::string missing_dir = dir + "/not-yet";
    std::string missing = missing_dir + "/glimpwatch.scores";
    HighScores::set_path_for_tests(missing.c_str());
    HighScores::insert("Late", 1, 10);
    testing::internal::CaptureStderr();
    HighScores::write();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "glimpwatch: score not saved: cannot make the lock file: No such file or directory\n");
    EXPECT_EQ(access(missing_dir.c_str(), F_OK), -1);
    ASSERT_EQ(mkdir(missing_dir.c_str(), 0755), 0);
    std::vector<Entry> old_table(10, Entry{"Old", 0, 5});
    write_text(missing, table_text(old_table));
    HighScores::write();
    std::vector<Entry> want = old_table;
    want.push_back({"Late", 1, 10});
    want = best_ten(want);
    EXPECT_EQ(read_text(missing), table_text(want));
    unlink(missing.c_str());
    unlink((missing + ".lock").c_str());
    rmdir(missing_dir.c_str());
    HighScores::set_path_for_tests(path.c_str());

    // A read-only directory, without a file and with a read-only one; a read-only file in a
    // directory where anyone could replace it is left alone all the same.
    struct Case {
        const char *what;
        mode_t dir_mode;
        bool with_file;
    } cases[] = {{"read-only directory, no file", 0555, false},
                 {"read-only directory and file", 0555, true},
                 {"read-only file, open directory", 0777, true}};
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        chmod(dir.c_str(), 0755);
        unlink(path.c_str());
        unlink(lock.c_str());
        if (k.with_file)
            write_text(path, table_text(old_table), 0444);
        chmod(dir.c_str(), k.dir_mode);
        std::set<std::string> before = names_in(dir);
        int result = in_child(
            [&] {
                HighScores::insert("Nobody", 1, 50);
                HighScores::write();
                char text[HIGH_SCORE_DIALOG_BYTES];
                HighScores::format_dialog(text, sizeof text);
                if (!strstr(text, "\nNot saved: "))
                    return 4;
                return HighScores::entry(0).score == 50 ? 0 : 3;
            },
            true);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(names_in(dir), before);
        if (k.with_file) {
            EXPECT_EQ(read_text(path), table_text(old_table));
        }
    }
}

// On a read-only file system the reason named the lock file ("cannot open the lock file:
// Read-only file system"), though it is the table that cannot be saved. Run where a file
// system of its own can be mounted (as root); skipped elsewhere.
TEST_F(ScoreSavingTest, AReadOnlyFileSystemIsToldOfTheTableNotOfItsLockFile)
{
    struct Case {
        const char *what;
        bool lock_file, table;
        bool helper;   // the score helper's table, kept in versions
    } cases[] = {
        {"the table and its lock file there", true, true, false},
        {"the table there without a lock file", false, true, false},
        {"nothing there yet", false, false, false},
        {"the helper's table", false, true, true},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        int result = in_child([&] {
            if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") != 0)
                return 77;
            if (k.table)
                write_text(path, table_text(std::vector<Entry>(10, Entry{"Old", 1, 5})));
            if (k.lock_file)
                write_text(lock, "");
            if (mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
                return 77;
            HighScoreEntry entry{"Ann", 2, 50};
            HighScoreEntry saved[HIGH_SCORE_COUNT];
            std::string reason, id = HighScores::new_result_id();
            if (HighScores::save_entries(path.c_str(), &entry, 1, 200, saved, &reason,
                                         k.helper ? ScoreFile::Files::INSTALLED : ScoreFile::Files::ANY_PLAYER, &id))
                return 1;
            return reason == "the score file is on a read-only file system" ? 0 : (fprintf(stderr, "%s\n", reason.c_str()), 2);
        });
        if (result == 77)
            GTEST_SKIP() << "no file system of its own can be mounted here";
        EXPECT_EQ(result, 0);
    }
}

// Someone appended 100 MB to a table every player may write, and from then on every save
// was refused ("larger than 65536 bytes"). The entries it begins with are read, and the next
// save puts a table of the right size in its place.
TEST_F(ScoreSavingTest, ATableGrownPastItsSizeByAnotherPlayerIsRecovered)
{
    std::vector<Entry> file = seed();
    {
        std::string grown = read_text(path) + std::string(1 << 20, 'x');
        write_text(path, grown);
    }
    HighScores::read();
    expect_table(file);
    HighScores::insert("Mended", 3, 55);
    HighScores::write();
    file.push_back({"Mended", 3, 55});
    EXPECT_EQ(read_text(path), table_text(best_ten(file)));
    char text[HIGH_SCORE_DIALOG_BYTES];
    HighScores::format_dialog(text, sizeof text);
    EXPECT_EQ(strstr(text, "Not saved"), nullptr) << text;
}

TEST_F(ScoreSavingTest, StaleLocksNeverBlockASaveAndAStuckOneNeverLetsOneThrough)
{
    std::vector<Entry> file = seed();
    HighScores::read();

    // A lock file left behind by a game long gone.
    write_text(lock, "");
    HighScores::insert("Left", 1, 95);
    HighScores::write();
    file.push_back({"Left", 1, 95});
    file = best_ten(file);
    EXPECT_EQ(read_text(path), table_text(file));

    // A lock held by a game that is then killed: the save waits for it, and goes on as
    // soon as it dies. A watcher checks that nothing was written while it was held.
    HighScores::set_lock_wait_for_tests(60000);
    pid_t holder = hold_lock(lock);
    ASSERT_GT(holder, 0);
    std::string held_text = read_text(path);
    fflush(nullptr);
    pid_t watcher = fork();
    if (watcher == 0) {
        usleep(300000);
        bool untouched = read_text(path) == held_text;
        kill(holder, SIGKILL);
        _exit(untouched ? 0 : 1);
    }
    HighScores::insert("Waited", 1, 85);
    auto start = std::chrono::steady_clock::now();
    HighScores::write();
    auto waited = std::chrono::steady_clock::now() - start;
    int status = 0;
    waitpid(watcher, &status, 0);
    waitpid(holder, nullptr, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "written while another game held the lock";
    EXPECT_LT(waited, std::chrono::seconds(30)) << "a dead game's lock held the save up";
    EXPECT_NE(read_text(path).find("Waited"), std::string::npos);

    // A game that hangs holding the lock: nothing is written past it (games that did so
    // overwrote each other), the entry waits and goes in with the next save.
    HighScores::set_lock_wait_for_tests(200);
    holder = hold_lock(lock);
    ASSERT_GT(holder, 0);
    file.push_back({"Waited", 1, 85});
    std::string before = read_text(path);
    EXPECT_EQ(before, table_text(best_ten(file)));
    HighScores::insert("Impatient", 1, 75);
    testing::internal::CaptureStderr();
    HighScores::write();
    HighScores::write_at_quit();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "glimpwatch: score not saved: the score file is locked by another game\n");
    EXPECT_EQ(read_text(path), before);
    kill_and_reap(holder);
    HighScores::write();
    file.push_back({"Impatient", 1, 75});
    EXPECT_EQ(read_text(path), table_text(best_ten(file)));
}

// A lock that cannot be had, for any reason, keeps the entry waiting and the file as it is;
// once the lock can be had, the next save puts the entry in. Saving past the lock let games
// overwrite each other's scores; a lock file that could not be opened sent some games to
// another lock, so that they no longer excluded the rest.
TEST_F(ScoreSavingTest, EveryLockThatCannotBeHadKeepsTheEntryPendingAndTheFileAsItIs)
{
    struct Case {
        const char *what;
        std::function<pid_t(const std::string &lock)> block;   // may return a holder to kill
        std::function<void(const std::string &lock)> release;
        const char *reason;
    } cases[] = {
        {"lock held by a stopped game",
         [](const std::string &l) {
             pid_t holder = hold_lock(l);
             kill(holder, SIGSTOP);
             return holder;
         },
         [](const std::string &) {}, "the score file is locked by another game"},
        {"lock file its owner keeps to himself",
         [](const std::string &l) {
             write_text(l, "", 0);
             return pid_t(0);
         },
         [](const std::string &l) { chmod(l.c_str(), 0666); }, "cannot open the lock file: Permission denied"},
        {"FIFO in place of the lock file",
         [](const std::string &l) {
             mkfifo(l.c_str(), 0666);
             return pid_t(0);
         },
         [](const std::string &l) { unlink(l.c_str()); }, "cannot open the lock file: not a regular file"},
        {"link in place of the lock file",
         [](const std::string &l) {
             symlink("glimpwatch.scores", l.c_str());
             return pid_t(0);
         },
         [](const std::string &l) { unlink(l.c_str()); },
         "cannot open the lock file: Too many levels of symbolic links"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        std::vector<Entry> file = seed();
        unlink(lock.c_str());
        chmod(dir.c_str(), 0777);   // the saving player's game makes its new table there
        std::string before = read_text(path);
        pid_t holder = k.block(lock);
        int step[2], go[2];
        ASSERT_EQ(pipe(step), 0);
        ASSERT_EQ(pipe(go), 0);
        fflush(nullptr);
        pid_t saver = fork();
        if (saver == 0) {
            // Another player's game, so that permissions count.
            if (!become(NOBODY))
                _exit(99);
            close(step[0]);
            close(go[1]);
            HighScores::set_lock_wait_for_tests(200);
            HighScores::read();
            HighScores::insert("Kept", 1, 95);
            int err = open("/dev/null", O_WRONLY);   // the line on stderr is checked elsewhere
            dup2(err, 2);
            HighScores::write();
            HighScores::write_at_quit();
            char text[HIGH_SCORE_DIALOG_BYTES];
            HighScores::format_dialog(text, sizeof text);
            std::string shown = text;
            char told = shown.find(std::string("\nNot saved: ") + k.reason + "; it will be tried again\n") !=
                                std::string::npos
                            ? 'T'
                            : 'F';
            char c = 0;
            if (write(step[1], &told, 1) != 1 || read(go[0], &c, 1) != 1)
                _exit(98);
            HighScores::write();
            HighScores::format_dialog(text, sizeof text);
            _exit(strstr(text, "Not saved") ? 97 : 0);
        }
        close(step[1]);
        close(go[0]);
        char told = 0;
        EXPECT_EQ(read(step[0], &told, 1), 1);
        EXPECT_EQ(told, 'T') << "the dialog did not tell why";
        EXPECT_EQ(read_text(path), before) << "written without the lock";
        kill_and_reap(holder);
        k.release(lock);
        EXPECT_EQ(write(go[1], "g", 1), 1);
        int status = 0;
        waitpid(saver, &status, 0);
        close(step[0]);
        close(go[1]);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        file.push_back({"Kept", 1, 95});
        EXPECT_EQ(read_text(path), table_text(best_ten(file))) << "not saved once the lock was free";
    }
}

// A lock file made by a game whose player keeps files private could be opened by no other
// player's game.
TEST_F(ScoreSavingTest, LockFileIsMadeOpenToEveryPlayerWhateverTheUmask)
{
    std::vector<Entry> file = seed();
    chmod(dir.c_str(), 0777);
    ASSERT_EQ(in_child(
                  [] {
                      umask(077);
                      HighScores::read();
                      HighScores::insert("Private", 1, 95);
                      HighScores::write();
                      return 0;
                  },
                  true),
              0);
    struct stat st {};
    ASSERT_EQ(lstat(lock.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0666u);
    EXPECT_EQ(names_in(dir), (std::set<std::string>{"glimpwatch.scores", "glimpwatch.scores.lock"}));
    // Another player's game takes the same lock and saves.
    ASSERT_EQ(in_child(
                  [] {
                      if (!become(SOMEBODY))
                          return 99;
                      HighScores::set_lock_wait_for_tests(200);
                      HighScores::read();
                      HighScores::insert("Other", 1, 85);
                      HighScores::write();
                      char text[HIGH_SCORE_DIALOG_BYTES];
                      HighScores::format_dialog(text, sizeof text);
                      return strstr(text, "Not saved") ? 3 : 0;
                  }),
              0);
    file.push_back({"Private", 1, 95});
    file.push_back({"Other", 1, 85});
    EXPECT_EQ(read_text(path), table_text(best_ten(file)));
}

// Quitting rewrote the table even with nothing new, and a line the reader could not take
// came back as an empty entry: another player's score was gone.
TEST_F(ScoreSavingTest, SaveWithNothingNewLeavesTheFileByteForByte)
{
    std::string odd = "An_Extremely_Long_Player 9 5000\n"
                      "Ann                  1 400\r\n"
                      "this line is not an entry\n"
                      "  Bob 2 300\n";
    struct Case {
        const char *what;
        std::string text;
        bool new_entry;   // one that gets into this game's table, but not into the file's
    } cases[] = {
        {"lines it cannot read", odd, false},
        {"a table as the game writes it", table_text(std::vector<Entry>(10, Entry{"Ten", 1, 10})), false},
        {"an entry beaten meanwhile", table_text(std::vector<Entry>(10, Entry{"Ten", 1, 10})), true},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        HighScores::reset_for_tests();
        HighScores::set_path_for_tests(path.c_str());
        write_text(path, k.new_entry ? table_text(std::vector<Entry>(10, Entry{"Low", 1, 1})) : k.text);
        HighScores::read();
        if (k.new_entry) {
            HighScores::insert("Beaten", 1, 5);
            write_text(path, k.text);
        }
        struct stat before {}, after {};
        ASSERT_EQ(stat(path.c_str(), &before), 0);
        usleep(20000);   // a rewrite would show in the times
        HighScores::write();
        HighScores::write_at_quit();
        ASSERT_EQ(stat(path.c_str(), &after), 0);
        EXPECT_EQ(read_text(path), k.text);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
        EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    }
    // With no file, nothing is made.
    unlink(path.c_str());
    HighScores::write_at_quit();
    EXPECT_EQ(access(path.c_str(), F_OK), -1);
}

TEST_F(ScoreSavingTest, RewriteForANewEntryKeepsEveryEntryItCouldRead)
{
    write_text(path, "An_Extremely_Long_Player 9 5000\n"
                     "Ann 1 400\n"
                     "this line is not an entry\n"
                     "Bob 2 300\n"
                     "Cy 3 x\n"
                     "Dee 4 200\n");
    HighScores::read();
    HighScores::insert("New", 5, 350);
    HighScores::write();
    std::vector<Entry> want = {{"An_Extremely_Long_Pl", 9, 5000}, {"Ann", 1, 400}, {"New", 5, 350},
                               {"Bob", 2, 300},                   {"Dee", 4, 200}};
    while (want.size() < 10)
        want.push_back({"Anonymous", 0, 0});
    EXPECT_EQ(read_text(path), table_text(want));
}

// Ten games save at once, round after round, through the game's own save code; in one round
// a stopped game holds the lock throughout, and is then killed. Then the same again with a
// lock file that another player's game made under umask 077. Each round's scores beat all
// before, so after each round the file must hold exactly that round's ten.
TEST_F(ScoreSavingTest, TenGamesSavingAtOnceLoseNothingWhileTheLockIsStuckOrWasMadePrivate)
{
    constexpr int GAMES = 10, ROUNDS = 4, STUCK_ROUND = 1;
    int lost_total = 0, pending_total = 0;
    for (bool private_lock : {false, true}) {
        SCOPED_TRACE(private_lock ? "lock file made under umask 077 by another player" : "lock file installed");
        chmod(dir.c_str(), 0777);
        unlink(lock.c_str());
        write_text(path, table_text(std::vector<Entry>(10, Entry{"Seed", 0, 0})));
        if (private_lock) {
            ASSERT_EQ(in_child([] {
                          if (!become(SOMEBODY))
                              return 99;
                          umask(077);
                          HighScores::insert("Maker", 0, 1);
                          HighScores::write();
                          return 0;
                      }),
                      0);
        } else {
            write_text(lock, "");
        }

        // Each game follows its commands: 'S' saves a new entry (the round in the next byte),
        // 'T' the same with a short wait, 'R' saves again, 'Q' quits; it answers each.
        std::vector<pid_t> games;
        std::vector<int> command, answer;
        for (int g = 0; g < GAMES; g++) {
            int c[2], a[2];
            ASSERT_EQ(pipe(c), 0);
            ASSERT_EQ(pipe(a), 0);
            fflush(nullptr);
            pid_t pid = fork();
            if (pid == 0) {
                if (!become(g % 2 ? NOBODY : SOMEBODY))
                    _exit(99);
                int err = open("/dev/null", O_WRONLY);
                dup2(err, 2);
                HighScores::read();
                char op[2];
                while (read(c[0], op, 2) == 2) {
                    HighScores::set_lock_wait_for_tests(op[0] == 'T' ? 300 : 20000);
                    if (op[0] == 'S' || op[0] == 'T') {
                        std::string name = "g" + std::to_string(g) + "r" + std::to_string(op[1]);
                        HighScores::insert(name.c_str(), op[1], 1000 * (op[1] + 1) + g);
                    }
                    if (op[0] == 'Q')
                        HighScores::write_at_quit();
                    else
                        HighScores::write();
                    char text[HIGH_SCORE_DIALOG_BYTES];
                    HighScores::format_dialog(text, sizeof text);
                    char pending = strstr(text, "Not saved") ? 'P' : 'S';
                    if (write(a[1], &pending, 1) != 1 || op[0] == 'Q')
                        _exit(0);
                }
                _exit(1);
            }
            close(c[0]);
            close(a[1]);
            games.push_back(pid);
            command.push_back(c[1]);
            answer.push_back(a[0]);
        }
        // All games are sent the command before any answer is awaited: they save at once.
        auto everyone = [&](char op, int round) {
            int pending = 0;
            char bytes[2] = {op, static_cast<char>(round)};
            for (int fd : command)
                EXPECT_EQ(write(fd, bytes, 2), 2);
            for (int fd : answer) {
                char a = 0;
                EXPECT_EQ(read(fd, &a, 1), 1);
                pending += a == 'P';
            }
            return pending;
        };
        for (int round = 0; round < ROUNDS; round++) {
            SCOPED_TRACE(testing::Message() << "round " << round);
            if (round == STUCK_ROUND) {
                std::string before = read_text(path);
                pid_t holder = hold_lock(lock);
                ASSERT_GT(holder, 0);
                kill(holder, SIGSTOP);
                int pending = everyone('T', round);
                EXPECT_EQ(read_text(path), before) << "written while a stopped game held the lock";
                EXPECT_EQ(pending, GAMES);
                pending_total += pending;
                kill_and_reap(holder);
                EXPECT_EQ(everyone('R', round), 0);
            } else {
                EXPECT_EQ(everyone('S', round), 0);
            }
            std::vector<Entry> found;
            ASSERT_TRUE(well_formed(read_text(path), &found)) << read_text(path);
            for (int g = 0; g < GAMES; g++) {
                std::string name = "g" + std::to_string(g) + "r" + std::to_string(round);
                bool there = std::any_of(found.begin(), found.end(), [&](const Entry &e) { return e.name == name; });
                EXPECT_TRUE(there) << name << " lost";
                lost_total += !there;
            }
        }
        EXPECT_EQ(everyone('Q', 0), 0);
        for (size_t g = 0; g < games.size(); g++) {
            int status = 0;
            waitpid(games[g], &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "game " << g << " status " << status;
            close(command[g]);
            close(answer[g]);
        }
        struct stat st {};
        ASSERT_EQ(stat(lock.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0666, 0666u);
    }
    printf("[ figures  ] %d games x %d rounds, twice (lock stuck in one round; lock file made under umask 077): "
           "%d of %d entries lost, %d kept pending under the stuck lock and saved after\n",
           GAMES, ROUNDS, lost_total, 2 * GAMES * ROUNDS, pending_total);
}

// Several games save at once, over and over, while another reads the file.
TEST_F(ScoreSavingTest, GamesSavingAtOnceLoseNothingAndReadersNeverSeeAPartTable)
{
    constexpr int WRITERS = 8, SAVES = 50;
    std::vector<Entry> seeds;
    for (int i = 0; i < 10; i++)
        seeds.push_back({"Seed" + std::to_string(i), 0, 10 - i});
    write_text(path, table_text(seeds));

    // Distinct scores, dealt at random over the writers and their saves, so the best ones
    // are saved at any time by any game.
    std::vector<int> scores(WRITERS * SAVES);
    for (size_t i = 0; i < scores.size(); i++)
        scores[i] = 100 + static_cast<int>(i);
    std::shuffle(scores.begin(), scores.end(), std::mt19937(12345));

    int stop[2], report[2];
    ASSERT_EQ(pipe(stop), 0);
    ASSERT_EQ(pipe(report), 0);
    fflush(nullptr);
    pid_t reader = fork();
    if (reader == 0) {
        close(stop[1]);
        long reads = 0, partial = 0;
        pollfd p{stop[0], POLLIN, 0};
        while (poll(&p, 1, 0) == 0) {
            reads++;
            if (!well_formed(read_text(path)))
                partial++;
        }
        long result[2] = {reads, partial};
        _exit(write(report[1], result, sizeof result) == sizeof result ? 0 : 1);
    }
    close(report[1]);

    auto start = std::chrono::steady_clock::now();
    std::vector<pid_t> writers;
    for (int w = 0; w < WRITERS; w++) {
        pid_t pid = fork();
        if (pid == 0) {
            HighScores::read();
            for (int s = 0; s < SAVES; s++) {
                std::string name = "w" + std::to_string(w) + "-" + std::to_string(s);
                HighScores::insert(name.c_str(), w, scores[static_cast<size_t>(w * SAVES + s)]);
                HighScores::write();
            }
            HighScores::write_at_quit();
            _exit(0);
        }
        writers.push_back(pid);
    }
    int failed_writers = 0;
    for (pid_t pid : writers) {
        int status = 0;
        waitpid(pid, &status, 0);
        failed_writers += !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    close(stop[1]);
    long result[2] = {0, 0};
    ssize_t got = read(report[0], result, sizeof result);
    close(stop[0]);
    close(report[0]);
    waitpid(reader, nullptr, 0);
    EXPECT_EQ(failed_writers, 0);

    std::vector<Entry> all = seeds;
    for (int w = 0; w < WRITERS; w++)
        for (int s = 0; s < SAVES; s++)
            all.push_back({"w" + std::to_string(w) + "-" + std::to_string(s), w, scores[static_cast<size_t>(w * SAVES + s)]});
    std::vector<Entry> want = best_ten(all);
    std::vector<Entry> final_table;
    ASSERT_TRUE(well_formed(read_text(path), &final_table));
    int lost = 0;
    for (const Entry &e : want)
        lost += std::none_of(final_table.begin(), final_table.end(),
                             [&](const Entry &f) { return f.name == e.name && f.score == e.score; });
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(read_text(path), table_text(want));
    ASSERT_EQ(got, static_cast<ssize_t>(sizeof result));
    EXPECT_GT(result[0], 0);
    EXPECT_EQ(result[1], 0) << "reads that found a short or part table";
    EXPECT_EQ(names_in(dir), (std::set<std::string>{"glimpwatch.scores", "glimpwatch.scores.lock"}));
    printf("[ figures  ] %d games x %d saves in %.2f s: %d of the best ten lost; "
           "%ld reads meanwhile, %ld of them short or partial\n",
           WRITERS, SAVES, seconds, lost, result[0], result[1]);
}

// A game killed at any moment while it saves leaves the old table or the new one.
TEST_F(ScoreSavingTest, GameKilledWhileSavingLeavesAWholeTable)
{
    constexpr int KILLS = 100;
    seed();
    std::mt19937 random(777);
    int unparsable = 0, changed = 0;
    std::string before = read_text(path);
    for (int k = 0; k < KILLS; k++) {
        // The kill comes at a random moment after the game's first save, however slow
        // the machine: during a later save, or between two.
        int saved[2];
        ASSERT_EQ(pipe(saved), 0);
        fflush(nullptr);
        pid_t saver = fork();
        if (saver == 0) {
            close(saved[0]);
            HighScores::read();
            for (int s = 0;; s++) {
                std::string name = "k" + std::to_string(k) + "-" + std::to_string(s);
                HighScores::insert(name.c_str(), k, 1000 + k * 100000 + s);
                HighScores::write();
                if (s == 0 && write(saved[1], "s", 1) != 1)
                    _exit(1);
            }
        }
        close(saved[1]);
        char c = 0;
        EXPECT_EQ(read(saved[0], &c, 1), 1) << "the game did not save";
        close(saved[0]);
        usleep(static_cast<useconds_t>(random() % 6000));
        kill_and_reap(saver);
        std::string after = read_text(path);
        if (!well_formed(after))
            unparsable++;
        changed += after != before;
        before = after;
    }
    std::set<std::string> left = names_in(dir);
    left.erase("glimpwatch.scores");
    left.erase("glimpwatch.scores.lock");
    EXPECT_EQ(unparsable, 0);
    EXPECT_GT(changed, 0) << "no kill came after a save: the test saw nothing";
    // The lock of every killed game went with it: this save does not wait.
    HighScores::set_lock_wait_for_tests(60000);
    HighScores::read();
    HighScores::insert("After", 1, 2000000000);
    HighScores::write();
    EXPECT_EQ(HighScores::entry(0).score, 2000000000);
    // The killed games' new tables are gone with that save.
    EXPECT_EQ(names_in(dir), (std::set<std::string>{"glimpwatch.scores", "glimpwatch.scores.lock"}));
    printf("[ figures  ] %d saving games killed: %d left an unparsable file, %d left a new table, "
           "%zu temporary files left behind by kills\n",
           KILLS, unparsable, changed, left.size());
}

} // namespace
