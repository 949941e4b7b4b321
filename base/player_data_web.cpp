// PlayerData in the browser: the player's small files are items of the site's storage
// (base/web_storage.h), named glimpwatch/<name>, so they outlast the page as the desktop's
// files outlast the process.
#include "base/player_data.h"

#include "base/web_storage.h"

namespace PlayerData {

std::string dir() { return "glimpwatch"; }

std::string path(const char *name) { return dir() + "/" + name; }

// Nothing to make: a refused write says what went wrong.
bool make_dir() { return true; }

bool read(const char *name, std::string &text)
{
    if (!WebStorage::get(path(name), text))
        return false;
    if (text.size() > MAX_BYTES) {
        text.clear();
        return false;
    }
    return true;
}

bool write(const char *name, const std::string &text) { return WebStorage::set(path(name), text); }

} // namespace PlayerData
