#include "tests/unit/score_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ScoreFiles {

namespace {

bool parse_number(const std::string &s, int *out)
{
    size_t p = !s.empty() && s[0] == '-' ? 1 : 0;
    if (s.size() <= p || s.size() > p + 10 || s.find_first_not_of("0123456789", p) != std::string::npos)
        return false;
    long long v = std::stoll(s);
    if (v < -2147483648LL || v > 2147483647LL)
        return false;
    *out = static_cast<int>(v);
    return true;
}

} // namespace

std::string line(const std::string &name, int level, int score)
{
    char text[80];
    snprintf(text, sizeof text, "%-*s %d %d\n", 20, name.c_str(), level, score);
    return text;
}

std::string table_text(const std::vector<Entry> &entries)
{
    std::string text;
    for (const Entry &e : entries)
        text += line(e.name, e.level, e.score);
    return text;
}

bool well_formed(const std::string &text, std::vector<Entry> *entries)
{
    std::vector<Entry> found;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            return false;
        std::string l = text.substr(pos, end - pos);
        pos = end + 1;
        if (l.size() < 24 || l[20] != ' ')
            return false;
        std::string numbers = l.substr(21);
        size_t blank = numbers.find(' ');
        Entry e;
        if (blank == std::string::npos || !parse_number(numbers.substr(0, blank), &e.level) ||
            !parse_number(numbers.substr(blank + 1), &e.score))
            return false;
        e.name = l.substr(0, 20);
        e.name.erase(e.name.find_last_not_of(' ') + 1);
        if (!found.empty() && found.back().score < e.score)
            return false;
        found.push_back(e);
    }
    if (found.size() != 10)
        return false;
    if (entries)
        *entries = found;
    return true;
}

std::string read_text(const std::string &path, bool *exists)
{
    std::string text;
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW);
    if (exists)
        *exists = fd >= 0;
    if (fd < 0)
        return text;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        text.append(buf, static_cast<size_t>(n));
    close(fd);
    return text;
}

void write_text(const std::string &path, const std::string &text, mode_t mode)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
    ASSERT_GE(fd, 0) << path << ": " << strerror(errno);
    ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    fchmod(fd, mode);
    close(fd);
}

std::set<std::string> names_in(const std::string &dir)
{
    std::set<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d))
            if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
                names.insert(e->d_name);
        closedir(d);
    }
    return names;
}

std::string make_temp_dir(const char *what)
{
    const char *tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/glimpwatch-" + what + "-XXXXXX";
    if (!mkdtemp(&pattern[0]))
        ADD_FAILURE() << "cannot make " << pattern << ": " << strerror(errno);
    return pattern;
}

void remove_dir(const std::string &dir)
{
    // Deepest first, links as links; a directory a test made read-only is opened up first.
    chmod(dir.c_str(), 0755);
    nftw(
        dir.c_str(),
        [](const char *path, const struct stat *, int type, struct FTW *) {
            if (type == FTW_DP)
                return rmdir(path) == 0 ? 0 : 0;
            unlink(path);
            return 0;
        },
        16, FTW_DEPTH | FTW_PHYS);
}

pid_t hold_lock(const std::string &path)
{
    int ready[2];
    if (pipe(ready) != 0)
        return -1;
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(path.c_str(), O_CREAT | O_RDONLY, 0666);
        if (fd < 0 || flock(fd, LOCK_EX) != 0)
            _exit(1);
        char c = 'L';
        if (write(ready[1], &c, 1) != 1)
            _exit(1);
        for (;;)
            pause();
    }
    close(ready[1]);
    char c = 0;
    ssize_t n = read(ready[0], &c, 1);
    close(ready[0]);
    if (n != 1) {
        waitpid(pid, nullptr, 0);
        return -1;
    }
    return pid;
}

void kill_and_reap(pid_t pid)
{
    if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

} // namespace ScoreFiles
