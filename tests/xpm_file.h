// The committed XPM pictures as text: their string literals and the size in their header.
// One reader for the recording fake, the benchmarks' null back end and the end-to-end checks.
#pragma once

#include <string>
#include <vector>

namespace XpmFile {

// The C string literals of an XPM file's text, in order, comments skipped.
std::vector<std::string> strings(const std::string &text);
// Width and height from the header of the XPM file at path; false when it cannot be read.
bool size(const std::string &path, int *width, int *height);

} // namespace XpmFile
