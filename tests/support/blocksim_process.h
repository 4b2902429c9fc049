#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace kelvra::test {

// A kelvra-blocksim process serving a scenario in a private, temporary port directory, driven
// through its standard input and output. Stopped (SIGTERM) and cleaned up on destruction.
class BlocksimProcess {
public:
    BlocksimProcess(const std::string& binary, const std::string& scenario,
                    const std::vector<std::string>& extraArguments = {});
    ~BlocksimProcess();
    BlocksimProcess(const BlocksimProcess&) = delete;
    BlocksimProcess& operator=(const BlocksimProcess&) = delete;

    const std::string& portDirectory() const { return portDirectory_; }
    std::string comLink(int com) const { return portDirectory_ + "/COM" + std::to_string(com); }

    // Reads output until the READY line; false if the process ended or the time ran out.
    bool waitReady(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Reads output until a line beginning with `prefix`, which it returns.
    std::optional<std::string> waitForLine(const std::string& prefix,
                                           std::chrono::milliseconds timeout);
    void send(const std::string& line);

    // Every line printed so far, and what went to standard error once the process ended.
    const std::vector<std::string>& lines() const { return lines_; }
    std::string errorOutput();

    // SIGTERM and wait; the exit status, or -1 when it did not exit normally.
    int stop();
    // Waits for the process to end by itself: its exit status (-1 when it did not exit
    // normally), or nothing while it still runs.
    std::optional<int> wait(std::chrono::milliseconds timeout);

private:
    std::optional<std::string> nextLine(std::chrono::steady_clock::time_point deadline);
    std::optional<int> reap(bool block);

    std::string directory_;
    std::string portDirectory_;
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    int errors_ = -1;
    std::string pending_;
    std::vector<std::string> lines_;
    std::optional<int> status_;
};

}  // namespace kelvra::test
