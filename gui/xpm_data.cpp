// XPM pictures read safely: the C strings of the file, checked against the values line.
#include "gui/xpm_data.h"

#include "base/data_dir.h"
#include "base/safe_file.h"

#include <cstdint>
#include <unordered_map>

namespace {

// Skips white space, commas and comments; false at an unclosed comment.
bool skip_between(const std::string &text, std::size_t &p)
{
    while (p < text.size()) {
        char c = text[p];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == ',') {
            p++;
        } else if (text.compare(p, 2, "/*") == 0) {
            std::size_t end = text.find("*/", p + 2);
            if (end == std::string::npos)
                return false;
            p = end + 2;
        } else {
            break;
        }
    }
    return true;
}

// The C string starting at the quote at p; p moves past its closing quote.
bool read_string(const std::string &text, std::size_t &p, std::string &out)
{
    out.clear();
    for (p++; p < text.size(); p++) {
        char c = text[p];
        if (c == '"') {
            p++;
            return true;
        }
        if (c == '\n' || c == '\0')
            return false;
        if (c == '\\') {
            // Only the escapes a picture's characters can need.
            if (++p >= text.size() || (text[p] != '\\' && text[p] != '"'))
                return false;
            c = text[p];
        }
        out += c;
    }
    return false;
}

// A whole number of at most 9 digits from the values line; p moves past it.
bool read_number(const std::string &line, std::size_t &p, long &out)
{
    while (p < line.size() && (line[p] == ' ' || line[p] == '\t'))
        p++;
    std::size_t start = p;
    out = 0;
    while (p < line.size() && line[p] >= '0' && line[p] <= '9' && p - start < 9)
        out = out * 10 + (line[p++] - '0');
    return p > start && (p == line.size() || line[p] == ' ' || line[p] == '\t');
}

