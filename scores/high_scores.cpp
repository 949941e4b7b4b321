// High scores: the ten best results, their file and the dialog text.
#include "scores/high_scores.h"

#include "gui/gui.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef GLIMPWATCH_SCORE_FILE
#define GLIMPWATCH_SCORE_FILE "/usr/local/share/glimpwatch/scores/games/glimpwatch.scores"
#endif

namespace {
HighScoreEntry table[HIGH_SCORE_COUNT];
const char *file_path = GLIMPWATCH_SCORE_FILE;
} // namespace

namespace {

// A valid file is ten lines of at most 45 bytes; reading stops well past any sane layout.
constexpr size_t MAX_FILE_BYTES = 1 << 20;

// The white space of the C locale, as the file's readers have always skipped it.
bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

void set_name(HighScoreEntry &e, const char *text, size_t length)
{
    if (length > HIGH_SCORE_NAME_MAX)
        length = HIGH_SCORE_NAME_MAX;
    memcpy(e.name, text, length);
    e.name[length] = '\0';
}

// A whole token [begin, end) as a signed decimal int: an optional sign, digits only, and a
// value that fits. Anything else (huge numbers included) is not a number.
bool parse_int(const char *begin, const char *end, int *out)
{
    const char *p = begin;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+'))
        negative = *p++ == '-';
    if (p == end)
        return false;
    long long value = 0;
    for (; p < end; p++) {
        if (!is_digit(*p))
            return false;
        value = value * 10 + (*p - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return false;
    *out = static_cast<int>(value);
    return true;
}

size_t line_end(const char *data, size_t size, size_t p)
{
    const void *newline = memchr(data + p, '\n', size - p);
    return newline ? static_cast<size_t>(static_cast<const char *>(newline) - data) : size;
}

// A line exactly as write() makes it: a 20-column name field, a blank, the level, a blank,
// the score, then the end of the line (or of the data). The name is the field less its
// blank padding, so names with blanks, leading blanks or no characters at all read back.
bool read_written_line(const char *data, size_t size, size_t start, HighScoreEntry &e, size_t *next)
{
    size_t end = line_end(data, size, start);
    size_t p = start + HIGH_SCORE_NAME_MAX;
    if (end < p + 4 || data[p] != ' ')
        return false;
    const char *level_begin = data + p + 1;
    const char *level_end = static_cast<const char *>(memchr(level_begin, ' ', data + end - level_begin));
    if (!level_end)
        return false;
    const char *score_begin = level_end + 1;
    const char *score_end = data + end;
    int level = 0, score = 0;
    // write() never puts a plus sign; a line with one is not its work.
    if (*level_begin == '+' || score_begin == score_end || *score_begin == '+' ||
        !parse_int(level_begin, level_end, &level) || !parse_int(score_begin, score_end, &score))
        return false;
    size_t length = HIGH_SCORE_NAME_MAX;
    while (length > 0 && data[start + length - 1] == ' ')
        length--;
    set_name(e, data + start, length);
    e.level = level;
    e.score = score;
    *next = end < size ? end + 1 : end;
    return true;
}

// The next word at or after *p (any white space, line ends included, before it).
bool next_word(const char *data, size_t size, size_t *p, const char **begin, const char **end)
{
    while (*p < size && is_space(data[*p]))
        (*p)++;
    if (*p >= size)
        return false;
    *begin = data + *p;
    while (*p < size && !is_space(data[*p]))
        (*p)++;
    *end = data + *p;
    return true;
}

// An entry as three words: a name of at most 20 characters without blanks, the level and
// the score, separated by any white space. This is how hand-made files of one-word names
// have always been read. Only a complete entry is stored; *pos moves past it.
bool read_words(const char *data, size_t size, size_t *pos, HighScoreEntry &e)
{
    size_t p = *pos;
    const char *name_begin, *name_end, *level_begin, *level_end, *score_begin, *score_end;
    int level = 0, score = 0;
    if (!next_word(data, size, &p, &name_begin, &name_end) || name_end - name_begin > HIGH_SCORE_NAME_MAX ||
        !next_word(data, size, &p, &level_begin, &level_end) || !parse_int(level_begin, level_end, &level) ||
        !next_word(data, size, &p, &score_begin, &score_end) || !parse_int(score_begin, score_end, &score))
        return false;
    set_name(e, name_begin, static_cast<size_t>(name_end - name_begin));
    e.level = level;
    e.score = score;
    *pos = p;
    return true;
}

} // namespace

namespace HighScores {

void parse(const char *data, size_t size)
{
    // One entry per line, in order. Empty lines are skipped; a line that is neither written
    // by write() nor three words (name, level, score) leaves its entry as it was, and reading
    // goes on at the next line, so one bad line never shifts the entries after it.
    size_t pos = 0;
    for (int i = 0; i < HIGH_SCORE_COUNT; i++) {
        size_t p = pos;
        size_t line = pos;
        while (p < size && is_space(data[p])) {
            if (data[p] == '\n')
                line = p + 1;
            p++;
        }
        if (p >= size)
            break;
        // A written line starts at the beginning of its line: its leading blanks are name.
        bool line_start = line == 0 || data[line - 1] == '\n';
        if (line_start && read_written_line(data, size, line, table[i], &pos))
            continue;
        pos = p;
        if (!read_words(data, size, &pos, table[i])) {
            size_t end = line_end(data, size, p);
            pos = end < size ? end + 1 : end;
        }
    }
}

void read()
{
    FILE *file = fopen(file_path, "r");
    char *data = file ? static_cast<char *>(malloc(MAX_FILE_BYTES)) : nullptr;
    size_t size = data ? fread(data, 1, MAX_FILE_BYTES, file) : 0;
    // A path that opens but cannot be read (a directory, an I/O error) counts as missing.
    bool readable = data && !ferror(file);
    if (file)
        fclose(file);
    if (readable) {
        parse(data, size);
    } else {
        for (HighScoreEntry &e : table) {
            set_name(e, "Anonymous", 9);
            e.level = 0;
            e.score = 0;
        }
    }
    free(data);
}

void write()
{
    FILE *file = fopen(file_path, "w");
    if (!file)
        return;
    for (const HighScoreEntry &e : table)
        fprintf(file, "%-*s %d %d\n", HIGH_SCORE_NAME_MAX, e.name, e.level, e.score);
    fclose(file);
}

int qualifies(int score) { return table[HIGH_SCORE_COUNT - 1].score < score ? 1 : 0; }

void insert(const char *name, int level, int score)
{
    if (table[HIGH_SCORE_COUNT - 1].score >= score)
        return;
    // Ties go below: the new entry lands after every entry with the same score.
    int place = HIGH_SCORE_COUNT - 1;
    for (int i = HIGH_SCORE_COUNT - 2; i >= 0 && table[i].score < score; i--) {
        table[i + 1] = table[i];
        place = i;
    }
    if (!name)
        name = "";
    size_t length = 0;
    while (length < HIGH_SCORE_NAME_MAX && name[length] != '\0' && name[length] != '\n')
        length++;
    set_name(table[place], name, length);
    table[place].level = level;
    table[place].score = score;
}

void format_dialog(char *buf, int size)
{
    if (!buf || size <= 0)
        return;
    buf[0] = '\0';
    size_t room = static_cast<size_t>(size);
    size_t used = 0;
    auto append = [&](int n) {
        // snprintf reports what it wanted; past the end nothing more is written.
        if (n > 0)
            used += static_cast<size_t>(n);
        if (used > room - 1)
            used = room - 1;
    };
    append(snprintf(buf + used, room - used, "%s\n\n", "High Scores:"));
    append(snprintf(buf + used, room - used, "%-*s %6s %7s\n", HIGH_SCORE_NAME_MAX, "Name", "Level", "Score"));
    for (const HighScoreEntry &e : table)
        append(snprintf(buf + used, room - used, "%-*s %6d %7d\n", HIGH_SCORE_NAME_MAX, e.name, e.level, e.score));
}

void refresh_dialog()
{
    // 501 bytes at most for any table.
    char text[512];
    format_dialog(text, sizeof text);
    Gui::set_dialog_text(DIALOG_HIGH_SCORES, text);
}

const HighScoreEntry &entry(int index) { return table[index]; }
const char *path() { return file_path; }
void set_path_for_tests(const char *p) { file_path = p ? p : GLIMPWATCH_SCORE_FILE; }

void reset_for_tests()
{
    for (HighScoreEntry &e : table) {
        e.name[0] = '\0';
        e.level = 0;
        e.score = 0;
    }
    file_path = GLIMPWATCH_SCORE_FILE;
}

} // namespace HighScores
