// PlayerData in the browser: the player's small files are items of the site's storage
// (base/web_storage.h), named by their paths, so they outlast the page as the desktop's
// files outlast the process. The directory itself is one of the page's memory: what other
// modules write there as files (the recorded games) lasts as long as the page.
#include "base/player_data.h"

#include "base/web_storage.h"

#include <cstdlib>
#include <sys/stat.h>

namespace PlayerData {

// Apart from the data directory that the site packs (/glimpwatch), so that the player's
// files never mix with the game's own: glimpwatch-player below the working directory,
// the root of the page's files. A page has no environment of its own; the tests under
// node give each test one, whose XDG_DATA_HOME keeps its files apart from the others'.
std::string dir()
{
    const char *data = getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')
        return std::string(data) + "/glimpwatch";
    return "glimpwatch-player";
}

std::string path(const char *name) { return dir() + "/" + name; }

// The directory and its missing parents: where other modules write files.
bool make_dir()
{
    std::string path = dir();
    struct stat st;
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        std::string part = path.substr(0, end);
        if (mkdir(part.c_str(), 0700) != 0 && !(stat(part.c_str(), &st) == 0 && S_ISDIR(st.st_mode)))
            return false;
        if (end == std::string::npos)
            return true;
    }
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
