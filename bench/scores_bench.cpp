// Reading and writing the high-score file, in a temporary directory of their own.
#include "scores/high_scores.h"
#include "scores/high_scores_testing.h"

#include <benchmark/benchmark.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <unistd.h>

namespace {

// A full table in a fresh temporary directory (saving may leave a lock file beside the
// table); the directory and all in it go when the benchmark ends.
class TableDir {
public:
    TableDir()
    {
        const char *tmp = getenv("TMPDIR");
        dir_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/glimpwatch_bench_XXXXXX";
        if (!mkdtemp(&dir_[0]))
            dir_.clear();
        path_ = dir_ + "/glimpwatch.scores";
        HighScores::reset_for_tests();
        HighScores::set_path_for_tests(path_.c_str());
        const char *names[] = {"ada", "brian", "carol", "dennis", "edsger",
                               "frances", "grace", "ken", "linus", "margaret"};
        for (int i = 0; i < HIGH_SCORE_COUNT; i++)
            HighScores::insert(names[i], 10 + i, 1000 * (i + 1));
        HighScores::write();
    }
    ~TableDir()
    {
        HighScores::reset_for_tests();
        if (dir_.empty())
            return;
        if (DIR *d = opendir(dir_.c_str())) {
            while (dirent *e = readdir(d))
                if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
                    unlink((dir_ + "/" + e->d_name).c_str());
            closedir(d);
        }
        rmdir(dir_.c_str());
    }

private:
    std::string dir_;
    std::string path_;
};

void BM_HighScoresRead(benchmark::State &state)
{
    TableDir file;
    for (auto _ : state)
        HighScores::read();
    benchmark::DoNotOptimize(HighScores::entry(0).score);
}

// Each save has a new entry to put in: a save with nothing new writes nothing.
void BM_HighScoresWrite(benchmark::State &state)
{
    TableDir file;
    int score = 20000;
    for (auto _ : state) {
        HighScores::insert("bench", 1, score);
        if (score < INT_MAX)
            score++;
        HighScores::write();
    }
}

} // namespace

BENCHMARK(BM_HighScoresRead)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HighScoresWrite)->Unit(benchmark::kMicrosecond);
