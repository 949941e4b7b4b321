// Player names: what a typed name becomes in the table, how wide it shows, and the name
// the game offers before the player types one.
#pragma once

#include <cstddef>
#include <string>

namespace PlayerName {

// A name holds no control characters and no format or separator characters (Unicode
// categories Cf, Zl and Zp: the bidirectional controls, joiners, line and paragraph
// separators), which could disguise the rows of a table that shows it.

// The name as the table keeps it: up to its first newline, without the characters a name
// does not hold or bytes that are not UTF-8, cut after the last whole character that fits
// the file's 20-byte name field, without blanks at its end.
std::string clean(const char *typed);
// What the name entry takes of text offered to it (length bytes) when room bytes are left:
// the characters a name holds, up to the first one that would not fit whole.
std::string entry_text(const char *offered, std::size_t length, std::size_t room);
// Whether the table can hold the name as it stands: at most 20 bytes of valid UTF-8
// holding only what a name holds. False with the reason otherwise.
bool check(const std::string &name, std::string *reason);
// How many bytes of text[0, length) fit into room bytes without splitting a character.
std::size_t fitting_length(const char *text, std::size_t length, std::size_t room);
// The columns a fixed-width font gives the text (CharClass::text_width): 0 for combining
// marks, 2 for wide (East Asian) characters and emoji, 1 for the rest, a byte that is not
// UTF-8 included.
int display_width(const char *text);

// The name Enter Name comes up with: the last one entered (in this run or an earlier
// one), else the account's full name, else its login name; cleaned, possibly empty.
std::string initial();
// Keeps a confirmed name for the next Enter Name; an empty one is not kept.
void remember(const char *name);

} // namespace PlayerName
