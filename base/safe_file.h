// Safe file reading: only regular files, never blocking, never more than a cap.
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace SafeFile {

// Reads the whole of a regular file of at most cap bytes into bytes. A link is followed
// only to a regular file; a FIFO, a device, a directory or a longer file is an error, and
// no open or read ever waits on one. On failure bytes is empty, reason (when given) says
// why without the path, and errno tells the cause (ENOENT: nothing there).
bool read_regular(const char *path, std::size_t cap, std::string &bytes, std::string *reason = nullptr);
// The same for a name anybody may have planted: a link there is an error, not followed.
bool read_regular_nofollow(const char *path, std::size_t cap, std::string &bytes, std::string *reason = nullptr);
// The first count bytes of such a file (all of a shorter one), a link not followed.
bool read_start_nofollow(const char *path, std::size_t count, std::string &bytes);

// open(2) with O_NONBLOCK and O_CLOEXEC that gives a descriptor only for a regular file
// (O_NOFOLLOW too unless follow_links): -1 with errno set otherwise (EINVAL for a file of
// another kind). The descriptor is blocking again on return.
int open_regular(const char *path, int flags, mode_t mode = 0, bool follow_links = false);

// What went wrong, for a message: the text of errno, "not a regular file" for EINVAL.
std::string describe(int error);

} // namespace SafeFile
