// DataDir: the installed data directory, or the working directory when it is not there.
#include "base/data_dir.h"

#include "base/install_paths.h"

#include <sys/stat.h>

namespace DataDir {

const char *path()
{
    // Only whether the installed directory exists counts; without it every file of the
    // game comes from below the working directory.
    static const char *const dir = [] {
        struct stat info;
        return stat(InstallPaths::DATA_DIR, &info) == 0 ? InstallPaths::DATA_DIR : ".";
    }();
    return dir;
}

} // namespace DataDir
