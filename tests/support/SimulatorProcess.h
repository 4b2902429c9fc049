#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace kelvra::test {

// A kelvra-blocksim process publishing its blocks in a port directory, driven through its
// standard input and output. Stopped with SIGTERM on destruction. Free of any test framework,
// so that the benchmarks use it too.
class SimulatorProcess {
public:
    struct Options {
        std::string binary;
        std::string scenarioPath;
        // Where the station under test will look; empty for a private temporary directory,
        // removed with the object.
        std::string portDirectory;
        bool pace = false;
        std::vector<std::string> extraArguments;  // passed before the scenario path
        // Keep standard error for errorOutput() instead of letting it through; only for a
        // process that writes little there, since nobody reads the pipe while it runs.
        bool captureErrors = false;
    };

    // Starts the process; throws std::runtime_error when it cannot be started.
    explicit SimulatorProcess(const Options& options);
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    const std::string& portDirectory() const { return portDirectory_; }
    std::string comLink(int com) const { return portDirectory_ + "/COM" + std::to_string(com); }

    // Waits for the READY line; false if the process ended or the time ran out.
    bool waitReady(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // The oldest line beginning with `prefix` that no earlier wait returned, also one that came
    // before or while waiting for another; nothing if the process ended or the time ran out.
    std::optional<std::string> waitForLine(const std::string& prefix,
                                           std::chrono::milliseconds timeout);
    // One line to the simulator's input; throws std::runtime_error when it cannot be written.
    void send(const std::string& line);
    // One control command; true once the simulator has answered "ok".
    bool command(const std::string& line,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // Every line printed so far.
    const std::vector<std::string>& lines() const { return lines_; }
    // What the process wrote to standard error (with captureErrors); read to the end of the
    // stream, so call it once the process has ended.
    std::string errorOutput();

    // SIGTERM, then SIGKILL if it has not ended within 10 s: the exit status, or -1 when it did
    // not exit normally.
    int stop();
    // Waits for the process to end by itself: its exit status (-1 when it did not exit
    // normally), or nothing while it still runs.
    std::optional<int> wait(std::chrono::milliseconds timeout);

private:
    void start(const Options& options);
    bool writeLine(const std::string& line);
    // Reads one more line of output; false if none came before the deadline.
    bool nextLine(std::chrono::steady_clock::time_point deadline);
    std::optional<int> reap(bool block);
    void release();

    std::string ownedDirectory_;  // the private directory holding portDirectory_, if any
    std::string portDirectory_;
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    int errors_ = -1;
    std::string pending_;
    std::vector<std::string> lines_;
    std::vector<std::size_t> unclaimed_;  // lines_ that no wait or command has taken
    std::optional<int> status_;
};

}  // namespace kelvra::test
