// XPM pictures read safely for the back ends: the file is read as SafeFile reads it, and
// its strings are checked to make a whole picture before any toolkit decodes them. A back
// end without a decoder of its own (the browser's) has them decoded here.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace XpmData {

// The largest picture file read; the game's largest is about 50 KiB.
constexpr std::size_t MAX_FILE_BYTES = 4u << 20;
// The largest picture side, in pixels.
constexpr int MAX_SIDE = 8192;

// The strings of the XPM file at path, in order: the values line, the colours, the pixel
// rows (and any extension lines). False when the file is not a regular file of at most
// MAX_FILE_BYTES (a link is followed to a regular file only; nothing ever waits on a FIFO
// or a device), or its text is not a whole picture: every colour and every row there, each
// row exactly as long as the width says, no side over MAX_SIDE. reason, when given, says
// why not (without the path).
bool load(const char *path, std::vector<std::string> &strings, std::string *reason = nullptr);
// The same check on a file's text.
bool parse(const std::string &text, std::vector<std::string> &strings, std::string *reason = nullptr);

// The file of the picture called name: <data dir>/pixmaps/<name>.xpm.
std::string picture_path(const char *name);

// A picture's pixels: rows from the top, four bytes a pixel (red, green, blue, alpha), the
// alpha 0 where the picture is clear and 255 everywhere else.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgba;
};
// Decodes the strings of a whole picture (as load gives them). Colours are "None" or
// numbers (#rgb, #rrggbb, #rrrgggbbb or #rrrrggggbbbb), the visual's ("c") where a colour
// gives several; false for a colour given otherwise, or a pixel with no colour.
bool decode(const std::vector<std::string> &strings, Pixels &pixels);

} // namespace XpmData
