// DataDir: where the program reads its pictures (pixmaps/) and sounds (sounds/) from.
#pragma once

namespace DataDir {

// The installed data directory when it exists, else "." (the game run from its checkout).
// Decided on the first call, on the program's thread, and kept.
const char *path();

} // namespace DataDir
