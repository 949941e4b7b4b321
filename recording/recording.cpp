// Recording: the text of a recorded game, written and read back with every line checked.
#include "recording/recording.h"

#include "scores/player_name.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace {

const char *const INPUT_WORDS[] = {"press", "release", "leave", "enter", "pause", "warp"};
// How many numbers follow each input's word.
const int INPUT_NUMBERS[] = {2, 2, 0, 0, 0, 1};
constexpr int INPUT_KINDS = 6;
const char *const ENDING_WORDS[] = {"over", "left", "quit"};
constexpr int ENDINGS = 3;
// No line of a recording is longer: a name has at most 20 bytes, an event six words.
constexpr std::size_t MAX_LINE = 128;

// The lines of a text, each checked for what no recording holds, numbered from 1.
class Lines {
public:
    explicit Lines(const std::string &text) : text_(text) {}

    // The next line without its newline; false at the end of the text. A last line
    // without its newline is a file cut short.
    bool next(std::string &line)
    {
        if (at_ >= text_.size())
            return false;
        std::size_t end = text_.find('\n', at_);
        number_++;
        if (end == std::string::npos) {
            cut_ = true;
            line = text_.substr(at_);
            at_ = text_.size();
            return true;
        }
        line = text_.substr(at_, end - at_);
        at_ = end + 1;
        return true;
    }
    int number() const { return number_; }
    bool cut() const { return cut_; }
    bool at_end() const { return at_ >= text_.size(); }

private:
    const std::string &text_;
    std::size_t at_ = 0;
    int number_ = 0;
    bool cut_ = false;
};

// A whole base-10 number from min to max: an optional minus sign, then digits, nothing else.
bool read_number(const std::string &word, long long min, long long max, long long *out)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < word.size() && word[i] == '-') {
        negative = true;
        i++;
    }
    if (i >= word.size() || word.size() - i > 10)
        return false;
    long long value = 0;
    for (; i < word.size(); i++) {
        if (word[i] < '0' || word[i] > '9')
            return false;
        value = value * 10 + (word[i] - '0');
    }
    value = negative ? -value : value;
    if (value < min || value > max)
        return false;
    *out = value;
    return true;
}

bool read_int(const std::string &word, int min, int *out)
{
    long long v = 0;
    if (!read_number(word, min, INT_MAX, &v))
        return false;
    *out = static_cast<int>(v);
    return true;
}

// The line's words, split at single blanks.
std::vector<std::string> words_of(const std::string &line)
{
    std::vector<std::string> words;
    std::size_t at = 0;
    for (;;) {
        std::size_t blank = line.find(' ', at);
        words.push_back(line.substr(at, blank == std::string::npos ? std::string::npos : blank - at));
        if (blank == std::string::npos)
            return words;
        at = blank + 1;
    }
}

bool fail(std::string *reason, const std::string &why)
{
    if (reason)
        *reason = why;
    return false;
}

std::string damaged(int line, const std::string &what)
{
    return "damaged: line " + std::to_string(line) + ": " + what;
}

// Only printable text: control characters and bytes outside UTF-8 have no place here.
bool plain_text(const std::string &line)
{
    if (line.size() > MAX_LINE)
        return false;
    for (unsigned char c : line)
        if (c < 0x20 || c == 0x7f)
            return false;
    return true;
}

// The header, from the first line up to the first event (or the end line). The next line
// is left in `line`, already read; has_line tells whether there is one.
bool read_header(Lines &lines, Recording &r, std::string *reason, std::string &line, bool &has_line)
{
    if (!lines.next(line) || line.compare(0, strlen(RECORDING_MAGIC), RECORDING_MAGIC) != 0)
        return fail(reason, "not a Glimpwatch recording");
    std::vector<std::string> first = words_of(line);
    int version = 0;
    if (first.size() != 2 || first[0] != RECORDING_MAGIC || !read_int(first[1], 0, &version))
        return fail(reason, "not a Glimpwatch recording");
    if (version != RECORDING_VERSION)
        return fail(reason, "recorded by another version of Glimpwatch (recording version " + std::to_string(version) +
                                "; this one plays version " + std::to_string(RECORDING_VERSION) + ")");

    // Each header line in its place: a word and its numbers.
    auto header = [&](const char *word, std::size_t count, std::vector<std::string> &out) {
        if (!lines.next(line) || lines.cut())
            return fail(reason, "cut short");
        out = words_of(line);
        if (!plain_text(line) || out.size() != count + 1 || out[0] != word)
            return fail(reason, damaged(lines.number(), std::string("expected the ") + word + " line"));
        return true;
    };
    std::vector<std::string> w;
    long long seed = 0;
    if (!header("seed", 1, w))
        return false;
    if (!read_number(w[1], 0, UINT_MAX, &seed))
        return fail(reason, damaged(lines.number(), "not a seed"));
    r.seed = static_cast<unsigned>(seed);
    if (!header("size", 1, w))
        return false;
    if (!read_int(w[1], 1, &r.size))
        return fail(reason, damaged(lines.number(), "not a field size"));
    if (!header("level", 1, w))
        return false;
    if (!read_int(w[1], 1, &r.level))
        return fail(reason, damaged(lines.number(), "not a level"));
    if (!header("result", 4, w))
        return false;
    r.ending = -1;
    for (int e = 0; e < ENDINGS; e++)
        if (w[1] == ENDING_WORDS[e])
            r.ending = e;
    long long score = 0;
    if (r.ending < 0 || !read_int(w[2], 0, &r.ticks) || !read_number(w[3], INT_MIN, INT_MAX, &score) ||
        !read_int(w[4], 1, &r.final_level))
        return fail(reason, damaged(lines.number(), "not a result"));
    r.score = static_cast<int>(score);

    has_line = lines.next(line);
    r.bucket_held = has_line && line == "bucket held";
    if (r.bucket_held) {
        if (lines.cut())
            return fail(reason, "cut short");
        has_line = lines.next(line);
    }
    // The name entered for the table, when there was one.
    r.name.clear();
    if (has_line && line.compare(0, 5, "name ") == 0) {
        std::string why;
        if (lines.cut())
            return fail(reason, "cut short");
        r.name = line.substr(5);
        if (r.name.empty() || !PlayerName::check(r.name, &why))
            return fail(reason, damaged(lines.number(), "not a name"));
        has_line = lines.next(line);
    }
    return true;
}

