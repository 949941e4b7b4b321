// Recordings: saving, listing and pruning the player's recorded games.
#include "recording/recordings.h"

#include "base/data_dir.h"
#include "base/player_data.h"
#include "base/safe_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// A header is a few short lines; this much of a file's start always holds it.
constexpr std::size_t HEADER_BYTES = 1024;

// "2025-03-01_14-05-09": the name of a game started then, in local time.
std::string stamp(std::time_t started)
{
    std::tm local{};
    char text[32] = "0000-00-00_00-00-00";
    if (localtime_r(&started, &local))
        strftime(text, sizeof text, "%Y-%m-%d_%H-%M-%S", &local);
    return text;
}

// Whether the file name is of the directory's own naming: a stamp, an optional "_<n>"
// and the suffix. Other files there are the player's own and never removed.
bool own_name(const std::string &name)
{
    const std::string pattern = "dddd-dd-dd_dd-dd-dd";
    std::size_t suffix = strlen(RECORDING_SUFFIX);
    if (name.size() < pattern.size() + suffix || name.compare(name.size() - suffix, suffix, RECORDING_SUFFIX) != 0)
        return false;
    for (std::size_t i = 0; i < pattern.size(); i++)
        if (pattern[i] == 'd' ? !isdigit(static_cast<unsigned char>(name[i])) : name[i] != pattern[i])
            return false;
    std::string rest = name.substr(pattern.size(), name.size() - suffix - pattern.size());
    if (rest.empty())
        return true;
    if (rest.size() < 2 || rest[0] != '_')
        return false;
    return std::all_of(rest.begin() + 1, rest.end(), [](char c) { return isdigit(static_cast<unsigned char>(c)); });
}

// Writes the text into the file just opened at path and closes it; a file that could not be
// written whole is removed. The error number, 0 when all went well.
int write_into(FILE *f, const std::string &path, const std::string &text)
{
    int error = fwrite(text.data(), 1, text.size(), f) == text.size() ? 0 : (errno ? errno : EIO);
    if (fclose(f) != 0 && !error)
        error = errno;
    if (error)
        remove(path.c_str());
    return error;
}

bool failed(std::string *reason, const std::string &path, int error)
{
    if (reason)
        *reason = path + ": " + strerror(error);
    return false;
}

struct Found {
    std::string name;
    RecordingFile file;
    bool readable;
};

// Every file of the directory with the suffix, its header read where it can be.
std::vector<Found> scan()
{
    std::vector<Found> found;
    std::string where = Recordings::dir();
    if (where.empty())
        return found;
    std::error_code error;
    for (fs::directory_iterator it(where, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        std::size_t suffix = strlen(RECORDING_SUFFIX);
        if (name.size() <= suffix || name.compare(name.size() - suffix, suffix, RECORDING_SUFFIX) != 0)
            continue;
        Found f;
        f.name = name;
        f.file.path = where + "/" + name;
        std::string start;
        f.readable = SafeFile::read_start_nofollow(f.file.path.c_str(), HEADER_BYTES, start) &&
                     RecordingText::parse_header(start, f.file.header, nullptr);
        found.push_back(f);
    }
    // Newest first: the names are dates.
    std::sort(found.begin(), found.end(), [](const Found &a, const Found &b) { return a.name > b.name; });
    return found;
}

} // namespace

namespace Recordings {

std::string dir()
{
    std::string data = PlayerData::dir();
    return data.empty() ? data : data + "/replays";
}

bool save(const Recording &recording, std::time_t started, std::string *path, std::string *reason)
{
    std::string where = dir();
    if (where.empty() || !PlayerData::make_dir()) {
        if (reason)
            *reason = (where.empty() ? std::string("no data directory") : where + ": cannot be made");
        return false;
    }
    std::error_code error;
    // Private, like the rest of the player's data: games show how the player plays.
    if (fs::create_directory(where, error))
        fs::permissions(where, fs::perms::owner_all, fs::perm_options::replace, error);
    if (error || !fs::is_directory(where, error)) {
        if (reason)
            *reason = where + ": " + (error ? error.message() : std::string("not a directory"));
        return false;
    }
    std::string text = RecordingText::write(recording);
    std::string base = where + "/" + stamp(started);
    // "x": a file made now, never one another game made in the same second.
    for (int n = 1; n < 1000; n++) {
        std::string name = base + (n == 1 ? "" : "_" + std::to_string(n)) + RECORDING_SUFFIX;
        FILE *f = fopen(name.c_str(), "wx");
        if (!f && errno == EEXIST)
            continue;
        if (!f)
            return failed(reason, name, errno);
        if (int write_error = write_into(f, name, text))
            return failed(reason, name, write_error);
        if (path)
            *path = name;
        prune();
        return true;
    }
    if (reason)
        *reason = base + ": too many games in one second";
    return false;
}

bool rewrite(const std::string &path, const Recording &recording, std::string *reason)
{
    std::string temp = path + ".new";
    remove(temp.c_str());
    FILE *f = fopen(temp.c_str(), "wx");
    if (!f)
        return failed(reason, temp, errno);
    if (int error = write_into(f, temp, RecordingText::write(recording)))
        return failed(reason, temp, error);
    // The old file is replaced in one step: a reader sees the one or the other.
    if (rename(temp.c_str(), path.c_str()) != 0) {
        int error = errno;
        remove(temp.c_str());
        return failed(reason, path, error);
    }
    return true;
}

std::vector<RecordingFile> list()
{
    std::vector<RecordingFile> files;
    for (const Found &f : scan())
        if (f.readable)
            files.push_back(f.file);
    return files;
}

void prune()
{
    std::vector<Found> found = scan();
    std::vector<const Found *> own;
    for (const Found &f : found)
        if (own_name(f.name))
            own.push_back(&f);
    if (static_cast<int>(own.size()) <= KEEP_LAST)
        return;
    std::vector<bool> keep(own.size(), false);
    for (std::size_t i = 0; i < own.size() && static_cast<int>(i) < KEEP_LAST; i++)
        keep[i] = true;
    // The best: highest score first, the newer of two equal ones (already in that order).
    std::vector<std::size_t> by_score;
    for (std::size_t i = 0; i < own.size(); i++)
        if (own[i]->readable)
            by_score.push_back(i);
    std::stable_sort(by_score.begin(), by_score.end(), [&](std::size_t a, std::size_t b) {
        return own[a]->file.header.score > own[b]->file.header.score;
    });
    for (std::size_t k = 0; k < by_score.size() && static_cast<int>(k) < KEEP_BEST; k++)
        keep[by_score[k]] = true;
    for (std::size_t i = 0; i < own.size(); i++)
        if (!keep[i])
            remove(own[i]->file.path.c_str());
}

bool read(const char *path, Recording &recording, std::string *reason)
{
    std::string text;
    if (!SafeFile::read_regular(path, RECORDING_MAX_BYTES, text, reason))
        return false;
    return RecordingText::parse(text, recording, reason);
}

std::string demo_path() { return std::string(DataDir::path()) + "/replays/demo.replay"; }

} // namespace Recordings
