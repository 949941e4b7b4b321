// High scores: the table's rules, the reader of its two line layouts, and the dialog text.
#include "scores/high_scores.h"

#include "base/install_paths.h"
#include "base/player_data.h"
#include "scores/high_scores_testing.h"
#include "scores/player_name.h"
#include "scores/score_file.h"
#include "scores/shared_table.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>


// How long a save waits for another game to finish its own; the game stands still
// meanwhile. Quitting waits longer, as it is the run's last chance.
constexpr int LOCK_WAIT_MS = 3000;
constexpr int QUIT_LOCK_WAIT_MS = 10000;
// Reading needs the lock only against a table rewritten in place, which takes moments.
constexpr int READ_LOCK_WAIT_MS = 1000;
// The reasons of a failed save are short: they are shown under the table.
constexpr size_t REASON_MAX = 60;

namespace {

// The table this build names; a test build may be given another one in its environment.
const char *system_path()
{
    if (InstallPaths::TEST_SCORE_FILE_FROM_ENV) {
        const char *path = getenv("GLIMPWATCH_TEST_SCORE_FILE");
        if (path && *path)
            return path;
    }
    return InstallPaths::SCORE_FILE;
}

HighScoreEntry table[HIGH_SCORE_COUNT];
const char *file_path = system_path();
std::string test_path;   // a test's own file, kept here so that its text outlives the test's
// The table of this run is chosen at its first read or save (or by a test), so that a run
// never moves its scores from one table to another; own_path is the player's own table
// when the run keeps its scores there, else empty.
bool path_chosen = false;
std::string own_path;
// The entries this run added since its last successful save, ordered as the table is,
// each with the id of its result. Saving merges them into whatever the file holds by then.
HighScoreEntry pending[HIGH_SCORE_COUNT];
std::string pending_ids[HIGH_SCORE_COUNT];
int pending_count = 0;
int lock_wait_ms = LOCK_WAIT_MS;
int quit_lock_wait_ms = QUIT_LOCK_WAIT_MS;
// Why the last save failed, while this run has entries that no save has taken yet;
// empty otherwise. The player is told on standard error once a run.
std::string not_saved;
bool not_saved_told = false;
} // namespace

namespace {

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
    // A NUL byte ends the name, as it ends the text the writer is later given; the blanks
    // before it are padding too, or "Ann \0" would come back from the next save as "Ann".
    const char *nul = static_cast<const char *>(memchr(data + start, '\0', HIGH_SCORE_NAME_MAX));
    size_t length = nul ? static_cast<size_t>(nul - (data + start)) : HIGH_SCORE_NAME_MAX;
    while (length > 0 && data[start + length - 1] == ' ')
        length--;
    set_name(e, data + start, length);
    e.level = level;
    e.score = score;
    *next = end < size ? end + 1 : end;
    return true;
}

// The next word at or after *p on the same line (blanks and tabs before it, no line end).
bool next_word(const char *data, size_t size, size_t *p, const char **begin, const char **end)
{
    while (*p < size && data[*p] != '\n' && is_space(data[*p]))
        (*p)++;
    if (*p >= size || data[*p] == '\n')
        return false;
    *begin = data + *p;
    while (*p < size && !is_space(data[*p]))
        (*p)++;
    *end = data + *p;
    return true;
}

// An entry as three words on one line: a name without blanks, the level and the score,
// separated by any white space but a line end. This is how hand-made files of one-word
// names have always been read; a name longer than the field is cut to it. A line short of
// a word never takes one from the next line. Only a complete entry is stored; *pos moves
// past it.
bool read_words(const char *data, size_t size, size_t *pos, HighScoreEntry &e)
{
    size_t p = *pos;
    const char *name_begin, *name_end, *level_begin, *level_end, *score_begin, *score_end;
    int level = 0, score = 0;
    if (!next_word(data, size, &p, &name_begin, &name_end) ||
        !next_word(data, size, &p, &level_begin, &level_end) || !parse_int(level_begin, level_end, &level) ||
        !next_word(data, size, &p, &score_begin, &score_end) || !parse_int(score_begin, score_end, &score))
        return false;
    set_name(e, name_begin,
             PlayerName::fitting_length(name_begin, static_cast<size_t>(name_end - name_begin), HIGH_SCORE_NAME_MAX));
    e.level = level;
    e.score = score;
    *pos = p;
    return true;
}

