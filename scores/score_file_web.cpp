// Score file storage in the browser: the table is an item of the site's storage
// (base/web_storage.h), named by its path. The page runs on one thread and an item is
// read and replaced in one step each, so nothing is ever half written and no lock is
// needed; only two tabs of the game saving at the very same moment could each merge into
// the table as it was before the other's save.
#include "scores/score_file.h"

#include "base/web_storage.h"

namespace {

const char TOO_LARGE[] = "larger than the largest table";

} // namespace

namespace ScoreFile {

bool read(const char *path, int, std::string &bytes, bool *missing, std::string *reason, Files)
{
    bool found = WebStorage::get(path, bytes);
    if (missing)
        *missing = !found;
    if (found && bytes.size() > MAX_BYTES) {
        bytes.clear();
        found = false;
        if (reason)
            *reason = TOO_LARGE;
    } else if (!found && reason) {
        *reason = "no table saved yet";
    }
    return found;
}

bool save(const char *path, int, const Merge &merge, std::string &saved, std::string *reason, Files)
{
    saved.clear();
    std::string current;
    bool have_current = WebStorage::get(path, current);
    // A table that cannot be read is never replaced by one that lacks its entries.
    if (have_current && current.size() > MAX_BYTES) {
        if (reason)
            *reason = std::string("cannot read the score file: ") + TOO_LARGE;
        return false;
    }
    std::string merged;
    if (!merge(have_current ? &current : nullptr, merged)) {
        saved = current;
        return true;
    }
    if (!WebStorage::set(path, merged)) {
        if (reason)
            *reason = "the browser's storage is full";
        return false;
    }
    saved = merged;
    return true;
}

} // namespace ScoreFile
