// PlayerData in the browser: the player's small files are items of the site's storage
// (base/web_storage.h), named by their paths, so they outlast the page as the desktop's
// files outlast the process. The directory itself is one of the page's memory: what other
// modules write there as files (the recorded games) lasts as long as the page.
#include "base/player_data.h"

#include "base/web_storage.h"

#include <sys/stat.h>

namespace PlayerData {

// Apart from the data directory that the site packs (/glimpwatch), so that the player's
// files never mix with the game's own.
std::string dir() { return "/glimpwatch-player"; }

std::string path(const char *name) { return dir() + "/" + name; }

bool make_dir()
{
    struct stat st;
    return mkdir(dir().c_str(), 0700) == 0 || (stat(dir().c_str(), &st) == 0 && S_ISDIR(st.st_mode));
}

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
