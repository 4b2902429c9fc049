#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/blocksim/BlockModel.h"
#include "tools/blocksim/PortLinks.h"
#include "tools/blocksim/Scenario.h"
#include "tools/blocksim/UsbSerialAdapter.h"

namespace kelvra::blocksim {

struct PtyHostOptions {
    std::string portDirectory;
    std::optional<std::string> winePrefix;
    bool pace = false;  // hold each block to the line rate
    // Put a USB serial adapter with this latency timer between each block and its terminal.
    std::optional<std::uint32_t> adapterLatencyMs;
};

// Serves the blocks of a scenario on pseudo-terminals, all from one poll() loop. Reports on
// `out`: "COM<n> <device>" per block and "READY" once all are published, the answer to each
// control command, and "UNPLUGGED COM<n>" / "PLUGGED COM<n> <device>" as blocks go and return.
class PtyHost {
public:
    PtyHost(const Scenario& scenario, PtyHostOptions options, std::ostream& out);
    ~PtyHost();
    PtyHost(const PtyHost&) = delete;
    PtyHost& operator=(const PtyHost&) = delete;

    // Creates every block's pseudo-terminal and link. Throws std::runtime_error.
    void start();
    // Serves until the quit command or until `stopFd` turns readable. Control commands come
    // one per line from `controlFd` (-1 for none); its end leaves the blocks running.
    void run(int controlFd, int stopFd);

private:
    using SteadyClock = std::chrono::steady_clock;

    struct ServedBlock {
        ServedBlock(int port, BlockModel blockModel) : com(port), model(std::move(blockModel)) {}

        int com = 0;
        BlockModel model;
        int master = -1;  // -1 while unplugged
        std::string device;
        bool hungUp = true;                  // nobody holds the port
        std::vector<std::uint8_t> outgoing;  // the block's replies, not on the line yet
        std::size_t outgoingStart = 0;
        std::optional<UsbSerialAdapter> adapter;
        UsbSerialAdapter::Time lineAt{};      // when the last byte reached the adapter
        std::deque<std::uint8_t> handedOver;  // packets the adapter delivered, for the terminal
        double credit = 0;                    // bytes the line may carry now, when paced
        SteadyClock::time_point creditAt;
        std::optional<SteadyClock::time_point> drainUntil;
        std::optional<SteadyClock::time_point> returnAt;
        bool returnInOtherSlot = false;
    };

    void openTerminal(ServedBlock& block);
    void tend(ServedBlock& block, SteadyClock::time_point now);
    void readFromTool(ServedBlock& block);
    void writeToTool(ServedBlock& block, SteadyClock::time_point now);
    void writeHandedOver(ServedBlock& block, SteadyClock::time_point now);
    // Nothing of the block's replies waits anywhere on its way to the terminal.
    static bool drained(const ServedBlock& block);
    // Replies on their way to the terminal are lost.
    static void dropReplies(ServedBlock& block);
    void hangUp(ServedBlock& block);
    void takeAway(ServedBlock& block, std::uint32_t forMs, bool otherSlot);
    void bringBack(ServedBlock& block);
    std::chrono::microseconds timeUntilWritable(ServedBlock& block, SteadyClock::time_point now);
    void execute(std::string_view line);
    void printStatus();
    ServedBlock* findBlock(int com);

    PtyHostOptions options_;
    std::ostream& out_;
    PortLinks links_;
    std::vector<ServedBlock> blocks_;
    bool quit_ = false;
};

}  // namespace kelvra::blocksim
