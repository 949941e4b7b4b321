// Player names: cleaning, fitting, display width, and the remembered name.
#include "scores/player_name.h"

#include "base/char_class.h"
#include "base/player_data.h"
#include "scores/high_scores.h"

#include <cstring>
#include <pwd.h>
#include <unistd.h>

namespace {

// The file in the player's data directory that holds the last name entered.
const char NAME_FILE[] = "name";

bool continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// What a name may hold: no controls (a newline or an escape would break the table's lines
// or a terminal that shows it), and no format or separator characters (a right-to-left
// override would show the rest of the row backwards, a line separator a row of its own).
bool name_holds(char32_t code) { return !CharClass::control(code) && !CharClass::format_or_separator(code); }

// Appends to name the characters of text[0, length) that a name holds, up to the first
// one that would take it past room bytes; bytes that are not UTF-8 are dropped.
void append_kept(std::string &name, const char *text, std::size_t length, std::size_t room)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    while (length > 0) {
        char32_t code = 0;
        std::size_t bytes = 1;
        if (CharClass::decode(p, length, &code, &bytes) && name_holds(code)) {
            if (name.size() + bytes > room)
                break;
            name.append(reinterpret_cast<const char *>(p), bytes);
        }
        p += bytes;
        length -= bytes;
    }
}

} // namespace

namespace PlayerName {

std::string clean(const char *typed)
{
    std::string name;
    if (!typed)
        return name;
    const char *newline = strchr(typed, '\n');
    append_kept(name, typed, newline ? static_cast<std::size_t>(newline - typed) : strlen(typed),
                static_cast<std::size_t>(HIGH_SCORE_NAME_MAX));
    // The file pads names with blanks, so blanks at the end could not be told from the
    // padding when the table is read back: they go now.
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

std::string entry_text(const char *offered, std::size_t length, std::size_t room)
{
    std::string taken;
    if (offered)
        append_kept(taken, offered, length, room);
    return taken;
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
        char32_t code = 0;
        std::size_t bytes = 1;
        if (!CharClass::decode(p + i, name.size() - i, &code, &bytes))
            return refuse("the name is not valid UTF-8");
        if (CharClass::control(code))
            return refuse("the name holds a control character");
        if (CharClass::format_or_separator(code))
            return refuse("the name holds a format or separator character");
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

int display_width(const char *text) { return text ? CharClass::text_width(text, strlen(text)) : 0; }

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
