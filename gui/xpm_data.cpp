// XPM pictures read safely: the C strings of the file, checked against the values line.
#include "gui/xpm_data.h"

#include "base/safe_file.h"

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

bool load(const char *path, std::vector<std::string> &strings, std::string *reason)
{
    strings.clear();
    std::string text;
    return SafeFile::read_regular(path, MAX_FILE_BYTES, text, reason) && parse(text, strings, reason);
}

} // namespace XpmData
