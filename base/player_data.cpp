// PlayerData: the player's data directory and its small files.
#include "base/player_data.h"

#include "base/safe_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool absolute(const char *path) { return path && path[0] == '/'; }

// $HOME, or the account's home in the password database when $HOME is unset or relative
// (a game started from a service or with a scrubbed environment).
std::string home()
{
    const char *env = getenv("HOME");
    if (absolute(env))
        return env;
    const passwd *account = getpwuid(getuid());
    if (account && absolute(account->pw_dir))
        return account->pw_dir;
    return std::string();
}

bool write_all(int fd, const std::string &text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

namespace PlayerData {

std::string dir()
{
    const char *data = getenv("XDG_DATA_HOME");
    if (absolute(data))
        return std::string(data) + "/glimpwatch";
    std::string base = home();
    return base.empty() ? base : base + "/.local/share/glimpwatch";
}

std::string path(const char *name)
{
    std::string base = dir();
    return base.empty() ? base : base + "/" + name;
}

bool make_dir()
{
    std::string wanted = dir();
    if (wanted.empty())
        return false;
    for (std::size_t slash = wanted.find('/', 1);; slash = wanted.find('/', slash + 1)) {
        std::string part = wanted.substr(0, slash);
        // One made meanwhile by another game is as good as our own.
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    struct stat info;
    return stat(wanted.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool read(const char *name, std::string &text)
{
    text.clear();
    std::string file = path(name);
    // A link planted in its place is not followed, and no FIFO can hold us.
    return !file.empty() && SafeFile::read_regular_nofollow(file.c_str(), MAX_BYTES, text);
}

bool write(const char *name, const std::string &text)
{
    if (!make_dir())
        return false;
    std::string base = dir();
    std::string target = base + "/" + name;
    std::string temp = base + "/." + name + ".XXXXXX";
    int fd = mkstemp(&temp[0]);
    if (fd < 0)
        return false;
    bool ok = write_all(fd, text) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    // rename replaces the old file, or a link in its place, in one step.
    if (ok && rename(temp.c_str(), target.c_str()) == 0)
        return true;
    unlink(temp.c_str());
    return false;
}

} // namespace PlayerData
