#include "cli/ProgressReport.h"

#include <cstdio>
#include <cstring>

namespace kelvra::cli {

namespace {

constexpr auto kRedrawPeriod = std::chrono::milliseconds(100);

std::string megabytes(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / 1e6);
    return text;
}

}  // namespace

std::string fitToColumns(const std::string& text, int columns) {
    int shown = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        // A continuation byte belongs to the character before it.
        if ((static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) {
            continue;
        }
        if (shown == columns) {
            return text.substr(0, at);
        }
        ++shown;
    }
    return text;
}

ProgressReport::ProgressReport(platform::ErrorTerminal terminal)
    : terminal_(terminal.redraws), columns_(terminal.columns) {}

void ProgressReport::update(const std::string& file, std::uint64_t jobBytesTotal,
                            std::uint64_t jobBytesLeft) {
    std::lock_guard lock(mutex_);
    const std::uint64_t total = 2 * jobBytesTotal;
    const std::uint64_t done = 2 * (jobBytesTotal - jobBytesLeft);
    // A record begun again after recovery counts from its new start.
    if (done < lastDone_) {
        rateFrom_ = Clock::now();
        rateBase_ = done;
    }
    lastDone_ = done;
    const bool newFile = file != file_;
    file_ = file;
    if (terminal_) {
        const auto now = Clock::now();
        if (newFile || now - drawnAt_ >= kRedrawPeriod || done == total) {
            drawnAt_ = now;
            drawBar(file, total, done);
        }
        return;
    }
    if (newFile) {
        std::fprintf(stderr, "Reading %s\n", file.c_str());
    }
    const int tenth = total == 0 ? 10 : static_cast<int>(done * 10 / total);
    if (tenth != tenth_) {
        tenth_ = tenth;
        std::fprintf(stderr, "%d%% of the job (%s of %s MB)\n", tenth * 10, megabytes(done).c_str(),
                     megabytes(total).c_str());
    }
}

void ProgressReport::drawBar(const std::string& file, std::uint64_t total, std::uint64_t done) {
    const double seconds = std::chrono::duration<double>(Clock::now() - rateFrom_).count();
    const double rate = seconds > 0.5 ? static_cast<double>(done - rateBase_) / seconds : 0.0;
    char left[32] = "--:--";
    if (rate > 0) {
        const auto remaining = static_cast<std::uint64_t>(static_cast<double>(total - done) / rate);
        std::snprintf(left, sizeof left, "%llu:%02llu",
                      static_cast<unsigned long long>(remaining / 60),
                      static_cast<unsigned long long>(remaining % 60));
    }
    char figures[96];
    std::snprintf(figures, sizeof figures, "  %s/%s MB  %.1f kB/s  %s left",
                  megabytes(done).c_str(), megabytes(total).c_str(), rate / 1000.0, left);
    // The figures matter more than the end of a long file name; the last column stays free, as
    // some terminals wrap on writing it.
    const int room = columns_ - 1 - static_cast<int>(std::strlen(figures));
    const std::string line = (room > 0 ? fitToColumns(file, room) : std::string()) + figures;
    std::fprintf(stderr, "\r\x1b[K%s", fitToColumns(line, columns_ - 1).c_str());
    std::fflush(stderr);
    barShown_ = true;
}

void ProgressReport::clearBar() {
    if (barShown_) {
        std::fprintf(stderr, "\r\x1b[K");
        barShown_ = false;
    }
}

void ProgressReport::note(const std::string& message) {
    std::lock_guard lock(mutex_);
    clearBar();
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
}

void ProgressReport::finish() {
    std::lock_guard lock(mutex_);
    if (barShown_) {
        std::fprintf(stderr, "\n");
        barShown_ = false;
    }
}

}  // namespace kelvra::cli
