// Character classes of Unicode text: UTF-8 decoding, the columns a character takes in a
// fixed-width font, and the format and separator characters that a one-line text never
// holds. The classes come from GLib through a generated table (tools/char_class_table.cpp),
// so the game, the score helper and the browser build share them without linking GLib.
#pragma once

#include <cstddef>

namespace CharClass {

// The character at text[0, left): its code point and byte count; false for a byte that
// does not start a well-formed UTF-8 character (overlong forms and surrogates included).
bool decode(const unsigned char *text, std::size_t left, char32_t *code, std::size_t *bytes);

// Columns in a fixed-width font: 0 for combining marks and invisible characters, 2 for
// East Asian wide and full-width characters and those shown as emoji by default, 1 for
// the rest.
int width(char32_t code);

// Format and separator characters (Unicode categories Cf, Zl and Zp): the bidirectional
// controls that reorder what follows them, joiners, the line and paragraph separators.
bool format_or_separator(char32_t code);

// C0 and C1 controls and DEL.
bool control(char32_t code);

// The columns of a UTF-8 text: the sum of its characters' widths, two for a character
// asked to show as emoji (followed by U+FE0F), one for a byte that is not UTF-8.
int text_width(const char *text, std::size_t length);

} // namespace CharClass
