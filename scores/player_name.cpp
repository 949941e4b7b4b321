// Player names: cleaning, fitting, display width, and the remembered name.
#include "scores/player_name.h"

#include "base/player_data.h"
#include "scores/high_scores.h"

#include <cstring>
#include <pwd.h>
#include <unistd.h>

namespace {

// The file in the player's data directory that holds the last name entered.
const char NAME_FILE[] = "name";

bool continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The character at text[0, left): its code point and byte count, or false for a byte that
// does not start a well-formed UTF-8 character (overlong forms and surrogates included).
bool decode(const unsigned char *text, std::size_t left, unsigned *code, std::size_t *bytes)
{
    unsigned char c = text[0];
    std::size_t n;
    unsigned min;
    if (c < 0x80) {
        *code = c;
        *bytes = 1;
        return true;
    }
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        min = 0x80;
        *code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        min = 0x800;
        *code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        min = 0x10000;
        *code = c & 0x07;
    } else {
        return false;
    }
    if (left < n)
        return false;
    for (std::size_t i = 1; i < n; i++) {
        if (!continuation(text[i]))
            return false;
        *code = (*code << 6) | (text[i] & 0x3F);
    }
    if (*code < min || *code > 0x10FFFF || (*code >= 0xD800 && *code <= 0xDFFF))
        return false;
    *bytes = n;
    return true;
}

// C0 and C1 controls and DEL: a newline or an escape would break the table's lines or a
// terminal that shows it.
bool control(unsigned code) { return code < 0x20 || (code >= 0x7F && code <= 0x9F); }

bool in(unsigned code, const unsigned (*ranges)[2], std::size_t count)
{
    for (std::size_t i = 0; i < count; i++)
        if (code >= ranges[i][0] && code <= ranges[i][1])
            return true;
    return false;
}

// Marks drawn over the character before them, and the invisible joiners and selectors.
const unsigned ZERO_WIDTH[][2] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A}, {0x064B, 0x065F},
    {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x200B, 0x200F}, {0x20D0, 0x20FF}, {0xFE00, 0xFE0F},
    {0xFE20, 0xFE2F},
};
// East Asian wide and full-width characters, and the pictographs.
const unsigned DOUBLE_WIDTH[][2] = {
    {0x1100, 0x115F}, {0x2E80, 0x303E}, {0x3041, 0x33FF}, {0x3400, 0x4DBF}, {0x4E00, 0x9FFF},
    {0xA000, 0xA4CF}, {0xAC00, 0xD7A3}, {0xF900, 0xFAFF}, {0xFE30, 0xFE4F}, {0xFF00, 0xFF60},
    {0xFFE0, 0xFFE6}, {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x3FFFD},
};

} // namespace

namespace PlayerName {

std::string clean(const char *typed)
{
    std::string name;
    if (!typed)
        return name;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(typed);
    std::size_t left = strlen(typed);
    while (left > 0 && *p != '\n') {
        unsigned code = 0;
        std::size_t bytes = 1;
        if (decode(p, left, &code, &bytes) && !control(code)) {
            if (name.size() + bytes > static_cast<std::size_t>(HIGH_SCORE_NAME_MAX))
                break;
            name.append(reinterpret_cast<const char *>(p), bytes);
        }
        p += bytes;
        left -= bytes;
    }
    // The file pads names with blanks, so blanks at the end could not be told from the
    // padding when the table is read back: they go now.
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

bool check(const std::string &name, std::string *reason)
{
    auto refuse = [&](const char *why) {
        if (reason)
            *reason = why;
        return false;
    };
    if (name.size() > static_cast<std::size_t>(HIGH_SCORE_NAME_MAX))
        return refuse("the name is longer than 20 bytes");
    const unsigned char *p = reinterpret_cast<const unsigned char *>(name.data());
    for (std::size_t i = 0; i < name.size();) {
        unsigned code = 0;
        std::size_t bytes = 1;
        if (!decode(p + i, name.size() - i, &code, &bytes))
            return refuse("the name is not valid UTF-8");
        if (control(code))
            return refuse("the name holds a control character");
        i += bytes;
    }
    return true;
}

std::size_t fitting_length(const char *text, std::size_t length, std::size_t room)
{
    std::size_t used = 0;
    while (used < length) {
        std::size_t bytes = 1;
        while (used + bytes < length && continuation(static_cast<unsigned char>(text[used + bytes])))
            bytes++;
        if (used + bytes > room)
            break;
        used += bytes;
    }
    return used;
}

int display_width(const char *text)
{
    if (!text)
        return 0;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    std::size_t left = strlen(text);
    int width = 0;
    while (left > 0) {
        unsigned code = 0;
        std::size_t bytes = 1;
        if (!decode(p, left, &code, &bytes))
            width += 1;
        else if (in(code, ZERO_WIDTH, sizeof ZERO_WIDTH / sizeof ZERO_WIDTH[0]))
            width += 0;
        else if (in(code, DOUBLE_WIDTH, sizeof DOUBLE_WIDTH / sizeof DOUBLE_WIDTH[0]))
            width += 2;
        else
            width += 1;
        p += bytes;
        left -= bytes;
    }
    return width;
}

std::string initial()
{
    std::string text;
    if (PlayerData::read(NAME_FILE, text)) {
        std::string name = clean(text.c_str());
        if (!name.empty())
            return name;
    }
    const passwd *account = getpwuid(getuid());
    if (!account)
        return "";
    // The full name is the first field of the comment; the others are rooms and phones.
    if (account->pw_gecos) {
        std::string full = account->pw_gecos;
        std::string name = clean(full.substr(0, full.find(',')).c_str());
        if (!name.empty())
            return name;
    }
    return clean(account->pw_name);
}

void remember(const char *name)
{
    std::string kept = clean(name);
    if (!kept.empty())
        PlayerData::write(NAME_FILE, kept + "\n");
}

} // namespace PlayerName
