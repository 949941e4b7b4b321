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
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

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

// The directory part of a path ("." for a bare name).
std::string directory_of(const char *file_path)
{
    std::string dir = file_path;
    size_t slash = dir.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : dir.substr(0, slash);
}

std::string base_name_of(const char *file_path)
{
    std::string name = file_path;
    size_t slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

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
    std::string prefix = base_name_of(file_path) + ".";
    DIR *d = opendir(directory_of(file_path).c_str());
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
    int fd = open(directory_of(file_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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

// Nothing can be saved on a read-only file system, whatever the files' modes say: said of
// the table, before any lock or new file is tried.
bool on_read_only_file_system(const char *file_path)
{
    struct statvfs fs;
    return statvfs(directory_of(file_path).c_str(), &fs) == 0 && (fs.f_flag & ST_RDONLY) != 0;
}

constexpr char READ_ONLY_FILE_SYSTEM[] = "the score file is on a read-only file system";

// ---------------------------------------------------------------- the installed table
//
// A table that only the score helper writes (Files::INSTALLED) is kept in versions, in a
// directory that only the helper can enter: "<table>.1", "<table>.2", ..., the newest is the
// table ("<table>" itself, made by an earlier install, counts as version 0). A version is
// written whole into a file of its own and is never changed after; a save links its new
// version to the name after the newest it read, which fails when another save took that
// name first, and then merges again into that one. Nothing is ever locked: a helper stopped
// or frozen at any moment holds up no other, and one killed at any moment leaves at most a
// file nobody reads. Older versions are removed once a newer one is there.

// A temporary file whose helper stopped this long ago is left over: a helper that comes
// back after it is gone writes its version again.
constexpr int LEFT_OVER_SECONDS = 60;
// A version number has at most this many digits: years of saves every millisecond.
constexpr size_t MAX_VERSION_DIGITS = 18;
constexpr char TEMPORARY_INFIX[] = ".tmp-";

struct Versions {
    long long newest = -1;               // -1: no table at all
    std::vector<long long> older;        // versions below the newest
    std::vector<std::string> left_over;  // temporary files of helpers long gone
};

std::string version_path(const char *file_path, long long n)
{
    return n == 0 ? std::string(file_path) : std::string(file_path) + "." + std::to_string(n);
}

// The version a name in the directory holds, or -1 for any other name.
long long version_of(const std::string &name, const std::string &base)
{
    if (name == base)
        return 0;
    if (name.size() <= base.size() + 1 || name.compare(0, base.size(), base) != 0 || name[base.size()] != '.')
        return -1;
    std::string digits = name.substr(base.size() + 1);
    if (digits.size() > MAX_VERSION_DIGITS || digits[0] == '0' ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::stoll(digits);
}

bool list_versions(const char *file_path, Versions &v, int *error)
{
    std::string base = base_name_of(file_path);
    std::string temporary = base + TEMPORARY_INFIX;
    DIR *d = opendir(directory_of(file_path).c_str());
    if (!d) {
        *error = errno;
        return false;
    }
    std::vector<long long> found;
    time_t now = time(nullptr);
    while (dirent *e = readdir(d)) {
        std::string name = e->d_name;
        long long n = version_of(name, base);
        if (n >= 0) {
            found.push_back(n);
        } else if (name.compare(0, temporary.size(), temporary) == 0) {
            struct stat st;
            if (fstatat(dirfd(d), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
                now - st.st_mtime > LEFT_OVER_SECONDS)
                v.left_over.push_back(name);
        }
    }
    closedir(d);
    for (long long n : found)
        v.newest = n > v.newest ? n : v.newest;
    for (long long n : found)
        if (n < v.newest)
            v.older.push_back(n);
    return true;
}

// Removes what a save has made old: the versions below the newest, the temporary files left
// over. A version removed while someone reads it is read whole all the same.
void remove_old(const char *file_path, const Versions &v)
{
    for (long long n : v.older)
        unlink(version_path(file_path, n).c_str());
    std::string dir = directory_of(file_path);
    for (const std::string &name : v.left_over)
        unlink((dir + "/" + name).c_str());
}

// The newest version's bytes (the first MAX_BYTES of a longer file). False with errno
// ENOENT when there is no table; a version removed under the reader by a newer save is
// passed over for that one.
bool read_newest(const char *file_path, Versions &v, std::string &bytes, std::string *reason)
{
    for (int attempt = 0; attempt < 100; attempt++) {
        v = Versions();
        int error = 0;
        if (!list_versions(file_path, v, &error)) {
            if (reason)
                *reason = SafeFile::describe(error);
            errno = error;
            return false;
        }
        if (v.newest < 0) {
            if (reason)
                *reason = SafeFile::describe(ENOENT);
            errno = ENOENT;
            return false;
        }
        if (SafeFile::read_start_nofollow(version_path(file_path, v.newest).c_str(), ScoreFile::MAX_BYTES, bytes,
                                         reason))
            return true;
        if (errno != ENOENT)
            return false;
    }
    if (reason)
        *reason = "the table changes faster than it can be read";
    errno = EAGAIN;
    return false;
}

// Writes text into a new file beside the table and links it as version n: false with errno
// EEXIST when another save has taken that version. The file has no name until it is linked
// (O_TMPFILE), so a helper killed before leaves nothing behind; where the file system has no
// such files, it is made under a temporary name, which a killed helper leaves to be removed
// later.
bool link_version(const char *file_path, long long n, const std::string &text)
{
    std::string version = version_path(file_path, n);
    // Read by the helper alone, whoever's save made it; no one writes a version again.
    int fd = open(directory_of(file_path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0440);
    std::string temp;
    if (fd < 0) {
        temp = std::string(file_path) + TEMPORARY_INFIX + "XXXXXX";
        fd = mkostemp(&temp[0], O_CLOEXEC);
        if (fd < 0)
            return false;
    }
    bool linked = write_all(fd, text.data(), text.size(), 0) && fchmod(fd, 0440) == 0 && fsync(fd) == 0;
    if (linked && temp.empty()) {
        // A file without a name is linked through its descriptor's name in /proc.
        std::string self = "/proc/self/fd/" + std::to_string(fd);
        linked = linkat(AT_FDCWD, self.c_str(), AT_FDCWD, version.c_str(), AT_SYMLINK_FOLLOW) == 0;
    }
    int error = errno;
    linked = close(fd) == 0 && linked;
    if (!temp.empty()) {
        if (linked) {
            linked = link(temp.c_str(), version.c_str()) == 0;
            error = errno;
        }
        unlink(temp.c_str());
    }
    if (linked)
        sync_directory(file_path);
    errno = error;
    return linked;
}

// How many versions a save may try before it gives up: each one it did not get went to
// another save, so only a flood of saves could take this many.
constexpr int MAX_TRIES = 1000;

// The save of an installed table: see the versions above. merge is asked again after every
// version this save links, and the save ends when it leaves the newest as it is: so a
// version linked after a newer one was there (by a helper that stood still meanwhile) is
// passed over, and merged again into the newest. No clock bounds it: a helper that was
// stopped for a while simply goes on.
bool save_installed(const char *path, const ScoreFile::Merge &merge, std::string &saved, std::string *reason)
{
    auto refuse = [&](const std::string &why) {
        if (reason)
            *reason = why;
        return false;
    };
    for (int tries = 0;; tries++) {
        Versions v;
        std::string current, why;
        bool have_current = read_newest(path, v, current, &why);
        if (!have_current && errno != ENOENT)
            return refuse("cannot read " + version_path(path, v.newest < 0 ? 0 : v.newest) + ": " + why);
        std::string merged;
        if (!merge(have_current ? &current : nullptr, merged)) {
            saved = current;
            remove_old(path, v);
            return true;
        }
        if (tries >= MAX_TRIES)
            return refuse("other games kept changing the score file");
        if (on_read_only_file_system(path))
            return refuse(READ_ONLY_FILE_SYSTEM);
        if (!link_version(path, v.newest + 1, merged) && errno != EEXIST)
            return refuse(because(("cannot save " + std::string(path)).c_str(), errno));
    }
}

} // namespace

namespace ScoreFile {

bool read(const char *path, int wait_ms, std::string &bytes, bool *missing, std::string *reason, Files files)
{
    bool read = false;
    int error = 0;
    if (files == Files::INSTALLED) {
        Versions v;
        read = read_newest(path, v, bytes, reason);
        error = errno;
    } else {
        // Without the lock (one stuck, or none to be had) the file is read all the same:
        // only a table rewritten in place can be read half done, and a reader has nothing
        // to lose.
        std::string lock_failed;
        int lock = take_lock(path, wait_ms, LOCK_SH, &lock_failed);
        read = SafeFile::read_start_nofollow(path, MAX_BYTES, bytes, reason);
        error = errno;
        if (lock >= 0)
            close(lock);
    }
    if (missing)
        *missing = !read && error == ENOENT;
    return read;
}

bool save(const char *path, int wait_ms, const Merge &merge, std::string &saved, std::string *reason, Files files)
{
    saved.clear();
    if (files == Files::INSTALLED)
        return save_installed(path, merge, saved, reason);
    if (on_read_only_file_system(path)) {
        if (reason)
            *reason = READ_ONLY_FILE_SYSTEM;
        return false;
    }
    std::string why;
    bool saved_now = false;
    // Another game may have saved since this one read the file. Under the lock, it is
    // read again and the caller merges its own into that, so that no game's scores are
    // lost and none is entered twice. Without the lock nothing is written.
    int lock = may_save(path, &why) ? take_lock(path, wait_ms, LOCK_EX, &why, false, made_mode(files)) : -1;
    if (lock >= 0) {
        remove_left_over_tables(path);
        std::string current, failed;
        // A table grown past the size of one by someone else gives the entries it begins
        // with, and the save puts a table of the right size in its place.
        bool have_current = SafeFile::read_start_nofollow(path, MAX_BYTES, current, &failed);
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
