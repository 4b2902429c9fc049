#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/serial/SerialPort.h"
#include "tools/blocksim/BlockModel.h"
#include "tools/blocksim/Scenario.h"
#include "tools/blocksim/UsbSerialAdapter.h"
#include "tools/blocksim/VirtualClock.h"

namespace kelvra::blocksim {

// Serial devices for tests of the tool, served in-process by BlockModels. Reads that find
// fewer bytes than asked cost virtual time as a real port's time-outs would: nothing at all
// advances the clock by 1000 + 5 * n ms, a short reply by the 200 ms interval. Ports may be
// used from one worker thread while the test thread inspects or unplugs. The backend must
// outlive the ports it opened. An Error line fault raises the port's lineErrors() once the
// damaged byte has reached the host; behind an adapter, the bytes of a Late one reach it in a
// packet after the acknowledgement's.
class SimulatedSerialBackend : public platform::SerialBackend {
public:
    explicit SimulatedSerialBackend(VirtualClock& clock);
    ~SimulatedSerialBackend() override;

    // Opens exclusively: a second open of an open device fails.
    platform::OpenedPort open(const std::string& deviceName) override;
    // "SIM-COM<index + 1>".
    std::string deviceName(int index) override;

    void addBlock(const std::string& name, BlockSetup setup);
    // Every block of the scenario, at deviceName(com - 1).
    void addScenario(const Scenario& scenario);
    void addUnopenable(const std::string& name);
    // Opens, but its line settings cannot be applied; it answers nothing.
    void addUnconfigurable(const std::string& name);
    // Answers every write with `reply`.
    void addConstantResponder(const std::string& name, std::uint8_t reply);

    // Puts a USB serial adapter with this latency timer between every block (also those added
    // later) and the host, so that replies come in packets and waiting for one costs virtual
    // time. A port's requestLowLatency() sets its adapter's timer to 1 ms, as the Linux driver
    // does, until the device is unplugged.
    void setAdapterLatency(std::uint32_t latencyMs);
    // Ports that refuse the low-latency request, as on a driver without one (Windows' own).
    void setLowLatencyRefused(bool refused) { lowLatencyRefused_ = refused; }
    // The latency timer of the device's adapter now, if it has one.
    std::optional<std::uint32_t> adapterLatency(const std::string& name) const;
    // Holds every block's replies to the line rate, 46080 bytes/s (460800 baud, 8N1), in
    // virtual time; otherwise a reply is there as soon as it is asked for.
    void setPaced(bool paced);

    // The device goes away: opening fails, and a port opened before stays dead (reads and writes
    // move nothing) even after the device returns. Without `forMs` it stays away until plug().
    void unplug(const std::string& name);
    void unplug(const std::string& name, std::uint64_t forMs, bool otherSlot);
    // The device returns powered up afresh; with `otherSlot` every block flips its role.
    void plug(const std::string& name, bool otherSlot = false);
    bool isPlugged(const std::string& name);

    // open() calls for the name, whether they succeeded or not.
    int openCount(const std::string& name) const;
    bool isOpen(const std::string& name) const;

    // Runs `use` on the block's model under the backend's lock.
    void withModel(const std::string& name, const std::function<void(BlockModel&)>& use);
    // Arms one more line fault on the block; its sectors count from now.
    void armLineFault(const std::string& name, const LineFault& fault);
    BlockSetup setup(const std::string& name) const;
    // The virtual time at which the block last had its clock set, once it has.
    std::optional<std::uint64_t> clockSetAtMs(const std::string& name) const;
    std::vector<std::uint8_t> received(const std::string& name) const;

private:
    class Port;

    enum class Kind { Block, Unopenable, Unconfigurable, Responder };

    struct Device {
        Kind kind = Kind::Block;
        std::optional<BlockModel> model;
        std::uint8_t reply = 0;
        std::size_t repliesPending = 0;
        bool plugged = true;
        bool open = false;
        std::optional<UsbSerialAdapter> adapter;
        std::deque<std::uint8_t> host;  // handed to the host, not read yet
        std::uint64_t lineErrors = 0;   // counted by the driver since the port was opened
        // Paced: when the line began to carry the replies still pending in the model, and how
        // many bytes it has carried since then.
        std::uint64_t lineStartUs = 0;
        std::uint64_t lineCarried = 0;
        std::uint64_t generation = 0;  // counts unplugs; a port of an older generation is dead
        std::optional<std::uint64_t> returnAt;
        bool returnInOtherSlot = false;
        std::optional<std::uint64_t> clockSetAt;
    };

    void addDevice(const std::string& name, Device device);
    Device& device(const std::string& name);
    const Device& device(const std::string& name) const;
    bool alive(const Device& device, std::uint64_t generation) const;
    // Brings back devices whose time away is over and takes away blocks whose unplug fault
    // fired once the tool has read what they sent before it.
    void settle();
    void takeAway(Device& device, std::optional<std::uint64_t> forMs, bool otherSlot);
    void bringBack(Device& device, bool otherSlot);
    void unplugWhenDrained(Device& device);
    // What nobody reads is lost: the block's replies, the adapter's packets, the host's buffer.
    void dropReplies(Device& device);
    // Late bytes wait while the adapter still holds what came before them.
    static bool holdsLateBytes(const Device& device);
    // Hands the host what the line (and the adapter) brought by now.
    void pump(Device& device);
    // The block's new replies follow those still on the line, or start now on an idle one.
    void reply(Device& device, const std::function<void()>& produce);
    // When the line delivers its byte `index`, counted from its start.
    std::uint64_t lineArrivalUs(const Device& device, std::uint64_t index) const;
    // When more bytes reach the host without anything sent, if any will; waiting for `wanted`.
    std::optional<std::uint64_t> nextArrivalUs(const Device& device, std::size_t wanted) const;
    std::size_t take(Device& device, std::uint8_t* bytes, std::size_t count);

    std::size_t portWrite(const std::string& name, std::uint64_t generation,
                          const std::uint8_t* bytes, std::size_t count);
    std::size_t portRead(const std::string& name, std::uint64_t generation, std::uint8_t* bytes,
                         std::size_t count);
    std::size_t portAvailable(const std::string& name, std::uint64_t generation);
    std::size_t portAvailableWithin(const std::string& name, std::uint64_t generation,
                                    unsigned milliseconds);
    bool portRequestLowLatency(const std::string& name, std::uint64_t generation);
    std::uint64_t portLineErrors(const std::string& name, std::uint64_t generation);
    void portClosed(const std::string& name, std::uint64_t generation);

    VirtualClock& clock_;
    mutable std::mutex mutex_;
    std::map<std::string, Device> devices_;
    std::map<std::string, int> openCounts_;
    std::optional<std::chrono::milliseconds> adapterLatency_;
    bool lowLatencyRefused_ = false;
    bool paced_ = false;
};

}  // namespace kelvra::blocksim
