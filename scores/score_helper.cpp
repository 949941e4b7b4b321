// The score helper: a result checked, then merged into the shared table; or the table shown.
#include "scores/score_helper.h"

#include "scores/high_scores.h"
#include "scores/player_name.h"
#include "scores/score_file.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A result on standard input is three short lines; anything longer is not one.
constexpr size_t MAX_INPUT_BYTES = 256;

bool read_input(int fd, std::string &text, std::string &error)
{
    char buf[MAX_INPUT_BYTES + 1];
    size_t used = 0;
    for (;;) {
        ssize_t n = ::read(fd, buf + used, sizeof buf - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = errno == EBADF ? "no result on standard input: it is closed"
                                   : std::string("cannot read standard input: ") + strerror(errno);
            return false;
        }
        if (n == 0)
            break;
        used += static_cast<size_t>(n);
        if (used > MAX_INPUT_BYTES) {
            error = "standard input holds more than one result";
            return false;
        }
    }
    if (used == 0) {
        error = "no result on standard input";
        return false;
    }
    text.assign(buf, used);
    return true;
}

// NAME, LEVEL, SCORE and perhaps ID on three or four lines, the last one ended by a newline
// or by the input.
bool split_lines(const std::string &text, std::string fields[4], int *count, std::string &error)
{
    size_t pos = 0;
    for (int i = 0; i < 4; i++) {
        if (pos >= text.size() && i == 3)
            break;
        if (pos >= text.size()) {
            error = "standard input holds no line for the " + std::string(i == 1 ? "level" : "score");
            return false;
        }
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        fields[i] = text.substr(pos, end - pos);
        *count = i + 1;
        pos = end + 1;
    }
    if (pos < text.size()) {
        error = "standard input holds more than one result";
        return false;
    }
    return true;
}

[[noreturn]] void fail(int status, const std::string &reason)
{
    std::string line = "glimpwatch-score: " + reason + "\n";
    ssize_t ignored = write(STDERR_FILENO, line.data(), line.size());
    (void)ignored;
    _exit(status);
}

bool write_all(int fd, const std::string &text)
{
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// A caller that closed standard input, output or error would have the table's files
// opened in their place, and the table printed into itself: they are opened on /dev/null.
void open_standard_descriptors()
{
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        int null = open("/dev/null", O_RDWR);
        if (null != fd)
            _exit(1);
    }
}

// The table's directory is the install's: a directory, not a link, and, when the helper
// runs with a group that its caller lacks, neither the caller's own nor open to other users.
// The versions there belong to whoever saved them, so a player who could reach them could
// change the table behind the helper's back.
bool check_directory(const char *path, std::string &error)
{
    std::string dir = path;
    size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? "." : slash == 0 ? "/" : dir.substr(0, slash);
    struct stat st;
    if (lstat(dir.c_str(), &st) != 0) {
        error = "cannot find " + dir + ": " + strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = dir + (S_ISLNK(st.st_mode) ? " is a symbolic link" : " is not a directory") +
                "; only the install's own directory is used";
        return false;
    }
    bool privileged = getegid() != getgid() && getuid() != 0;
    if (privileged && st.st_uid == getuid()) {
        error = dir + " belongs to the player, not to the install";
        return false;
    }
    if (privileged && (st.st_mode & 0007) != 0) {
        error = dir + " is open to every user; only the install's closed directory is used";
        return false;
    }
    return true;
}

} // namespace

