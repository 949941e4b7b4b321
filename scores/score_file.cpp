// Score file storage: the lock, the fresh read, the replacement in one step, the permissions.
#include "scores/score_file.h"

#include "base/safe_file.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

long long now_ms()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void sleep_ms(int ms)
{
    timespec ts{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&ts, nullptr);
}

// Every player can put anything into the score directory, so no name in it is trusted:
// links are not followed (a planted link could make us read, then publish, or overwrite
// a file of our own), a FIFO cannot make an open wait, and only regular files count.
int open_regular(const char *path, int flags, mode_t mode = 0)
{
    return SafeFile::open_regular(path, flags, mode, false);
}

std::string because(const char *what, int error) { return std::string(what) + ": " + SafeFile::describe(error); }

enum LockFile { OPENED, ABSENT, UNUSABLE };

// The mode of the files a save makes: every player's game replaces a table that all
// share, and a player's own table is theirs alone.
mode_t made_mode(ScoreFile::Files files) { return files == ScoreFile::Files::PLAYERS_OWN ? 0600 : 0666; }

// Opens the lock file, making it first where it is missing and make is set. It is made
// under a name of its own, given its mode (0666 for a shared table) whatever the umask,
// then linked into place, so that no game ever finds it private to its maker; of two
// games making it at once, one does and the other opens it. ABSENT: not there, and not
// made here.
LockFile open_lock_file(const std::string &path, bool make, mode_t mode, int *fd, int *error)
{
    for (;;) {
        *fd = open_regular(path.c_str(), O_RDWR);
        if (*fd < 0 && errno == EACCES)   // flock works on a descriptor for reading too
            *fd = open_regular(path.c_str(), O_RDONLY);
        if (*fd >= 0)
            return OPENED;
        *error = errno;
        if (*error != ENOENT)
            return UNUSABLE;
        if (!make)
            return ABSENT;
        std::string temp = path + ".XXXXXX";
        int made = mkostemp(&temp[0], O_CLOEXEC);
        if (made < 0) {
            *error = errno;
            return ABSENT;
        }
        bool linked = fchmod(made, mode) == 0 && link(temp.c_str(), path.c_str()) == 0;
        *error = errno;
        unlink(temp.c_str());
        if (linked) {
            *fd = made;
            return OPENED;
        }
        close(made);
        if (*error != EEXIST)
            return UNUSABLE;
    }
}

