// Score file storage: the file of a table that every player's game shares. It knows bytes
// and paths, not entries: the lock, the fresh read under it, the merge a caller gives, the
// replacement in one step and the file's permissions.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace ScoreFile {

// A table is ten lines of at most 45 bytes; a file longer than this is not one.
constexpr std::size_t MAX_BYTES = 64 * 1024;

// The lock file that every game locks around its use of the table file at path.
inline std::string lock_path(const char *path) { return std::string(path) + ".lock"; }

// Who writes the table's files.
enum class Files {
    // Every player's game: a save makes a new file beside the table and renames it over
    // the table (mode 0666), or rewrites the table in place where the directory takes no
    // new file; the lock file is made when missing.
    ANY_PLAYER,
    // Only the score helper, in a directory that only it may enter: the table is kept in
    // versions "<path>.1", "<path>.2", ... (path itself, from an earlier install, counts as
    // version 0), the newest one is the table. Nothing is locked: a save links its new
    // version to the next number, which fails when another save took it first, and merges
    // again. A merge must therefore leave the table as it is once what it adds is in it
    // (results carry ids). A version is never changed; older ones are removed.
    INSTALLED,
    // The player's own table, in the player's data directory: as ANY_PLAYER, but the
    // table and its lock file are made mode 0600.
    PLAYERS_OWN,
};

// The file's bytes, read under a shared lock so that a table being rewritten in place is
// never read half done (waiting at most wait_ms for a save to end, then reading without
// it); an installed table's newest version, without a lock. Only the first MAX_BYTES of a
// longer file. False when it is missing or cannot be read: *missing says which, reason why.
bool read(const char *path, int wait_ms, std::string &bytes, bool *missing = nullptr,
          std::string *reason = nullptr, Files files = Files::ANY_PLAYER);

// What a save makes of the file: given its bytes as they are under the lock (null when
// there is no file), returns true with the bytes to put in its place, or false to leave
// it as it is.
using Merge = std::function<bool(const std::string *current, std::string &merged)>;

// Saves under the exclusive lock (waiting at most wait_ms): reads the file again, merges,
// and puts the merged bytes at path in one step, mode 0666 (0600 for PLAYERS_OWN; rewritten
// in place where the directory takes no new file). Nothing is written without the lock, over a file that
// cannot be read, or over one that is read-only, a link or not a regular file. An installed
// table takes a new version instead, as above, and waits for nothing. True when
// the file holds what merge made of it, with those bytes in saved (the file's own when
// merge left it, empty when there is none); false with a short reason for the player.
bool save(const char *path, int wait_ms, const Merge &merge, std::string &saved, std::string *reason = nullptr,
          Files files = Files::ANY_PLAYER);

} // namespace ScoreFile