namespace ScoreHelper {

const char *usage()
{
    return "usage: glimpwatch-score --show\n"
           "       glimpwatch-score --add NAME LEVEL SCORE [ID]\n"
           "       glimpwatch-score --add   (NAME, LEVEL, SCORE [and ID] on lines of standard input)\n";
}

bool parse_number(const std::string &text, int min, int &value)
{
    size_t p = !text.empty() && text[0] == '-' ? 1 : 0;
    if (p == text.size())
        return false;
    long long v = 0;
    for (size_t i = p; i < text.size(); i++) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    if (p)
        v = -v;
    if (v < min || v > INT_MAX)
        return false;
    value = static_cast<int>(v);
    return true;
}

bool parse_request(int argc, const char *const *argv, int input_fd, Request &request, std::string &error)
{
    request = Request();
    // Nothing the caller gave is echoed: a line on stderr stays one line.
    if (argc < 2) {
        error = "missing arguments: --show, or --add NAME LEVEL SCORE";
        return false;
    }
    if (strcmp(argv[1], "--show") == 0) {
        if (argc == 2)
            return true;
        error = "--show takes no arguments";
        return false;
    }
    if (strcmp(argv[1], "--add") != 0) {
        error = "unknown request: --show, or --add NAME LEVEL SCORE";
        return false;
    }
    if (argc != 2 && argc != 5 && argc != 6) {
        error = "--add takes a name, a level, a score and an id if any, or none to read them from standard input";
        return false;
    }
    std::string fields[4];
    int count = argc - 2;
    if (argc > 2) {
        for (int i = 0; i < count; i++)
            fields[i] = argv[i + 2];
    } else {
        std::string text;
        if (!read_input(input_fd, text, error) || !split_lines(text, fields, &count, error))
            return false;
    }
    request.add = true;
    request.name = fields[0];
    if (!PlayerName::check(request.name, &error))
        return false;
    if (!parse_number(fields[1], 1, request.level)) {
        error = "the level is not a whole number from 1 to 2147483647";
        return false;
    }
    if (!parse_number(fields[2], 0, request.score)) {
        error = "the score is not a whole number from 0 to 2147483647";
        return false;
    }
    if (count == 4 && !HighScores::valid_id(fields[3])) {
        error = "the id is not 16 to 64 hexadecimal digits in lower case";
        return false;
    }
    request.id = count == 4 ? fields[3] : "";
    return true;
}

bool run(const Request &request, const char *path, std::string &table, std::string &error)
{
    if (!check_directory(path, error))
        return false;
    std::string why;
    HighScoreEntry now[HIGH_SCORE_COUNT];
    bool done;
    if (request.add) {
        HighScoreEntry entry{};
        memcpy(entry.name, request.name.data(), request.name.size());   // at most 20 bytes: checked
        entry.level = request.level;
        entry.score = request.score;
        // Without an id from the caller, one of its own: a save that finds its version
        // passed over by a newer one merges again, and must know its result there.
        std::string id = request.id.empty() ? HighScores::new_result_id() : request.id;
        done = HighScores::save_entries(path, &entry, 1, 0, now, &why, ScoreFile::Files::INSTALLED, &id);
    } else {
        done = HighScores::load_entries(path, 0, now, &why, ScoreFile::Files::INSTALLED);
    }
    if (!done) {
        error = why;
        return false;
    }
    // Names as the game shows them: a table from before names were cleaned of format
    // characters reaches no terminal with them.
    for (HighScoreEntry &e : now) {
        std::string name = PlayerName::clean(e.name);
        memcpy(e.name, name.c_str(), name.size() + 1);
    }
    table = HighScores::file_text(now);
    return true;
}

int main(int argc, char **argv, const char *table_path)
{
    open_standard_descriptors();

    // Nothing from the caller's environment is used: no paths, no locale (the C locale
    // stays), no library settings (the loader ignores those for a setgid program).
    clearenv();
    umask(022);
    // A small file size limit makes a write fail, not kill us half way; a caller that stops
    // reading makes the printing fail, not the helper die after it saved.
    signal(SIGXFSZ, SIG_IGN);
    signal(SIGPIPE, SIG_IGN);
    // No core file of a process that held the group (the kernel already makes a
    // set-group-id program undumpable and untraceable by its caller).
    rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);

    // A set-user-id bit is not ours to have: dropped for good. The table's group stays
    // only as the saved group, taken up again just around the table's files.
    uid_t uid = getuid();
    if (setresuid(uid, uid, uid) != 0)
        fail(1, "cannot drop the user privilege");
    gid_t caller_group = getgid();
    gid_t table_group = getegid();
    if (setresgid(caller_group, caller_group, table_group) != 0)
        fail(1, "cannot set the group");

    if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        std::string usage = ScoreHelper::usage();
        return write_all(STDOUT_FILENO, usage) ? 0 : 1;
    }
    ScoreHelper::Request request;
    std::string error;
    if (!ScoreHelper::parse_request(argc, argv, STDIN_FILENO, request, error))
        fail(2, error);

    if (setresgid(-1, table_group, -1) != 0)
        fail(1, "cannot take up the score group");
    std::string table;
    bool done = ScoreHelper::run(request, table_path, table, error);
    if (setresgid(caller_group, caller_group, caller_group) != 0 || getegid() != caller_group)
        fail(1, "cannot drop the score group");
    if (!done)
        fail(1, error);
    // The status says whether the request was carried out: a result saved stays saved
    // however the printing goes (a caller that closed standard output gets it opened for
    // reading only, by the C library of a set-group-id program).
    if (!write_all(STDOUT_FILENO, table)) {
        std::string line = std::string("glimpwatch-score: ") + (request.add ? "saved, but " : "") +
                           "cannot print the table: " + strerror(errno) + "\n";
        ssize_t ignored = write(STDERR_FILENO, line.data(), line.size());
        (void)ignored;
        return request.add ? 0 : 1;
    }
    return 0;
}

} // namespace ScoreHelper
