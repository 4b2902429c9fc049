#include "tests/support/blocksim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
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

BlocksimProcess::BlocksimProcess(const std::string& binary, const std::string& scenario,
                                 const std::vector<std::string>& extraArguments) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kelvra-blocksim-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    directory_ = pattern;
    portDirectory_ = directory_ + "/ports";

    std::vector<std::string> arguments = {binary, "--port-dir", portDirectory_};
    arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
    arguments.push_back(scenario);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    int toChild[2];
    int fromChild[2];
    int errorsFromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0 ||
        ::pipe2(errorsFromChild, O_CLOEXEC) != 0) {
        throw std::runtime_error("cannot create pipes");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errorsFromChild[1], STDERR_FILENO);
    const int spawned =
        ::posix_spawn(&pid_, binary.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    ::close(errorsFromChild[1]);
    input_ = toChild[1];
    output_ = fromChild[0];
    errors_ = errorsFromChild[0];
    if (spawned != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + binary);
    }
}

BlocksimProcess::~BlocksimProcess() {
    stop();
    for (const int descriptor : {input_, output_, errors_}) {
        if (descriptor >= 0) {
            ::close(descriptor);
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

bool BlocksimProcess::waitReady(std::chrono::milliseconds timeout) {
    return waitForLine("READY", timeout).has_value();
}

std::optional<std::string> BlocksimProcess::waitForLine(const std::string& prefix,
                                                        std::chrono::milliseconds timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    while (const auto line = nextLine(deadline)) {
        if (line->rfind(prefix, 0) == 0) {
            return line;
        }
    }
    return std::nullopt;
}

std::optional<std::string> BlocksimProcess::nextLine(SteadyClock::time_point deadline) {
    for (;;) {
        const std::size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            lines_.push_back(line);
            return line;
        }
        pollfd readable{output_, POLLIN, 0};
        if (::poll(&readable, 1, remainingMs(deadline)) <= 0) {
            return std::nullopt;
        }
        char buffer[4096];
        const ssize_t got = ::read(output_, buffer, sizeof buffer);
        if (got <= 0) {
            return std::nullopt;
        }
        pending_.append(buffer, static_cast<std::size_t>(got));
    }
}

void BlocksimProcess::send(const std::string& line) {
    const std::string text = line + "\n";
    if (::write(input_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        throw std::runtime_error("cannot write to the simulator");
    }
}

std::string BlocksimProcess::errorOutput() {
    std::string text;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(errors_, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

std::optional<int> BlocksimProcess::reap(bool block) {
    if (status_ || pid_ < 0) {
        return status_.value_or(-1);
    }
    int status = 0;
    if (::waitpid(pid_, &status, block ? 0 : WNOHANG) != pid_) {
        return std::nullopt;
    }
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return status_;
}

int BlocksimProcess::stop() {
    if (!status_ && pid_ > 0) {
        ::kill(pid_, SIGTERM);
    }
    return reap(true).value_or(-1);
}

std::optional<int> BlocksimProcess::wait(std::chrono::milliseconds timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    for (;;) {
        const auto result = reap(false);
        if (result || SteadyClock::now() >= deadline) {
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace kelvra::test
