// Fuzz target for the high-score reader: any file text gives sane names and a table that
// survives a save and a fresh read unchanged.
#include "scores/high_scores.h"
#include "scores/high_scores_testing.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {
std::string scratch_dir;   // a directory of its own, as the table has
std::string scratch;       // the file the round trip saves to and reads from
} // namespace

namespace {

void remove_scratch()
{
    HighScores::set_path_for_tests(scratch.c_str());
    HighScores::reset_for_tests();   // takes the lock file away
    unlink(scratch.c_str());
    rmdir(scratch_dir.c_str());
}

// Lines no file of ours would hold, so an entry the read skips cannot pass for one it read.
const char *const SENTINELS[] = {
    "~unread~ -2147483648 -2147483648\n",
    "~stale~ 2147483647 -1\n",
};

// A table of ten copies of the line (reset_for_tests also puts the path back).
void fill_with(const char *line)
{
    std::string text;
    for (int i = 0; i < HIGH_SCORE_COUNT; i++)
        text += line;
    HighScores::reset_for_tests();
    HighScores::parse(text.data(), text.size());
}

[[noreturn]] void fail(int index, const HighScoreEntry &wrote, const HighScoreEntry &got)
{
    fprintf(stderr, "round trip: entry %d wrote name \"%s\" level %d score %d, read name \"%s\" level %d score %d\n",
            index, wrote.name, wrote.level, wrote.score, got.name, got.level, got.score);
    remove_scratch();
    abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // In memory where the machine has it: every input saves the table, and a save syncs it
    // to its disk, which on a real disk takes most of the run's time.
    for (const char *base : {"/dev/shm", "/tmp"}) {
        std::string name = std::string(base) + "/glimpwatch-fuzz-XXXXXX";
        if (mkdtemp(name.data())) {
            scratch_dir = name;
            break;
        }
    }
    if (scratch_dir.empty()) {
        perror("mkdtemp");
        abort();
    }
    scratch = scratch_dir + "/glimpwatch.scores";
    atexit(remove_scratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    HighScores::reset_for_tests();
    HighScores::parse(reinterpret_cast<const char *>(data), size);

    HighScoreEntry parsed[HIGH_SCORE_COUNT];
    for (int i = 0; i < HIGH_SCORE_COUNT; i++) {
        const HighScoreEntry &e = HighScores::entry(i);
        // A name without its terminator inside the record would run into the numbers.
        if (!memchr(e.name, '\0', sizeof e.name)) {
            fprintf(stderr, "entry %d: name not terminated within %zu bytes\n", i, sizeof e.name);
            abort();
        }
        if (strlen(e.name) > HIGH_SCORE_NAME_MAX) {
            fprintf(stderr, "entry %d: name of %zu characters\n", i, strlen(e.name));
            abort();
        }
        parsed[i] = e;
    }

    // Whatever the writer makes of the table must read back as the same ten entries, whatever
    // the table held before the read.
    std::string text = HighScores::file_text(parsed);
    FILE *file = fopen(scratch.c_str(), "wb");
    if (!file || fwrite(text.data(), 1, text.size(), file) != text.size() || fclose(file) != 0) {
        perror(scratch.c_str());
        abort();
    }
    for (const char *sentinel : SENTINELS) {
        fill_with(sentinel);
        HighScores::set_path_for_tests(scratch.c_str());
        HighScores::read();
        for (int i = 0; i < HIGH_SCORE_COUNT; i++) {
            const HighScoreEntry &got = HighScores::entry(i);
            if (strcmp(got.name, parsed[i].name) != 0 || got.level != parsed[i].level ||
                got.score != parsed[i].score)
                fail(i, parsed[i], got);
        }
    }
    return 0;
}