// One event line: "<tick> <input> [numbers]".
bool read_event(const std::string &line, RecordedEvent &e)
{
    if (!plain_text(line))
        return false;
    std::vector<std::string> w = words_of(line);
    if (w.size() < 2 || !read_int(w[0], 0, &e.tick))
        return false;
    e.input = -1;
    for (int k = 0; k < INPUT_KINDS; k++)
        if (w[1] == INPUT_WORDS[k])
            e.input = k;
    if (e.input < 0 || w.size() != static_cast<std::size_t>(2 + INPUT_NUMBERS[e.input]))
        return false;
    e.x = e.y = 0;
    long long v = 0;
    if (w.size() > 2) {
        if (!read_number(w[2], INT_MIN, INT_MAX, &v))
            return false;
        e.x = static_cast<int>(v);
    }
    if (w.size() > 3) {
        if (!read_number(w[3], INT_MIN, INT_MAX, &v))
            return false;
        e.y = static_cast<int>(v);
    }
    return true;
}

} // namespace

namespace RecordingText {

const char *ending_name(int ending) { return ending >= 0 && ending < ENDINGS ? ENDING_WORDS[ending] : "over"; }

std::string write(const Recording &r)
{
    std::string text;
    text.reserve(128 + r.events.size() * 20);
    char line[160];
    snprintf(line, sizeof line, "%s %d\nseed %u\nsize %d\nlevel %d\nresult %s %d %d %d\n", RECORDING_MAGIC,
             RECORDING_VERSION, r.seed, r.size, r.level, ending_name(r.ending), r.ticks, r.score, r.final_level);
    text += line;
    if (r.bucket_held)
        text += "bucket held\n";
    if (!r.name.empty())
        text += "name " + r.name + "\n";
    for (const RecordedEvent &e : r.events) {
        int input = e.input >= 0 && e.input < INPUT_KINDS ? e.input : INPUT_PAUSE;
        switch (INPUT_NUMBERS[input]) {
        case 2:
            snprintf(line, sizeof line, "%d %s %d %d\n", e.tick, INPUT_WORDS[input], e.x, e.y);
            break;
        case 1:
            snprintf(line, sizeof line, "%d %s %d\n", e.tick, INPUT_WORDS[input], e.x);
            break;
        default:
            snprintf(line, sizeof line, "%d %s\n", e.tick, INPUT_WORDS[input]);
            break;
        }
        text += line;
    }
    text += "end\n";
    return text;
}

bool parse_header(const std::string &start, Recording &r, std::string *reason)
{
    Lines lines(start);
    std::string line;
    bool has_line = false;
    return read_header(lines, r, reason, line, has_line);
}

bool parse(const std::string &text, Recording &r, std::string *reason)
{
    if (text.empty())
        return fail(reason, "empty, not a Glimpwatch recording");
    Lines lines(text);
    std::string line;
    bool has_line = false;
    if (!read_header(lines, r, reason, line, has_line))
        return false;
    r.events.clear();
    int last_tick = 0;
    for (; has_line; has_line = lines.next(line)) {
        if (lines.cut())
            return fail(reason, "cut short");
        if (line == "end") {
            if (!lines.at_end())
                return fail(reason, damaged(lines.number() + 1, "text after the end line"));
            return true;
        }
        RecordedEvent e;
        if (!read_event(line, e))
            return fail(reason, damaged(lines.number(), "not an event"));
        if (e.tick < last_tick)
            return fail(reason, "events out of order: line " + std::to_string(lines.number()) + " comes at tick " +
                                    std::to_string(e.tick) + ", after tick " + std::to_string(last_tick));
        if (e.tick > r.ticks)
            return fail(reason, damaged(lines.number(), "an event at tick " + std::to_string(e.tick) +
                                                            ", after the game's last tick " + std::to_string(r.ticks)));
        last_tick = e.tick;
        r.events.push_back(e);
    }
    return fail(reason, "cut short");
}

} // namespace RecordingText
