// Reading files safely: a special file or an oversized one is an error at once, never a hang.
#include "base/safe_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class SafeFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char *tmp = getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/glimpwatch-safe-XXXXXX";
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        for (const char *name : {"small", "at_cap", "over_cap", "fifo", "to_zero", "to_fifo", "to_small", "sub"}) {
            std::string path = dir + "/" + name;
            if (rmdir(path.c_str()) != 0)
                unlink(path.c_str());
        }
        rmdir(dir.c_str());
    }
    std::string make(const char *name, const std::string &text)
    {
        std::string path = dir + "/" + name;
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        close(fd);
        return path;
    }
    std::string dir;
};

TEST_F(SafeFileTest, SpecialOrOversizedFilesAreErrorsWithoutBlocking)
{
    constexpr std::size_t CAP = 100;
    make("small", "hello");
    make("at_cap", std::string(CAP, 'x'));
    make("over_cap", std::string(CAP + 1, 'x'));
    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0644), 0);
    ASSERT_EQ(symlink("/dev/zero", (dir + "/to_zero").c_str()), 0);
    ASSERT_EQ(symlink("fifo", (dir + "/to_fifo").c_str()), 0);
    ASSERT_EQ(symlink("small", (dir + "/to_small").c_str()), 0);
    ASSERT_EQ(mkdir((dir + "/sub").c_str(), 0755), 0);

    struct Case {
        const char *name;
        bool read, read_nofollow;
        const char *reason;   // of read_regular when it fails
        std::size_t size;
    } cases[] = {
        {"small", true, true, "", 5},
        {"at_cap", true, true, "", CAP},
        {"over_cap", false, false, "larger than 100 bytes", 0},
        {"fifo", false, false, "not a regular file", 0},
        {"to_zero", false, false, "not a regular file", 0},
        {"to_fifo", false, false, "not a regular file", 0},
        {"to_small", true, false, "", 5},
        {"sub", false, false, "not a regular file", 0},
        {"missing", false, false, "No such file or directory", 0},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        std::string path = dir + "/" + k.name;
        std::string bytes = "stale", reason;
        EXPECT_EQ(SafeFile::read_regular(path.c_str(), CAP, bytes, &reason), k.read);
        EXPECT_EQ(bytes.size(), k.size);
        EXPECT_EQ(reason, k.reason);
        bytes = "stale";
        EXPECT_EQ(SafeFile::read_regular_nofollow(path.c_str(), CAP, bytes), k.read_nofollow);
        EXPECT_EQ(bytes.size(), k.read_nofollow ? k.size : 0u);
        // Only the cap's worth of a longer file: what it begins with.
        bool over = strcmp(k.name, "over_cap") == 0;
        bytes = "stale";
        EXPECT_EQ(SafeFile::read_start_nofollow(path.c_str(), CAP, bytes), k.read_nofollow || over);
        EXPECT_EQ(bytes.size(), over ? CAP : k.read_nofollow ? k.size : 0u);
    }
    std::string bytes, reason;
    EXPECT_FALSE(SafeFile::read_regular_nofollow((dir + "/to_small").c_str(), CAP, bytes, &reason));
    EXPECT_EQ(reason, "a symbolic link");
    EXPECT_FALSE(SafeFile::read_regular((dir + "/missing").c_str(), CAP, bytes));
    EXPECT_EQ(errno, ENOENT) << "a missing file must be told from a bad one";
}

} // namespace