// The values line: width, height, colours and characters a pixel, each within bounds.
bool read_values(const std::string &values, long &width, long &height, long &colours, long &chars)
{
    std::size_t q = 0;
    return read_number(values, q, width) && read_number(values, q, height) && read_number(values, q, colours) &&
           read_number(values, q, chars) && width >= 1 && width <= XpmData::MAX_SIDE && height >= 1 &&
           height <= XpmData::MAX_SIDE && chars >= 1 && chars <= 4 && colours >= 1;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// The words of a colour line after its pixel's characters.
std::vector<std::string> words_of(const std::string &line, std::size_t from)
{
    std::vector<std::string> words;
    std::size_t p = from;
    for (;;) {
        while (p < line.size() && is_blank(line[p]))
            p++;
        if (p >= line.size())
            return words;
        std::size_t start = p;
        while (p < line.size() && !is_blank(line[p]))
            p++;
        words.push_back(line.substr(start, p - start));
    }
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A colour as red, green, blue and alpha in one word (red in the lowest byte); false for a
// colour that is not "None" or a number.
bool colour_value(const std::string &colour, std::uint32_t &rgba)
{
    if (colour == "None" || colour == "none") {
        rgba = 0;
        return true;
    }
    if (colour.size() < 4 || colour[0] != '#')
        return false;
    std::size_t digits = colour.size() - 1;
    if (digits % 3 != 0 || digits > 12)
        return false;
    for (std::size_t i = 1; i < colour.size(); i++)
        if (hex_digit(colour[i]) < 0)
            return false;
    std::size_t each = digits / 3;
    std::uint32_t value = 0;
    for (std::size_t channel = 0; channel < 3; channel++) {
        // The channel's top eight bits; a single digit stands for itself twice (#f00 is red).
        int high = hex_digit(colour[1 + channel * each]);
        int low = each == 1 ? high : hex_digit(colour[2 + channel * each]);
        value |= static_cast<std::uint32_t>(high * 16 + low) << (8 * channel);
    }
    rgba = value | 0xFF000000u;
    return true;
}

// The colour a colour line gives for the display of colours: its "c" value, else the one
// for grey or mono displays. The keys and the values alternate.
bool line_colour(const std::string &line, std::size_t chars, std::uint32_t &rgba)
{
    std::vector<std::string> words = words_of(line, chars);
    const char *const keys[] = {"c", "g", "g4", "m"};
    for (const char *key : keys)
        for (std::size_t i = 0; i + 1 < words.size(); i += 2)
            if (words[i] == key)
                return colour_value(words[i + 1], rgba);
    return false;
}

} // namespace

namespace XpmData {

bool parse(const std::string &text, std::vector<std::string> &strings, std::string *reason)
{
    auto refuse = [&](const char *why) {
        strings.clear();
        if (reason)
            *reason = why;
        return false;
    };
    strings.clear();
    std::size_t p = text.find('{');
    if (text.compare(0, 9, "/* XPM */") != 0 || p == std::string::npos)
        return refuse("not an XPM picture");
    p++;
    std::string s;
    for (;;) {
        if (!skip_between(text, p) || p >= text.size())
            return refuse("its text ends before the picture does");
        if (text[p] == '}')
            break;
        if (text[p] != '"' || !read_string(text, p, s))
            return refuse("a string of the picture is malformed");
        strings.push_back(s);
    }
    if (strings.empty())
        return refuse("the picture holds no strings");
    long width, height, colours, chars;
    std::size_t q = 0;
    const std::string &values = strings[0];
    if (!read_number(values, q, width) || !read_number(values, q, height) || !read_number(values, q, colours) ||
        !read_number(values, q, chars))
        return refuse("its values line is not four whole numbers");
    if (width < 1 || width > MAX_SIDE || height < 1 || height > MAX_SIDE || chars < 1 || chars > 4 || colours < 1)
        return refuse("its size or its characters per pixel are out of range");
    if (strings.size() < static_cast<std::size_t>(1 + colours + height))
        return refuse("it holds fewer colours and rows than its values line says");
    for (long i = 1; i <= colours; i++)
        if (strings[static_cast<std::size_t>(i)].size() < static_cast<std::size_t>(chars) + 2)
            return refuse("a colour line is too short");
    for (long y = 0; y < height; y++)
        if (strings[static_cast<std::size_t>(1 + colours + y)].size() != static_cast<std::size_t>(width * chars))
            return refuse("a row is not as wide as the picture");
    return true;
}

std::string picture_path(const char *name) { return std::string(DataDir::path()) + "/pixmaps/" + name + ".xpm"; }

bool decode(const std::vector<std::string> &strings, Pixels &pixels)
{
    pixels = Pixels();
    long width, height, colours, chars;
    if (strings.empty() || !read_values(strings[0], width, height, colours, chars) ||
        strings.size() < static_cast<std::size_t>(1 + colours + height))
        return false;
    const std::size_t per_pixel = static_cast<std::size_t>(chars);
    std::unordered_map<std::string, std::uint32_t> table;
    for (long i = 1; i <= colours; i++) {
        const std::string &line = strings[static_cast<std::size_t>(i)];
        std::uint32_t rgba = 0;
        if (line.size() < per_pixel || !line_colour(line, per_pixel, rgba))
            return false;
        table[line.substr(0, per_pixel)] = rgba;
    }
    pixels.width = static_cast<int>(width);
    pixels.height = static_cast<int>(height);
    pixels.rgba.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    unsigned char *out = pixels.rgba.data();
    std::string key(per_pixel, ' ');
    for (long y = 0; y < height; y++) {
        const std::string &row = strings[static_cast<std::size_t>(1 + colours + y)];
        if (row.size() != static_cast<std::size_t>(width) * per_pixel)
            return false;
        for (long x = 0; x < width; x++) {
            key.assign(row, static_cast<std::size_t>(x) * per_pixel, per_pixel);
            auto found = table.find(key);
            if (found == table.end())
                return false;
            for (int channel = 0; channel < 4; channel++)
                *out++ = static_cast<unsigned char>(found->second >> (8 * channel));
        }
    }
    return true;
}

bool load(const char *path, std::vector<std::string> &strings, std::string *reason)
{
    strings.clear();
    std::string text;
    return SafeFile::read_regular(path, MAX_FILE_BYTES, text, reason) && parse(text, strings, reason);
}

} // namespace XpmData
