#include "tests/support/SimulatorProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <utility>

extern char** environ;

namespace kelvra::test {

namespace {

using SteadyClock = std::chrono::steady_clock;

int remainingMs(SteadyClock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Both ends of a pipe, closed on destruction unless taken.
class Pipe {
public:
    Pipe() {
        if (::pipe2(ends_, O_CLOEXEC) != 0) {
            throw std::runtime_error("cannot create pipes");
        }
    }
    ~Pipe() {
        for (const int end : ends_) {
            if (end >= 0) {
                ::close(end);
            }
        }
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    int readEnd() const { return ends_[0]; }
    int writeEnd() const { return ends_[1]; }
    int takeReadEnd() { return std::exchange(ends_[0], -1); }
    int takeWriteEnd() { return std::exchange(ends_[1], -1); }

private:
    int ends_[2] = {-1, -1};
};

}  // namespace

SimulatorProcess::SimulatorProcess(const Options& options) : portDirectory_(options.portDirectory) {
    try {
        start(options);
    } catch (...) {
        release();
        throw;
    }
}

SimulatorProcess::~SimulatorProcess() {
    stop();
    release();
}

void SimulatorProcess::start(const Options& options) {
    if (portDirectory_.empty()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kelvra-blocksim-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a temporary directory");
        }
        ownedDirectory_ = pattern;
        portDirectory_ = ownedDirectory_ + "/ports";
    }

    std::vector<std::string> arguments = {options.binary, "--port-dir", portDirectory_};
    if (options.pace) {
        arguments.push_back("--pace");
    }
    arguments.insert(arguments.end(), options.extraArguments.begin(), options.extraArguments.end());
    arguments.push_back(options.scenarioPath);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    Pipe toChild;
    Pipe fromChild;
    std::optional<Pipe> errorsFromChild;
    if (options.captureErrors) {
        errorsFromChild.emplace();
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild.readEnd(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild.writeEnd(), STDOUT_FILENO);
    if (errorsFromChild) {
        posix_spawn_file_actions_adddup2(&actions, errorsFromChild->writeEnd(), STDERR_FILENO);
    }
    const int spawned =
        ::posix_spawn(&pid_, options.binary.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + options.binary);
    }
    input_ = toChild.takeWriteEnd();
    output_ = fromChild.takeReadEnd();
    if (errorsFromChild) {
        errors_ = errorsFromChild->takeReadEnd();
    }
}

void SimulatorProcess::release() {
    for (int* descriptor : {&input_, &output_, &errors_}) {
        if (*descriptor >= 0) {
            ::close(std::exchange(*descriptor, -1));
        }
    }
    if (!ownedDirectory_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(ownedDirectory_, ignored);
    }
}

bool SimulatorProcess::waitReady(std::chrono::milliseconds timeout) {
    return waitForLine("READY", timeout).has_value();
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

void SimulatorProcess::send(const std::string& line) {
    if (!writeLine(line)) {
        throw std::runtime_error("cannot write to the simulator");
    }
}

bool SimulatorProcess::command(const std::string& line, std::chrono::milliseconds timeout) {
    if (!writeLine(line)) {
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

bool SimulatorProcess::writeLine(const std::string& line) {
    const std::string text = line + "\n";
    return ::write(input_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
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

std::string SimulatorProcess::errorOutput() {
    std::string text;
    char buffer[4096];
    ssize_t got = 0;
    while (errors_ >= 0 && (got = ::read(errors_, buffer, sizeof buffer)) != 0) {
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

std::optional<int> SimulatorProcess::reap(bool block) {
    if (status_ || pid_ < 0) {
        return status_.value_or(-1);
    }
    int status = 0;
    pid_t reaped = 0;
    do {
        reaped = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
    } while (reaped < 0 && errno == EINTR);
    if (reaped != pid_) {
        return std::nullopt;
    }
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return status_;
}

int SimulatorProcess::stop() {
    if (!status_ && pid_ > 0) {
        ::kill(pid_, SIGTERM);
        // The simulator removes its links on SIGTERM; one that hangs is not left behind.
        if (!wait(std::chrono::seconds(10))) {
            ::kill(pid_, SIGKILL);
        }
    }
    return reap(true).value_or(-1);
}

std::optional<int> SimulatorProcess::wait(std::chrono::milliseconds timeout) {
    const auto deadline = SteadyClock::now() + timeout;
    for (;;) {
        const auto result = reap(false);
        if (result || SteadyClock::now() >= deadline) {
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace kelvra::test
