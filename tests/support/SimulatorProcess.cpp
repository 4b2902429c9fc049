#include "tests/support/SimulatorProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace kelvra::test {

namespace {

using SteadyClock = std::chrono::steady_clock;

int remainingMs(SteadyClock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

SimulatorProcess::SimulatorProcess(const Options& options) {
    std::vector<std::string> arguments = {options.binary, "--port-dir", options.portDirectory};
    if (options.pace) {
        arguments.push_back("--pace");
    }
    arguments.push_back(options.scenarioPath);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    int toChild[2];
    int fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0) {
        throw std::runtime_error("cannot create pipes");
    }
    if (::pipe2(fromChild, O_CLOEXEC) != 0) {
        ::close(toChild[0]);
        ::close(toChild[1]);
        throw std::runtime_error("cannot create pipes");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    const int spawned =
        ::posix_spawn(&pid_, options.binary.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    input_ = toChild[1];
    output_ = fromChild[0];
    if (spawned != 0) {
        pid_ = -1;
        ::close(input_);
        ::close(output_);
        throw std::runtime_error("cannot start " + options.binary);
    }
}

SimulatorProcess::~SimulatorProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        // The simulator removes its links on SIGTERM; one that hangs is not left behind.
        const auto deadline = SteadyClock::now() + std::chrono::seconds(10);
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (SteadyClock::now() >= deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ::close(input_);
    ::close(output_);
}

std::optional<std::string> SimulatorProcess::waitForLine(const std::string& prefix,
                                                         std::chrono::milliseconds timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    for (std::size_t at = 0;; ++at) {
        while (at == unclaimed_.size()) {
            if (!nextLine(deadline)) {
                return std::nullopt;
            }
        }
        const std::size_t index = unclaimed_[at];
        if (lines_[index].rfind(prefix, 0) == 0) {
            unclaimed_.erase(unclaimed_.begin() + static_cast<std::ptrdiff_t>(at));
            return lines_[index];
        }
    }
}

bool SimulatorProcess::command(const std::string& line, std::chrono::milliseconds timeout) {
    const std::string text = line + "\n";
    if (::write(input_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        return false;
    }
    const auto deadline = SteadyClock::now() + timeout;
    while (nextLine(deadline)) {
        const std::string& answer = lines_.back();
        if (answer == "ok" || answer.rfind("error:", 0) == 0) {
            unclaimed_.pop_back();
            return answer == "ok";
        }
    }
    return false;
}

bool SimulatorProcess::nextLine(SteadyClock::time_point deadline) {
    for (;;) {
        const std::size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            unclaimed_.push_back(lines_.size());
            lines_.push_back(line);
            return true;
        }
        pollfd readable{output_, POLLIN, 0};
        const int ready = ::poll(&readable, 1, remainingMs(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        char buffer[4096];
        const ssize_t got = ::read(output_, buffer, sizeof buffer);
        if (got <= 0) {
            return false;
        }
        pending_.append(buffer, static_cast<std::size_t>(got));
    }
}

}  // namespace kelvra::test
