#pragma once

#include <array>
#include <string>

#include "link/BlockPort.h"
#include "link/LinkMonitor.h"
#include "platform/clock/Clock.h"
#include "platform/serial/SerialPort.h"
#include "records/RecordInfo.h"
#include "records/RecordTableBuilder.h"

namespace kelvra {
class DownloadSession;
}

namespace kelvra::cli {

// The station without a window: both slots, the record table, and the window's discovery
// (the same scan, pairing and placement). Its ticks never set a block's clock.
class CliStation : private LinkMonitorHost {
public:
    CliStation(platform::SerialBackend& backend, platform::Clock& clock);

    // One scan of COM1 to COM29, as the window's first tick makes it. False after a fatal
    // link error.
    bool discover();
    bool anyBlock() const { return slotA.present || slotB.present; }
    // Both directories into the record table. False after a fatal link error.
    bool readTable();
    // Both directories twice; `steady` tells whether the second read gave the rows of the
    // first. False after a fatal link error.
    bool readTableTwice(bool& steady);
    int rowCount() const { return rowCount_; }
    // Ticks of the window's one-second timer, while a download waits for its blocks.
    void tick() { monitor_.tick(); }
    // Recovery: placed blocks refresh nothing while this session waits for its blocks, until
    // the returned object is gone (before the session is).
    class Watching {
    public:
        explicit Watching(CliStation& station) : station_(station) {}
        ~Watching() { station_.session_ = nullptr; }
        Watching(const Watching&) = delete;
        Watching& operator=(const Watching&) = delete;

    private:
        CliStation& station_;
    };
    [[nodiscard]] Watching watch(const DownloadSession& session) {
        session_ = &session;
        return Watching(*this);
    }

    // The message of the fatal link error that ended the work, or empty.
    const std::string& fatalError() const { return fatalError_; }

    CBlockPort slotA;
    CBlockPort slotB;
    // Every record the blocks hold: the command line is not bound by the window's 320 lines.
    std::array<RecordInfo, RecordTableBuilder::kCapacity> recordTable{};

private:
    bool recoveryPending() const override;
    void blocksChanged() override {}
    void fatalLinkError(const char* message) override;
    bool closing() const override { return !fatalError_.empty(); }

    LinkMonitor monitor_;
    const DownloadSession* session_ = nullptr;
    std::string fatalError_;
    int rowCount_ = 0;
};

// Finds the blocks and, with `withTable`, reads their records. kExitDone when that worked;
// otherwise the message is out and this is the exit status.
int openStation(CliStation& station, bool withTable);
// No block on any port: says so, naming the ports another program holds; the exit status.
int noBlocksFound();
// The fatal link error on standard error; the exit status for it.
int linkFailure(const CliStation& station);

}  // namespace kelvra::cli
