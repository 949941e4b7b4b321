// The shared high-score table through the score helper: run it, hand it a result, read
// the table it prints and the one line it says when it refuses.
#include "scores/shared_table.h"

#include "base/install_paths.h"
#include "scores/shared_table_testing.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>


// A helper saves in moments, waiting for no other; past this it is stuck, or stopped.
constexpr int HELPER_TIMEOUT_MS = 15000;

namespace {
std::string helper_path = InstallPaths::SCORE_HELPER;
std::string helper_extra;   // a test helper's first argument
int helper_timeout_ms = HELPER_TIMEOUT_MS;
} // namespace

namespace {
// A table is ten lines of at most 45 bytes; the line of a refusal is shorter still.
constexpr size_t MAX_OUTPUT_BYTES = 64 * 1024;

long long now_ms()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void close_pair(int fds[2])
{
    for (int i = 0; i < 2; i++)
        if (fds[i] >= 0)
            close(fds[i]);
}

// The helper's one line, without its program name: "glimpwatch-score: the name ..." gives
// "the name ...".
std::string reason_of(const std::string &err)
{
    std::string line = err.substr(0, err.find('\n'));
    const std::string prefix = "glimpwatch-score: ";
    if (line.compare(0, prefix.size(), prefix) == 0)
        line.erase(0, prefix.size());
    return line;
}

// Runs the helper with args, input on its standard input; true when it ended with status 0,
// with what it printed in out. Otherwise false with the reason.
bool run_helper(const std::vector<std::string> &args, const std::string &input, std::string &out,
                std::string &reason)
{
    out.clear();
    if (helper_path.empty()) {
        reason = "no score helper in this build";
        return false;
    }
    int in_pipe[2] = {-1, -1}, out_pipe[2] = {-1, -1}, err_pipe[2] = {-1, -1};
    if (pipe2(in_pipe, O_CLOEXEC) != 0 || pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) {
        reason = std::string("cannot run the score helper: ") + strerror(errno);
        close_pair(in_pipe);
        close_pair(out_pipe);
        close_pair(err_pipe);
        return false;
    }
    // The input is a few bytes, far below a pipe's room: written before the helper starts,
    // it never blocks, and no helper that ends early can make the game take a SIGPIPE.
    bool input_written = write(in_pipe[1], input.data(), input.size()) == static_cast<ssize_t>(input.size());
    close(in_pipe[1]);
    in_pipe[1] = -1;

    std::vector<std::string> argv_text;
    argv_text.push_back(helper_path);
    if (!helper_extra.empty())
        argv_text.push_back(helper_extra);
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &a : argv_text)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    // The helper trusts nothing from the environment, and gets none.
    char *no_environment[] = {nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in_pipe[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], STDERR_FILENO);
    pid_t pid = -1;
    int spawned = input_written ? posix_spawn(&pid, helper_path.c_str(), &actions, nullptr, argv.data(), no_environment)
                                : EPIPE;
    posix_spawn_file_actions_destroy(&actions);
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    if (spawned != 0) {
        close(out_pipe[0]);
        close(err_pipe[0]);
        reason = "cannot run the score helper " + helper_path + ": " + strerror(spawned);
        return false;
    }

    std::string err;
    pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    std::string *sinks[2] = {&out, &err};
    long long deadline = now_ms() + helper_timeout_ms;
    bool timed_out = false;
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        long long left = deadline - now_ms();
        if (left <= 0) {
            timed_out = true;
            break;
        }
        int ready = poll(fds, 2, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            break;
        for (int i = 0; i < 2; i++) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buf[4096];
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n > 0 && sinks[i]->size() < MAX_OUTPUT_BYTES) {
                sinks[i]->append(buf, static_cast<size_t>(n));
            } else if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
            }
        }
    }
    for (pollfd &p : fds)
        if (p.fd >= 0)
            close(p.fd);
    if (timed_out)
        kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timed_out) {
        reason = "the score helper did not answer";
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return true;
    reason = reason_of(err);
    if (reason.empty())
        reason = WIFSIGNALED(status) ? "the score helper was killed" : "the score helper failed";
    return false;
}

} // namespace

namespace SharedTable {

// A build with a helper that is not installed (run from the checkout, say) keeps its
// table as a build without one does.
bool in_use() { return !helper_path.empty() && access(helper_path.c_str(), X_OK) == 0; }

const char *helper() { return helper_path.c_str(); }

bool show(std::string &table, std::string *reason)
{
    std::string why;
    bool shown = run_helper({"--show"}, "", table, why);
    if (!shown && reason)
        *reason = why;
    return shown;
}

bool add(const char *name, int level, int score, const char *id, std::string &table, std::string *reason)
{
    // On standard input, one field a line: a name may hold blanks, and it does not show
    // in the process list.
    std::string input = std::string(name ? name : "") + "\n" + std::to_string(level) + "\n" + std::to_string(score) +
                        "\n" + (id && *id ? std::string(id) + "\n" : "");
    std::string why;
    bool added = run_helper({"--add"}, input, table, why);
    if (!added && reason)
        *reason = why;
    return added;
}

void set_helper_for_tests(const char *path, const char *extra, int timeout_ms)
{
    helper_path = path ? path : InstallPaths::SCORE_HELPER;
    helper_extra = path && extra ? extra : "";
    helper_timeout_ms = path && timeout_ms >= 0 ? timeout_ms : HELPER_TIMEOUT_MS;
}

} // namespace SharedTable
