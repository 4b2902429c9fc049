#include "tests/support/CliProcess.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace kelvra::test {

namespace {

using SteadyClock = std::chrono::steady_clock;

[[noreturn]] void execChild(const std::string& binary, const CliRun& run, int out, int err) {
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    // What this process ignores (run under nohup, or in the background of a script) is not
    // passed on: the program starts as from a terminal, but for what the run ignores.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::signal(signal, SIG_DFL);
    }
    for (const int signal : run.ignoredSignals) {
        ::signal(signal, SIG_IGN);
    }
    for (const auto& [name, value] : run.environment) {
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    if (run.user && (::setgroups(0, nullptr) != 0 || ::setgid(run.user->second) != 0 ||
                     ::setuid(run.user->first) != 0)) {
        ::_exit(126);
    }
    std::vector<char*> argv{const_cast<char*>(binary.c_str())};
    for (const std::string& argument : run.arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    ::execv(binary.c_str(), argv.data());
    ::_exit(127);
}

// Appends what the descriptor has; false once it is at its end.
bool drain(int descriptor, std::string& into) {
    char buffer[4096];
    const ssize_t got = ::read(descriptor, buffer, sizeof buffer);
    if (got > 0) {
        into.append(buffer, static_cast<std::size_t>(got));
        return true;
    }
    return got < 0 && errno == EINTR;
}

}  // namespace

CliResult runCli(const std::string& binary, const CliRun& run) {
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("cannot create pipes");
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("cannot fork");
    }
    if (pid == 0) {
        execChild(binary, run, out[1], err[1]);
    }
    ::close(out[1]);
    ::close(err[1]);

    CliResult result;
    const auto deadline = SteadyClock::now() + run.limit;
    pollfd ends[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    std::size_t next = 0;
    if (run.outputClosed) {
        ::close(ends[0].fd);
        ends[0].fd = -1;
        --open;
    }
    while (open > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
        if (left.count() <= 0) {
            result.hung = true;
            ::kill(pid, SIGKILL);
            break;
        }
        if (::poll(ends, 2, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (ends[i].fd >= 0 && (ends[i].revents & (POLLIN | POLLHUP)) != 0 &&
                !drain(ends[i].fd, i == 0 ? result.out : result.err)) {
                ::close(ends[i].fd);
                ends[i].fd = -1;
                --open;
            }
        }
        while (next < run.whenErrorShows.size() &&
               result.err.find(run.whenErrorShows[next].first) != std::string::npos) {
            run.whenErrorShows[next++].second();
        }
        if (!run.interruptOn.empty() && !result.interrupted &&
            result.err.find(run.interruptOn) != std::string::npos) {
            ::kill(pid, run.interruptWith != 0 ? run.interruptWith : SIGINT);
            result.interrupted = true;
        }
    }
    for (const pollfd& end : ends) {
        if (end.fd >= 0) {
            ::close(end.fd);
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace kelvra::test
