// The player's data directory: where it is, and how its files are read and replaced.
#include "base/player_data.h"
#include "tests/scoped_env.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string account_home()
{
    const passwd *account = getpwuid(getuid());
    return account && account->pw_dir ? account->pw_dir : "";
}

TEST(PlayerData, DirectoryFollowsXdgDataHomeOnlyWhenAbsolute)
{
    struct Case {
        const char *xdg_data_home;   // null: unset
        const char *home;            // null: unset
        std::string expected;
    } cases[] = {
        {"/tmp/xdg", "/home/ann", "/tmp/xdg/glimpwatch"},
        {nullptr, "/home/ann", "/home/ann/.local/share/glimpwatch"},
        {"", "/home/ann", "/home/ann/.local/share/glimpwatch"},
        {"relative/data", "/home/ann", "/home/ann/.local/share/glimpwatch"},
        {"/tmp/xdg", nullptr, "/tmp/xdg/glimpwatch"},
        {nullptr, "not/absolute", account_home().empty() ? "" : account_home() + "/.local/share/glimpwatch"},
        {nullptr, nullptr, account_home().empty() ? "" : account_home() + "/.local/share/glimpwatch"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(testing::Message() << "XDG_DATA_HOME=" << (k.xdg_data_home ? k.xdg_data_home : "(unset)")
                                        << " HOME=" << (k.home ? k.home : "(unset)"));
        ScopedEnv xdg("XDG_DATA_HOME", k.xdg_data_home);
        ScopedEnv home("HOME", k.home);
        EXPECT_EQ(PlayerData::dir(), k.expected);
        EXPECT_EQ(PlayerData::path("name"), k.expected.empty() ? "" : k.expected + "/name");
    }
}

TEST(PlayerData, WriteMakesTheDirectoryAndReadGivesTheTextBack)
{
    std::string top = std::string(getenv("HOME")) + "/fresh";
    ScopedEnv xdg("XDG_DATA_HOME", (top + "/a/b").c_str());
    std::string text;
    EXPECT_FALSE(PlayerData::read("name", text));
    ASSERT_TRUE(PlayerData::write("name", "Ann\n"));
    struct stat st;
    ASSERT_EQ(stat((top + "/a/b/glimpwatch").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "a new data directory is the player's alone";
    ASSERT_EQ(stat((top + "/a/b/glimpwatch/name").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_TRUE(PlayerData::read("name", text));
    EXPECT_EQ(text, "Ann\n");
    ASSERT_TRUE(PlayerData::write("name", "Bo"));
    ASSERT_TRUE(PlayerData::read("name", text));
    EXPECT_EQ(text, "Bo");
}

TEST(PlayerData, AnUnwritableDirectoryFailsQuietly)
{
    // Below a regular file no directory can be made, whoever runs the test (root included).
    std::string blocker = std::string(getenv("HOME")) + "/blocker";
    FILE *f = fopen(blocker.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fclose(f);
    ScopedEnv xdg("XDG_DATA_HOME", blocker.c_str());
    EXPECT_FALSE(PlayerData::make_dir());
    EXPECT_FALSE(PlayerData::write("name", "Ann"));
    std::string text = "old";
    EXPECT_FALSE(PlayerData::read("name", text));
    EXPECT_EQ(text, "");
}

TEST(PlayerData, FilesThatAreNotSmallRegularFilesAreNotRead)
{
    std::string top = std::string(getenv("HOME")) + "/odd";
    ScopedEnv xdg("XDG_DATA_HOME", top.c_str());
    ASSERT_TRUE(PlayerData::make_dir());
    std::string d = PlayerData::dir();
    std::string secret = top + "/secret";
    FILE *f = fopen(secret.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fputs("not yours", f);
    fclose(f);
    ASSERT_EQ(symlink(secret.c_str(), (d + "/link").c_str()), 0);
    ASSERT_EQ(mkdir((d + "/directory").c_str(), 0700), 0);
    ASSERT_EQ(mkfifo((d + "/fifo").c_str(), 0600), 0);
    f = fopen((d + "/huge").c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::string block(PlayerData::MAX_BYTES + 1, 'x');
    fwrite(block.data(), 1, block.size(), f);
    fclose(f);
    for (const char *name : {"link", "directory", "fifo", "huge", "missing"}) {
        SCOPED_TRACE(name);
        std::string text;
        EXPECT_FALSE(PlayerData::read(name, text));   // a FIFO without a writer must not hang
        EXPECT_EQ(text, "");
    }
    // A save replaces a link rather than writing through it.
    ASSERT_TRUE(PlayerData::write("link", "mine"));
    std::string text;
    ASSERT_TRUE(PlayerData::read("link", text));
    EXPECT_EQ(text, "mine");
    f = fopen(secret.c_str(), "r");
    ASSERT_NE(f, nullptr);
    char buf[32] = {};
    EXPECT_EQ(fread(buf, 1, sizeof buf - 1, f), 9u);
    fclose(f);
    EXPECT_STREQ(buf, "not yours");
}

} // namespace
