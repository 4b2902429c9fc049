#pragma once

#include <array>

#include "link/BlockPort.h"
#include "platform/clock/Clock.h"
#include "platform/serial/PortNames.h"
#include "platform/serial/SerialPort.h"

namespace kelvra {

// What discovery needs of the main window.
class LinkMonitorHost {
public:
    virtual ~LinkMonitorHost() = default;

    // An interrupted download waits for its blocks: place them, but refresh nothing.
    virtual bool recoveryPending() const = 0;
    // A block was placed or lost: refresh the panels, then the record list.
    virtual void blocksChanged() = 0;
    // Shows the message and asks the window to close; no further exchange follows.
    virtual void fatalLinkError(const char* message) = 0;
    // True once a fatal error has asked the window to close.
    virtual bool closing() const = 0;
};

// Finds the blocks on COM1 to COM29, keeps them in their slots by role, sets block A's clock
// once per run and pings both blocks on every tick of the one-second timer.
class LinkMonitor {
public:
    LinkMonitor(CBlockPort& slotA, CBlockPort& slotB, platform::SerialBackend& backend,
                platform::Clock& clock, LinkMonitorHost& host);

    void tick();
    // Ticks leave the blocks' clocks as they are: for a front end that sets them only when
    // asked.
    void leaveClockAlone() { setsClock_ = false; }

    void scanPorts();
    // True when a present block failed to answer.
    bool pingBlock(CBlockPort& slot);
    void setBlockClock();

    bool portWorthTrying(int index) const {
        return portWorthTrying_[static_cast<std::size_t>(index)];
    }
    int rescanCountdown() const { return rescanCountdown_; }
    bool clockSet() const { return clockSet_; }
    // Grow whenever a block is placed or a slot is emptied by the monitor: in either slot, or
    // in the given one.
    unsigned slotChanges() const { return slotChangesA_ + slotChangesB_; }
    unsigned slotChanges(const CBlockPort& slot) const {
        return &slot == &slotA_ ? slotChangesA_ : slotChangesB_;
    }

private:
    void greetPort(int index);

    CBlockPort& slotA_;
    CBlockPort& slotB_;
    platform::SerialBackend& backend_;
    platform::Clock& clock_;
    LinkMonitorHost& host_;
    std::array<bool, platform::kPortCount> portWorthTrying_;
    int rescanCountdown_ = 0;
    bool clockSet_ = false;
    bool setsClock_ = true;
    unsigned slotChangesA_ = 0;
    unsigned slotChangesB_ = 0;
};

}  // namespace kelvra
