// Character classes: UTF-8 decoding and the lookups in the table generated from GLib.
#include "base/char_class.h"

#include <climits>

namespace {

struct Range {
    char32_t first, last;
    unsigned char width;
    bool format;
};

// Sorted, not overlapping; characters outside every range take one column and are not
// format or separator characters.
constexpr Range RANGES[] = {
#include "base/char_class_table.inc"
};

// The range holding code, or null.
const Range *find(char32_t code)
{
    std::size_t low = 0, high = sizeof RANGES / sizeof RANGES[0];
    while (low < high) {
        std::size_t middle = low + (high - low) / 2;
        if (RANGES[middle].last < code)
            low = middle + 1;
        else if (RANGES[middle].first > code)
            high = middle;
        else
            return &RANGES[middle];
    }
    return nullptr;
}

constexpr char32_t EMOJI_PRESENTATION = 0xFE0F;

} // namespace

namespace CharClass {

bool decode(const unsigned char *text, std::size_t left, char32_t *code, std::size_t *bytes)
{
    unsigned char c = text[0];
    std::size_t n;
    char32_t min;
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
        if ((text[i] & 0xC0) != 0x80)
            return false;
        *code = (*code << 6) | (text[i] & 0x3F);
    }
    if (*code < min || *code > 0x10FFFF || (*code >= 0xD800 && *code <= 0xDFFF))
        return false;
    *bytes = n;
    return true;
}

int width(char32_t code)
{
    const Range *r = find(code);
    return r ? r->width : 1;
}

bool format_or_separator(char32_t code)
{
    const Range *r = find(code);
    return r && r->format;
}

bool control(char32_t code) { return code < 0x20 || (code >= 0x7F && code <= 0x9F); }

int text_width(const char *text, std::size_t length)
{
    if (!text)
        return 0;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    int columns = 0;
    while (length > 0) {
        char32_t code = 0;
        std::size_t bytes = 1;
        int w = decode(p, length, &code, &bytes) ? width(code) : 1;
        // A one-column character followed by the emoji selector shows as an emoji.
        char32_t next = 0;
        std::size_t next_bytes = 0;
        if (w == 1 && length > bytes && decode(p + bytes, length - bytes, &next, &next_bytes) &&
            next == EMOJI_PRESENTATION)
            w = 2;
        if (columns > INT_MAX - w)
            break;
        columns += w;
        p += bytes;
        length -= bytes;
    }
    return columns;
}

} // namespace CharClass