// Reads entries into t; where read is given, read[i] tells whether entry i came from the
// text.
void parse_into(HighScoreEntry *t, const char *data, size_t size, bool *read = nullptr)
{
    if (read)
        memset(read, 0, HIGH_SCORE_COUNT * sizeof *read);
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
        bool taken = line_start && read_written_line(data, size, line, t[i], &pos);
        if (!taken) {
            pos = p;
            taken = read_words(data, size, &pos, t[i]);
        }
        if (!taken) {
            size_t end = line_end(data, size, p);
            pos = end < size ? end + 1 : end;
        }
        if (read)
            read[i] = taken;
    }
}

// Entries from..9 of t as a missing file gives them.
void set_anonymous(HighScoreEntry *t, int from = 0)
{
    for (int i = from; i < HIGH_SCORE_COUNT; i++) {
        set_name(t[i], "Anonymous", 9);
        t[i].level = 0;
        t[i].score = 0;
    }
}

// The insert rule on the first n entries of t (n at most ten): a new score goes below
// every entry whose score is at least its own, and with all ten in use the last one falls
// out. Makes room (moving the entries' ids along, where given) and returns the new entry's
// place, or -1 when the score does not get in.
int make_room(HighScoreEntry *t, int n, int score, std::string *ids = nullptr)
{
    int place = n < HIGH_SCORE_COUNT ? n : HIGH_SCORE_COUNT - 1;
    if (n >= HIGH_SCORE_COUNT && t[place].score >= score)
        return -1;
    for (int i = place - 1; i >= 0 && t[i].score < score; i--) {
        t[i + 1] = t[i];
        if (ids)
            ids[i + 1] = ids[i];
        place = i;
    }
    return place;
}

// A table that the score helper keeps carries, on a line after its ten entries, the id of
// the result each entry came from ("-" for none), so that a result handed over again after
// an outcome its game could not learn is entered once. The line cannot be read as an entry.
constexpr char IDS_MARK[] = "#ids ";

void read_ids(const std::string &text, std::string *ids)
{
    size_t at = text.rfind(std::string("\n") + IDS_MARK);
    if (at == std::string::npos)
        return;
    at += 1 + strlen(IDS_MARK);
    size_t end = text.find('\n', at);
    std::string list = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    size_t p = 0;
    for (int i = 0; i < HIGH_SCORE_COUNT && p <= list.size(); i++) {
        size_t comma = list.find(',', p);
        std::string id = list.substr(p, comma == std::string::npos ? std::string::npos : comma - p);
        ids[i] = HighScores::valid_id(id) ? id : "";
        if (comma == std::string::npos)
            break;
        p = comma + 1;
    }
}

std::string ids_line(const std::string *ids)
{
    std::string line = IDS_MARK;
    for (int i = 0; i < HIGH_SCORE_COUNT; i++)
        line += (i ? "," : "") + (ids[i].empty() ? std::string("-") : ids[i]);
    return line + "\n";
}

// Tells the player once a run, on standard error, that a score could not be saved; the
// dialog says it, cut short at a character boundary, until a save succeeds.
void note_not_saved(const std::string &reason)
{
    not_saved = reason.substr(0, PlayerName::fitting_length(reason.data(), reason.size(), REASON_MAX));
    if (!not_saved_told) {
        fprintf(stderr, "glimpwatch: score not saved: %s\n", reason.c_str());
        not_saved_told = true;
    }
}

// The system table where its directory is there, else the player's own.
void choose_file()
{
    if (path_chosen)
        return;
    path_chosen = true;
    std::string chosen = HighScores::table_path(file_path);
    if (chosen != file_path) {
        own_path = chosen;
        file_path = own_path.c_str();
    }
}

