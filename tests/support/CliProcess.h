#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kelvra::test {

// One run of kelvra-cli, its output collected.
struct CliRun {
    std::vector<std::string> arguments;
    // Set in the program's environment on top of this process's own.
    std::map<std::string, std::string> environment;
    // Run as this user and group instead of this process's own.
    std::optional<std::pair<uid_t, gid_t>> user;
    // `interruptWith` (Ctrl+C's SIGINT unless set) once standard error has shown this text.
    std::string interruptOn;
    int interruptWith = 0;
    // Each runs once standard error has shown its text, in turn: what the program waits for
    // (blocks plugged in, say) happens then.
    std::vector<std::pair<std::string, std::function<void()>>> whenErrorShows;
    // Ignored from the start, as `nohup` leaves SIGHUP.
    std::vector<int> ignoredSignals;
    // Nobody reads standard output: its pipe is closed from the start, as `| head -0` leaves it.
    bool outputClosed = false;
    // A run that takes longer is killed and counts as hung.
    std::chrono::milliseconds limit = std::chrono::minutes(3);
};

struct CliResult {
    int status = -1;  // the exit status; -1 when killed or ended by a signal
    bool hung = false;
    bool interrupted = false;  // the signal was sent
    std::string out;
    std::string err;
};

// Runs `binary` with the run's arguments to its end.
CliResult runCli(const std::string& binary, const CliRun& run);

}  // namespace kelvra::test
