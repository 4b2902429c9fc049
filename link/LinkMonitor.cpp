#include "link/LinkMonitor.h"

#include <algorithm>

#include "link/BlockLink.h"
#include "link/ConfigFrame.h"
#include "link/LinkExchanges.h"
#include "link/Messages.h"

namespace kelvra {

namespace {

constexpr int kRenewalTicks = 10;

}  // namespace

LinkMonitor::LinkMonitor(CBlockPort& slotA, CBlockPort& slotB, platform::SerialBackend& backend,
                         platform::Clock& clock, LinkMonitorHost& host)
    : slotA_(slotA), slotB_(slotB), backend_(backend), clock_(clock), host_(host) {
    portWorthTrying_.fill(true);
}

void LinkMonitor::tick() {
    if (setsClock_ && slotA_.present && slotB_.present && !clockSet_) {
        setBlockClock();
        if (host_.closing()) {
            return;
        }
    }
    if (!(slotA_.present && slotB_.present)) {
        if (rescanCountdown_ == 0) {
            portWorthTrying_.fill(true);
            rescanCountdown_ = kRenewalTicks;
        } else {
            --rescanCountdown_;
        }
        scanPorts();
        if (host_.closing()) {
            return;
        }
    }
    if (pingBlock(slotA_) || pingBlock(slotB_)) {
        closeBlock(slotA_);
        closeBlock(slotB_);
        ++slotChangesA_;
        ++slotChangesB_;
        if (!host_.recoveryPending()) {
            host_.blocksChanged();
        }
    }
}

void LinkMonitor::scanPorts() {
    for (int index = 0; index < platform::kPortCount; ++index) {
        if (!portWorthTrying_[static_cast<std::size_t>(index)] || index == slotA_.portIndex ||
            index == slotB_.portIndex) {
            continue;
        }
        greetPort(index);
        if (host_.closing()) {
            return;
        }
    }
}

void LinkMonitor::greetPort(int index) {
    bool& worthTrying = portWorthTrying_[static_cast<std::size_t>(index)];
    platform::OpenedPort opened = openBlockPort(backend_, backend_.deviceName(index));
    if (opened.status == platform::OpenStatus::Failed) {
        return;
    }
    if (opened.status == platform::OpenStatus::NotConfigurable) {
        worthTrying = false;
        closePort(opened.port);
        return;
    }
    platform::SerialPort& port = *opened.port;
    const HelloResult hello = helloExchange(port);
    switch (hello.failure) {
        case HelloFailure::None:
            break;
        case HelloFailure::NotWritten:
        case HelloFailure::NoReply:
            worthTrying = false;
            closePort(opened.port);
            return;
        case HelloFailure::NoParameters:
            host_.fatalLinkError(messages::kCannotReadParameters);
            return;
        case HelloFailure::NoAck:
            host_.fatalLinkError(messages::kNoAcknowledge);
            return;
    }

    std::uint8_t reply[1 + BlockParams::kSize] = {ReplyHello};
    hello.params.toBytes(reply + 1);
    if (slotA_.present || slotB_.present) {
        // Tell the newcomer which role its partner has; it answers the next greeting with the
        // parameters it takes on after pairing.
        const std::uint8_t subCommand =
            slotA_.present ? ConfigFrame::kPairWithA : ConfigFrame::kPairWithB;
        sendConfigFrame(port, ConfigFrame::command(subCommand));
        helloUnchecked(port, reply);
    }
    const BlockParams params = BlockParams::fromBytes(reply + 1);

    CBlockPort& slot = params.roleA() ? slotA_ : slotB_;
    if (slot.present) {
        // Two blocks claiming one role: the one already placed keeps its slot, and the
        // newcomer's port is not left open behind the station's back.
        worthTrying = false;
        closePort(opened.port);
        return;
    }
    slot.serialNumber = params.serialNumber;
    slot.serialYear = params.serialYear;
    slot.firmware = params.firmware;
    slot.serviceFlag = params.serviceFlag();
    slot.present = true;
    slot.handle = std::move(opened.port);
    slot.portIndex = index;
    applyCapabilities(slot, slot.firmware);
    ++(&slot == &slotA_ ? slotChangesA_ : slotChangesB_);
    if (!host_.recoveryPending()) {
        host_.blocksChanged();
    }
}

bool LinkMonitor::pingBlock(CBlockPort& slot) {
    if (!slot.present) {
        return false;
    }
    return !helloExchange(*slot.handle).ok();
}

void LinkMonitor::setBlockClock() {
    clockSet_ = true;
    if (!setClock(*slotA_.handle, clock_.atStartOfSecond())) {
        host_.fatalLinkError(messages::kNoAcknowledgeT1);
    }
}

}  // namespace kelvra
