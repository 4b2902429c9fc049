#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/console/Console.h"

namespace kelvra::cli {

// `text` cut to at most `columns` characters as a terminal shows them (UTF-8 sequences count
// as one), so that a redrawn line never wraps.
std::string fitToColumns(const std::string& text, int columns);

// The download's progress on standard error: a line redrawn in place on a terminal that can
// (the file, bytes, rate, time left), fitted to its width; otherwise a line for each file and
// for each tenth of the job. Called from the worker and the main thread alike.
class ProgressReport {
public:
    explicit ProgressReport(platform::ErrorTerminal terminal);

    // Per channel, as the job counts: the files hold twice these bytes.
    void update(const std::string& file, std::uint64_t jobBytesTotal, std::uint64_t jobBytesLeft);
    // A message on a line of its own; the bar is drawn again on the next update.
    void note(const std::string& message);
    // Leaves the bar's line.
    void finish();

private:
    using Clock = std::chrono::steady_clock;

    void drawBar(const std::string& file, std::uint64_t total, std::uint64_t done);
    void clearBar();

    std::mutex mutex_;
    const bool terminal_;
    const int columns_;
    std::string file_;
    int tenth_ = -1;
    bool barShown_ = false;
    Clock::time_point drawnAt_{};
    Clock::time_point rateFrom_ = Clock::now();
    std::uint64_t rateBase_ = 0;
    std::uint64_t lastDone_ = 0;
};

}  // namespace kelvra::cli
