#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace kelvra::test {

// A kelvra-blocksim process publishing its blocks in a port directory that the caller chose
// (the one the station under test will look in), driven through its standard input and
// output. Stopped with SIGTERM on destruction. Free of any test framework, so that the
// benchmarks use it too.
class SimulatorProcess {
public:
    struct Options {
        std::string binary;
        std::string scenarioPath;
        std::string portDirectory;
        bool pace = false;
    };

    // Starts the process; throws std::runtime_error when it cannot be started.
    explicit SimulatorProcess(const Options& options);
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    // The oldest line beginning with `prefix` that no earlier wait returned, also one that came
    // before or while waiting for another; nothing if the process ended or the time ran out.
    std::optional<std::string> waitForLine(const std::string& prefix,
                                           std::chrono::milliseconds timeout);
    // One control command; true once the simulator has answered "ok".
    bool command(const std::string& line,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // Every line printed so far.
    const std::vector<std::string>& lines() const { return lines_; }
    pid_t pid() const { return pid_; }

private:
    // Reads one more line of output; false if none came before the deadline.
    bool nextLine(std::chrono::steady_clock::time_point deadline);

    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string pending_;
    std::vector<std::string> lines_;
    std::vector<std::size_t> unclaimed_;  // lines_ that no wait or command has taken
};

}  // namespace kelvra::test
