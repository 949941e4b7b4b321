// Reading XPM files as text.
#include "tests/xpm_file.h"

#include <fstream>
#include <sstream>

namespace XpmFile {

std::vector<std::string> strings(const std::string &text)
{
    std::vector<std::string> out;
    size_t i = text.find('{');
    if (i == std::string::npos)
        return out;
    while (i < text.size()) {
        if (text.compare(i, 2, "/*") == 0) {
            size_t end = text.find("*/", i + 2);
            if (end == std::string::npos)
                break;
            i = end + 2;
        } else if (text[i] == '"') {
            size_t end = text.find('"', i + 1);
            if (end == std::string::npos)
                break;
            out.push_back(text.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            ++i;
        }
    }
    return out;
}

bool size(const std::string &path, int *width, int *height)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();
    std::vector<std::string> literals = strings(text.str());
    if (literals.empty())
        return false;
    std::istringstream header(literals[0]);
    return static_cast<bool>(header >> *width >> *height);
}

} // namespace XpmFile