// A shared table takes this run's entries one by one through its helper, which prints
// the table after each. One that is refused or fails stays pending with those after it,
// for the next save.
bool write_shared(std::string *reason)
{
    while (pending_count > 0) {
        const HighScoreEntry &e = pending[0];
        std::string text;
        // The same id each time: a result the helper saved before its answer was lost (the
        // helper killed after 15 s, say) is not entered again.
        if (!SharedTable::add(e.name, e.level, e.score, pending_ids[0].c_str(), text, reason))
            return false;
        for (int i = 1; i < pending_count; i++) {
            pending[i - 1] = pending[i];
            pending_ids[i - 1] = pending_ids[i];
        }
        pending_count--;
        memset(table, 0, sizeof table);
        parse_into(table, text.data(), text.size());
    }
    return true;
}

void save_pending(int wait_ms)
{
    // Nothing new: the file stays byte for byte as it is, and this table catches up with
    // what other games saved, as a save would show it.
    if (pending_count == 0) {
        HighScores::read();
        return;
    }
    std::string reason;
    if (SharedTable::in_use()) {
        if (write_shared(&reason))
            not_saved.clear();
        else
            note_not_saved(reason);
        return;
    }
    choose_file();
    // The player's own table is made with its directory on the first save.
    if (!own_path.empty() && !PlayerData::make_dir()) {
        note_not_saved("cannot make " + PlayerData::dir());
        return;
    }
    // Another game may have saved since this one read the file: only this run's new
    // entries go into the file as it is now, so neither game's scores are lost and none
    // is entered twice.
    HighScoreEntry merged[HIGH_SCORE_COUNT];
    ScoreFile::Files files = own_path.empty() ? ScoreFile::Files::ANY_PLAYER : ScoreFile::Files::PLAYERS_OWN;
    if (!HighScores::save_entries(file_path, pending, pending_count, wait_ms, merged, &reason, files, pending_ids)) {
        // Kept: the next save tries again.
        note_not_saved(reason);
        return;
    }
    // The table now shows every game's scores, and a later save (at quit) has nothing of
    // this run's to add again.
    memcpy(table, merged, sizeof table);
    pending_count = 0;
    not_saved.clear();
}

} // namespace