// An flock (LOCK_EX or LOCK_SH) that every game takes around its use of the score file.
// It is held on "<file>.lock", which nobody replaces; a lock on the score file itself
// would be lost to the next writer, whose rename puts a new file in its place. Where there
// is no lock file and none can be made, the score file itself is locked: a directory that
// takes no new lock file takes no renamed table either, so there the file stays put. A
// lock file that is there but cannot be opened is never passed over for another lock:
// the games that can open it would no longer exclude this one.
// Waits at most wait_ms, then gives up: -1 with the reason. A dead holder is no concern,
// the kernel drops its lock the moment it dies; a stopped one holds it for as long as it
// likes, and nothing is saved meanwhile. With only_lock_file, nothing but the lock file
// is ever locked, and it is never made. A lock file made here gets mode.
int take_lock(const char *file_path, int wait_ms, int operation, std::string *reason, bool only_lock_file = false,
              mode_t mode = 0666)
{
    std::string lock_path = ScoreFile::lock_path(file_path);
    long long deadline = now_ms() + wait_ms;
    for (;;) {
        const char *locked_path = lock_path.c_str();
        int fd = -1, error = 0;
        switch (open_lock_file(lock_path, operation == LOCK_EX && !only_lock_file, mode, &fd, &error)) {
        case OPENED:
            break;
        case UNUSABLE:
            *reason = because("cannot open the lock file", error);
            return -1;
        case ABSENT:
            if (only_lock_file) {
                *reason = because("cannot open the lock file", error);
                return -1;
            }
            locked_path = file_path;
            fd = open_regular(locked_path, O_RDONLY);
            if (fd < 0) {
                *reason = because("cannot make the lock file", error);
                return -1;
            }
            break;
        }
        bool locked;
        while (!(locked = flock(fd, operation | LOCK_NB) == 0) && (errno == EWOULDBLOCK || errno == EINTR) &&
               now_ms() < deadline)
            sleep_ms(5);
        if (!locked) {
            close(fd);
            *reason = "the score file is locked by another game";
            return -1;
        }
        // Removed or replaced while we waited (by hand, or the score file by a save), the
        // file we hold no longer guards its name: lock the one there now.
        struct stat held, named;
        if (fstat(fd, &held) == 0 && lstat(locked_path, &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino)
            return fd;
        close(fd);
        if (now_ms() >= deadline) {
            *reason = "the score file is locked by another game";
            return -1;
        }
    }
}

bool write_all(int fd, const char *text, size_t length, off_t offset)
{
    while (length > 0) {
        ssize_t n = pwrite(fd, text, length, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        text += n;
        length -= static_cast<size_t>(n);
        offset += n;
    }
    return true;
}

// A game killed between making its new table and renaming it leaves the new file behind.
// Every save makes and renames its own under the lock, so while this game holds it, any
// such file beside the table (its name and six characters of mkostemp) is left over.
void remove_left_over_tables(const char *file_path)
{
    std::string path = file_path;
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    std::string prefix = (slash == std::string::npos ? path : path.substr(slash + 1)) + ".";
    DIR *d = opendir(dir.c_str());
    if (!d)
        return;
    while (dirent *e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        bool made_by_mkostemp = true;
        for (size_t i = prefix.size(); i < name.size(); i++) {
            char c = name[i];
            made_by_mkostemp &= (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        }
        struct stat st;
        if (made_by_mkostemp && fstatat(dirfd(d), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode))
            unlinkat(dirfd(d), name.c_str(), 0);
    }
    closedir(d);
}

void sync_directory(const char *file_path)
{
    std::string dir = file_path;
    size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? "." : slash == 0 ? "/" : dir.substr(0, slash);
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

enum Replaced { REPLACED, NO_NEW_FILE, NOT_RENAMED, WRITE_FAILED };

// The whole table goes into a new file beside the score file, which then takes the score
// file's name in one step: a reader, or a game killed at any moment, finds the old table
// or the new one, never a part of either. errno tells why it was not.
Replaced replace_file(const char *file_path, const std::string &text, mode_t mode)
{
    std::string temp = std::string(file_path) + ".XXXXXX";
    int fd = mkostemp(&temp[0], O_CLOEXEC);
    if (fd < 0)
        return NO_NEW_FILE;
    // A shared table gets 0666, the mode it is installed with: the next player's game
    // replaces it.
    bool written = write_all(fd, text.data(), text.size(), 0) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (written && rename(temp.c_str(), file_path) == 0) {
        sync_directory(file_path);
        return REPLACED;
    }
    int error = errno;
    unlink(temp.c_str());
    errno = error;
    return written ? NOT_RENAMED : WRITE_FAILED;
}

// Where no new file can be made beside it, the file is overwritten where it is: the best
// that such a directory allows. Never emptied first, and cut to the new length after.
bool rewrite_in_place(const char *file_path, const std::string &text)
{
    int fd = open_regular(file_path, O_WRONLY);
    if (fd < 0)
        return false;
    bool written = write_all(fd, text.data(), text.size(), 0) &&
                   ftruncate(fd, static_cast<off_t>(text.size())) == 0 && fsync(fd) == 0;
    int error = errno;
    written = close(fd) == 0 && written;
    if (!written)
        errno = error;
    return written;
}

// Whether a save may put a table at the file's name, or why not. A table that this player
// may not write stays as it is, although the directory would let a new one take its place:
// someone made it read-only on purpose (a table with no write permission for anyone is
// read-only to root as well). Nothing but a table is ever replaced, and nothing is made
// where nothing can be saved.
bool may_save(const char *file_path, std::string *reason)
{
    struct stat st;
    if (lstat(file_path, &st) != 0) {
        if (errno == ENOENT)
            return true;
        *reason = because("cannot reach the score file", errno);
        return false;
    }
    if (S_ISLNK(st.st_mode)) {
        *reason = "the score file is a symbolic link";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        *reason = "the score file is not a regular file";
        return false;
    }
    if ((st.st_mode & 0222) == 0 || access(file_path, W_OK) != 0) {
        *reason = "the score file is read-only";
        return false;
    }
    return true;
}

// The save of a table kept in the files the install made (Files::INSTALLED): see save().
bool save_installed(const char *path, int wait_ms, const ScoreFile::Merge &merge, std::string &saved,
                    std::string *reason)
{
    auto refuse = [&](const std::string &why) {
        if (reason)
            *reason = why;
        return false;
    };
    std::string why;
    int lock = take_lock(path, wait_ms, LOCK_EX, &why, true);
    if (lock < 0)
        return refuse(why);
    std::string current;
    if (!SafeFile::read_regular_nofollow(path, ScoreFile::MAX_BYTES, current, &why)) {
        close(lock);
        return refuse("cannot read " + std::string(path) + ": " + why);
    }
    std::string merged;
    if (!merge(&current, merged)) {
        close(lock);
        saved = current;
        return true;
    }
    // The new table goes into the spare, which then trades names with the table: a reader,
    // or a helper killed at any moment, finds the old table or the new one, and both files
    // stay the install's.
    std::string spare = ScoreFile::spare_path(path);
    int fd = open_regular(spare.c_str(), O_WRONLY);
    if (fd < 0) {
        int error = errno;
        close(lock);
        return refuse("cannot open " + spare + ": " + SafeFile::describe(error));
    }
    bool written = write_all(fd, merged.data(), merged.size(), 0) &&
                   ftruncate(fd, static_cast<off_t>(merged.size())) == 0 && fsync(fd) == 0;
    int error = errno;
    written = close(fd) == 0 && written;
    if (!written) {
        close(lock);
        return refuse("cannot write " + spare + ": " + SafeFile::describe(error));
    }
    if (renameat2(AT_FDCWD, spare.c_str(), AT_FDCWD, path, RENAME_EXCHANGE) != 0) {
        error = errno;
        close(lock);
        return refuse("cannot put the new table in place: " + SafeFile::describe(error));
    }
    sync_directory(path);
    close(lock);
    saved = merged;
    return true;
}

} // namespace

namespace ScoreFile {

bool read(const char *path, int wait_ms, std::string &bytes, bool *missing, std::string *reason)
{
    // Without the lock (one stuck, or none to be had) the file is read all the same: only
    // a table rewritten in place can be read half done, and a reader has nothing to lose.
    std::string lock_failed;
    int lock = take_lock(path, wait_ms, LOCK_SH, &lock_failed);
    bool read = SafeFile::read_regular_nofollow(path, MAX_BYTES, bytes, reason);
    int error = errno;
    if (lock >= 0)
        close(lock);
    if (missing)
        *missing = !read && error == ENOENT;
    return read;
}

bool save(const char *path, int wait_ms, const Merge &merge, std::string &saved, std::string *reason, Files files)
{
    saved.clear();
    if (files == Files::INSTALLED)
        return save_installed(path, wait_ms, merge, saved, reason);
    std::string why;
    bool saved_now = false;
    // Another game may have saved since this one read the file. Under the lock, it is
    // read again and the caller merges its own into that, so that no game's scores are
    // lost and none is entered twice. Without the lock nothing is written.
    int lock = may_save(path, &why) ? take_lock(path, wait_ms, LOCK_EX, &why, false, made_mode(files)) : -1;
    if (lock >= 0) {
        remove_left_over_tables(path);
        std::string current, failed;
        bool have_current = SafeFile::read_regular_nofollow(path, MAX_BYTES, current, &failed);
        std::string merged;
        if (!have_current && errno != ENOENT) {
            // A table that cannot be read is never replaced by one that lacks its entries.
            why = "cannot read the score file: " + failed;
        } else if (!merge(have_current ? &current : nullptr, merged)) {
            saved = current;
            saved_now = true;
        } else {
            Replaced replaced = replace_file(path, merged, made_mode(files));
            int error = errno;
            // Not renamed: a directory that lets us make files but not replace this one (a
            // sticky directory, another player's file); it may still let us write into it.
            saved_now = replaced == REPLACED;
            if (!saved_now && replaced != WRITE_FAILED) {
                saved_now = rewrite_in_place(path, merged);
                error = saved_now ? 0 : errno;
            }
            if (saved_now)
                saved = merged;
            else
                why = because("cannot replace the score file", error);
        }
        close(lock);
    }
    if (!saved_now && reason)
        *reason = why;
    return saved_now;
}

} // namespace ScoreFile
