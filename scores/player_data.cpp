// PlayerData: the player's data directory and its small files.
#include "scores/player_data.h"

#include "game/safe_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Settings are a few bytes; anything larger is not ours.
constexpr std::size_t CAP = 4096;

// Makes the directory and its missing parents, private to the player.
bool make_dirs(const std::string &path)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
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
    if (data && data[0] == '/')
        return std::string(data) + "/glimpwatch";
    const char *home = getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.local/share/glimpwatch";
    return std::string();
}

bool read(const char *name, std::string &text)
{
    text.clear();
    std::string base = dir();
    if (base.empty())
        return false;
    // A link planted in its place is not followed, and no FIFO can hold us.
    return SafeFile::read_regular_nofollow((base + "/" + name).c_str(), CAP, text);
}

bool write(const char *name, const std::string &text)
{
    std::string base = dir();
    if (base.empty() || !make_dirs(base))
        return false;
    std::string path = base + "/" + name;
    std::string temp = base + "/." + name + ".XXXXXX";
    int fd = mkstemp(&temp[0]);
    if (fd < 0)
        return false;
    bool ok = write_all(fd, text) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    // rename replaces the old file, or a link in its place, in one step.
    if (ok && rename(temp.c_str(), path.c_str()) == 0)
        return true;
    unlink(temp.c_str());
    return false;
}

} // namespace PlayerData
