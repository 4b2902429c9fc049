#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/DialogDriver.h"
#include "tools/blocksim/SimulatedSerialBackend.h"
#include "tools/blocksim/VirtualClock.h"
#include "ui/MainDlg.h"

namespace kelvra::test {

// The main window on the headless backend, with blocks simulated in process and a virtual
// clock: each tick() is one second of the heartbeat.
class StationFixture : public ::testing::Test {
protected:
    void TearDown() override;

    // A block setup with the given identity; role A or B by the flag.
    static blocksim::BlockSetup block(int serialYear, int serialNumber, int firmware, bool roleA,
                                      bool service = false);
    // An entry made on 5 March 2018 at 14:<minute>:09, with settings 0x11.. and 0x21.. per
    // record and entryInfo 1 2 3 4.
    static blocksim::EntrySetup entry(std::uint8_t address, std::uint8_t records, bool roleA,
                                      int minute, std::uint16_t rate = 8000,
                                      std::uint16_t seconds = 1);
    // "SIM-COM<com>", where the station's scan finds port index com - 1.
    static std::string port(int com);

    void addBlock(int com, blocksim::BlockSetup setup);
    void start();
    void tick();
    void tick(int count);

    std::vector<std::string> listLines();
    std::string label(int controlId);
    // Bytes the block on that port has received since the last call (and from the start).
    std::vector<std::uint8_t> takeReceived(int com);

    platform::headless::DialogDriver driver;
    blocksim::VirtualClock clock;
    blocksim::SimulatedSerialBackend backend{clock};
    std::unique_ptr<CMainDlg> window;

private:
    std::map<int, std::size_t> receivedSeen_;
    // A download makes its folder the current directory, and the test then removes the folder.
    std::filesystem::path previousDirectory_ = std::filesystem::current_path();
};

}  // namespace kelvra::test