namespace HighScores {

std::string file_text(const HighScoreEntry *t)
{
    std::string text;
    for (int i = 0; i < HIGH_SCORE_COUNT; i++) {
        char line[64];
        int n = snprintf(line, sizeof line, "%-*s %d %d\n", HIGH_SCORE_NAME_MAX, t[i].name, t[i].level, t[i].score);
        if (n > 0)
            text.append(line, static_cast<size_t>(n) < sizeof line ? static_cast<size_t>(n) : sizeof line - 1);
    }
    return text;
}

void parse(const char *data, size_t size) { parse_into(table, data, size); }

std::string table_path(const char *system_path)
{
    std::string system = system_path;
    size_t slash = system.rfind('/');
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : system.substr(0, slash);
    struct stat st;
    if (stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return system;
    std::string own = PlayerData::path("glimpwatch.scores");
    return own.empty() ? system : own;
}

void read()
{
    choose_file();
    std::string data;
    // A shared table is shown by its helper; one that cannot be shown counts as missing.
    if (SharedTable::in_use()) {
        if (SharedTable::show(data)) {
            memset(table, 0, sizeof table);
            parse(data.data(), data.size());
        } else {
            set_anonymous(table);
        }
        return;
    }
    // A path that opens but cannot be read (a directory, an I/O error) counts as missing.
    if (ScoreFile::read(file_path, READ_LOCK_WAIT_MS, data))
        parse(data.data(), data.size());
    else
        set_anonymous(table);
}

bool save_entries(const char *path, const HighScoreEntry *entries, int count, int wait_ms,
                  HighScoreEntry *saved_table, std::string *reason, ScoreFile::Files files, const std::string *ids)
{
    HighScoreEntry merged[HIGH_SCORE_COUNT];
    bool rewritten = false;
    bool with_ids = files == ScoreFile::Files::INSTALLED;
    auto merge = [&](const std::string *current, std::string &text) {
        rewritten = false;
        // The file as a game starting now would read it, less the lines it cannot read:
        // those are dropped rather than kept as empty entries, so that a new entry never
        // pushes out one that was read.
        HighScoreEntry found[HIGH_SCORE_COUNT] = {};
        bool read[HIGH_SCORE_COUNT] = {};
        std::string found_ids[HIGH_SCORE_COUNT], merged_ids[HIGH_SCORE_COUNT];
        if (current) {
            parse_into(found, current->data(), current->size(), read);
            if (with_ids)
                read_ids(*current, found_ids);
        }
        int n = 0;
        for (int i = 0; i < HIGH_SCORE_COUNT; i++)
            if (read[i]) {
                merged_ids[n] = found_ids[i];
                merged[n++] = found[i];
            }
        for (int i = 0; i < count; i++) {
            const std::string id = ids ? ids[i] : "";
            // Entered already: in the table still, or pushed out by better ones since, in
            // which case it would not get in again either.
            if (!id.empty() && std::find(merged_ids, merged_ids + n, id) != merged_ids + n)
                continue;
            int place = make_room(merged, n, entries[i].score, merged_ids);
            if (place >= 0) {
                merged[place] = entries[i];
                merged_ids[place] = id;
                n += n < HIGH_SCORE_COUNT;
                rewritten = true;
            }
        }
        // None of them gets in: the file stays as it is, lines it cannot read included.
        if (!rewritten)
            return false;
        set_anonymous(merged, n);   // a short file, or none, fills up as a missing one reads
        for (int i = n; i < HIGH_SCORE_COUNT; i++)
            merged_ids[i].clear();
        text = file_text(merged);
        if (with_ids)
            text += ids_line(merged_ids);
        return true;
    };
    std::string saved;
    if (!ScoreFile::save(path, wait_ms, merge, saved, reason, files))
        return false;
    if (!rewritten) {
        // The table there now, as read() reads it.
        set_anonymous(merged);
        parse_into(merged, saved.data(), saved.size());
    }
    memcpy(saved_table, merged, sizeof merged);
    return true;
}

bool load_entries(const char *path, int wait_ms, HighScoreEntry *t, std::string *reason, ScoreFile::Files files)
{
    memset(t, 0, sizeof(HighScoreEntry) * HIGH_SCORE_COUNT);
    std::string data, why;
    bool missing = false;
    if (ScoreFile::read(path, wait_ms, data, &missing, &why, files)) {
        parse_into(t, data.data(), data.size());
        return true;
    }
    if (!missing) {
        if (reason)
            *reason = "cannot read " + std::string(path) + ": " + why;
        return false;
    }
    set_anonymous(t);
    return true;
}

void write() { save_pending(lock_wait_ms); }

void write_at_quit() { save_pending(quit_lock_wait_ms); }

int qualifies(int score) { return table[HIGH_SCORE_COUNT - 1].score < score ? 1 : 0; }

void insert(const char *name, int level, int score)
{
    // Ties go below: the new entry lands after every entry with the same score.
    int place = make_room(table, HIGH_SCORE_COUNT, score);
    if (place < 0)
        return;
    // What the file can hold and read back: no control characters, whole UTF-8
    // characters within the name field, no blanks at the end.
    std::string kept = PlayerName::clean(name);
    set_name(table[place], kept.data(), kept.size());
    table[place].level = level;
    table[place].score = score;

    // Kept for the next save even if a later entry pushes it out of this table: the file
    // may hold lower scores by then. Only ten can ever get in, so ten places suffice.
    int waiting = make_room(pending, pending_count, score, pending_ids);
    if (waiting >= 0) {
        pending[waiting] = table[place];
        pending_ids[waiting] = new_result_id();
        if (pending_count < HIGH_SCORE_COUNT)
            pending_count++;
    }
}

TextTable dialog_table()
{
    TextTable t;
    t.above = "High Scores:";
    t.columns = DIALOG_COLUMNS;
    t.cells = {"Name", "Level", "Score"};
    for (const HighScoreEntry &e : table) {
        t.cells.push_back(PlayerName::clean(e.name));
        t.cells.push_back(std::to_string(e.level));
        t.cells.push_back(std::to_string(e.score));
    }
    if (!not_saved.empty())
        t.below = "Not saved: " + not_saved + "; it will be tried again";
    return t;
}

void format_dialog(char *buf, int size)
{
    if (!buf || size <= 0)
        return;
    // The columns lined up with blanks for a fixed-width font: the name padded by the columns
    // it takes, not by its bytes, so that a name of accented, Cyrillic or wide characters
    // keeps the level and score columns in line; the numbers to the right of theirs.
    TextTable t = dialog_table();
    std::string text = t.above + "\n\n";
    auto pad = [&text](int blanks) { text.append(static_cast<size_t>(blanks > 0 ? blanks : 0), ' '); };
    for (int row = 0; row < t.rows(); row++) {
        const std::string &name = t.cell(row, 0), &level = t.cell(row, 1), &score = t.cell(row, 2);
        text += name;
        pad(HIGH_SCORE_NAME_MAX - PlayerName::display_width(name.c_str()));
        pad(1 + std::max(0, 6 - static_cast<int>(level.size())));
        text += level;
        pad(1 + std::max(0, 7 - static_cast<int>(score.size())));
        text += score + "\n";
    }
    if (!t.below.empty())
        text += "\n" + t.below + "\n";
    // What fits, as far as it fits.
    size_t kept = std::min(text.size(), static_cast<size_t>(size) - 1);
    memcpy(buf, text.data(), kept);
    buf[kept] = '\0';
}

std::string new_result_id()
{
    unsigned char bytes[16] = {};
    if (getentropy(bytes, sizeof bytes) != 0) {
        // No randomness to be had: the time, the process and a count tell this run's
        // results from every other's well enough.
        static unsigned counter = 0;
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        unsigned long long mix[2] = {static_cast<unsigned long long>(ts.tv_sec) * 1000000000ULL +
                                         static_cast<unsigned long long>(ts.tv_nsec),
                                     (static_cast<unsigned long long>(getpid()) << 32) | ++counter};
        memcpy(bytes, mix, sizeof bytes);
    }
    static const char HEX[] = "0123456789abcdef";
    std::string id;
    for (unsigned char b : bytes) {
        id += HEX[b >> 4];
        id += HEX[b & 15];
    }
    return id;
}

bool valid_id(const std::string &id)
{
    return id.size() >= 16 && id.size() <= 64 && id.find_first_not_of("0123456789abcdef") == std::string::npos;
}

const HighScoreEntry &entry(int index) { return table[index]; }
const char *path() { return file_path; }
void set_path_for_tests(const char *p)
{
    test_path = p ? p : system_path();
    file_path = test_path.c_str();
    own_path.clear();
    path_chosen = p != nullptr;
}

void set_system_path_for_tests(const char *p)
{
    set_path_for_tests(p);
    path_chosen = false;
}

void set_lock_wait_for_tests(int ms, int quit_ms)
{
    lock_wait_ms = ms;
    quit_lock_wait_ms = quit_ms < 0 ? ms : quit_ms;
}

void reset_for_tests()
{
    // The lock file a test's save left beside its own score file goes with it.
    if (strcmp(file_path, system_path()) != 0)
        unlink(ScoreFile::lock_path(file_path).c_str());
    memset(table, 0, sizeof table);
    pending_count = 0;
    lock_wait_ms = LOCK_WAIT_MS;
    quit_lock_wait_ms = QUIT_LOCK_WAIT_MS;
    not_saved.clear();
    not_saved_told = false;
    file_path = system_path();
    own_path.clear();
    path_chosen = false;
}

} // namespace HighScores
