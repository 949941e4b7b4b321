// Safe file reading: only regular files, never blocking, never more than a cap.
#include "base/safe_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// At most cap bytes: with whole, a longer file is an error; without, its start is read.
bool read_file(const char *path, std::size_t cap, bool follow_links, bool whole, std::string &bytes,
               std::string *reason)
{
    bytes.clear();
    int fd = SafeFile::open_regular(path, O_RDONLY, 0, follow_links);
    if (fd < 0) {
        int error = errno;
        if (reason)
            *reason = !follow_links && error == ELOOP ? "a symbolic link" : SafeFile::describe(error);
        errno = error;
        return false;
    }
    // One byte past the cap tells a file at the cap from a longer one.
    std::size_t limit = whole ? cap + 1 : cap;
    char buf[4096];
    int error = 0;
    while (bytes.size() < limit) {
        std::size_t want = limit - bytes.size();
        ssize_t n = ::read(fd, buf, want < sizeof buf ? want : sizeof buf);
        if (n > 0) {
            bytes.append(buf, static_cast<std::size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            error = errno;
            break;
        }
    }
    close(fd);
    if (!error && bytes.size() > cap)
        error = EFBIG;
    if (!error)
        return true;
    bytes.clear();
    if (reason)
        *reason = error == EFBIG ? "larger than " + std::to_string(cap) + " bytes" : SafeFile::describe(error);
    errno = error;
    return false;
}

} // namespace

namespace SafeFile {

int open_regular(const char *path, int flags, mode_t mode, bool follow_links)
{
    // Looked at before it is opened: opening a device can do something by itself.
    struct stat named;
    int looked = follow_links ? stat(path, &named) : lstat(path, &named);
    if (looked == 0 && !S_ISREG(named.st_mode)) {
        errno = !follow_links && S_ISLNK(named.st_mode) ? ELOOP : EINVAL;
        return -1;
    }
    if (looked != 0 && (errno != ENOENT || !(flags & O_CREAT)))
        return -1;
    // Non-blocking, so that a FIFO put there in the meantime cannot make the open wait.
    int fd = open(path, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (follow_links ? 0 : O_NOFOLLOW), mode);
    if (fd < 0)
        return -1;
    struct stat opened;
    if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        close(fd);
        errno = EINVAL;
        return -1;
    }
    int status = fcntl(fd, F_GETFL);
    if (status != -1)
        fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    return fd;
}

bool read_regular(const char *path, std::size_t cap, std::string &bytes, std::string *reason)
{
    return read_file(path, cap, true, true, bytes, reason);
}

bool read_regular_nofollow(const char *path, std::size_t cap, std::string &bytes, std::string *reason)
{
    return read_file(path, cap, false, true, bytes, reason);
}

bool read_start_nofollow(const char *path, std::size_t count, std::string &bytes)
{
    return read_file(path, count, false, false, bytes, nullptr);
}

std::string describe(int error)
{
    if (error == EINVAL)
        return "not a regular file";
    return strerror(error);
}

} // namespace SafeFile
