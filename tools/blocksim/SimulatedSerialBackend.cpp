#include "tools/blocksim/SimulatedSerialBackend.h"

#include <algorithm>
#include <stdexcept>

namespace kelvra::blocksim {

namespace {

constexpr std::uint64_t kReadTotalConstantUs = 1000000;
constexpr std::uint64_t kReadTotalPerByteUs = 5000;
constexpr std::uint64_t kReadIntervalUs = 200000;
constexpr std::chrono::milliseconds kLowLatency{1};
constexpr std::uint64_t kLineBytesPerSecond = 46080;  // 460800 baud, 8N1

}  // namespace

class SimulatedSerialBackend::Port : public platform::SerialPort {
public:
    Port(SimulatedSerialBackend& backend, std::string name, std::uint64_t generation)
        : backend_(backend), name_(std::move(name)), generation_(generation) {}
    ~Port() override { backend_.portClosed(name_, generation_); }

    std::size_t write(const std::uint8_t* bytes, std::size_t count) override {
        return backend_.portWrite(name_, generation_, bytes, count);
    }
    std::size_t read(std::uint8_t* bytes, std::size_t count) override {
        return backend_.portRead(name_, generation_, bytes, count);
    }
    std::size_t available() override { return backend_.portAvailable(name_, generation_); }
    std::size_t availableWithin(unsigned milliseconds) override {
        return backend_.portAvailableWithin(name_, generation_, milliseconds);
    }
    bool requestLowLatency() override { return backend_.portRequestLowLatency(name_, generation_); }
    std::uint64_t lineErrors() override { return backend_.portLineErrors(name_, generation_); }

private:
    SimulatedSerialBackend& backend_;
    std::string name_;
    std::uint64_t generation_;
};

SimulatedSerialBackend::SimulatedSerialBackend(VirtualClock& clock) : clock_(clock) {}

SimulatedSerialBackend::~SimulatedSerialBackend() = default;

std::string SimulatedSerialBackend::deviceName(int index) {
    return "SIM-COM" + std::to_string(index + 1);
}

platform::OpenedPort SimulatedSerialBackend::open(const std::string& deviceName) {
    std::lock_guard lock(mutex_);
    settle();
    ++openCounts_[deviceName];
    const auto found = devices_.find(deviceName);
    if (found == devices_.end()) {
        return {};
    }
    Device& opened = found->second;
    if (opened.kind == Kind::Unopenable || !opened.plugged || opened.open) {
        return {};
    }
    opened.open = true;
    // Nothing that arrived while the port was closed is waiting in a freshly opened one.
    dropReplies(opened);
    opened.lineErrors = 0;
    platform::OpenedPort result;
    result.status = opened.kind == Kind::Unconfigurable ? platform::OpenStatus::NotConfigurable
                                                        : platform::OpenStatus::Ready;
    result.port = std::make_unique<Port>(*this, deviceName, opened.generation);
    return result;
}

void SimulatedSerialBackend::addDevice(const std::string& name, Device device) {
    std::lock_guard lock(mutex_);
    if (device.model && adapterLatency_) {
        device.adapter.emplace(*adapterLatency_);
    }
    if (!devices_.emplace(name, std::move(device)).second) {
        throw std::invalid_argument("simulated device " + name + " exists already");
    }
}

void SimulatedSerialBackend::addBlock(const std::string& name, BlockSetup setup) {
    Device block;
    block.model.emplace(std::move(setup));
    addDevice(name, std::move(block));
}

void SimulatedSerialBackend::addScenario(const Scenario& scenario) {
    for (const ScenarioBlock& block : scenario.blocks) {
        addBlock(deviceName(block.com - 1), block.setup);
    }
}

void SimulatedSerialBackend::addUnopenable(const std::string& name) {
    Device unopenable;
    unopenable.kind = Kind::Unopenable;
    addDevice(name, std::move(unopenable));
}

void SimulatedSerialBackend::addUnconfigurable(const std::string& name) {
    Device unconfigurable;
    unconfigurable.kind = Kind::Unconfigurable;
    addDevice(name, std::move(unconfigurable));
}

void SimulatedSerialBackend::addConstantResponder(const std::string& name, std::uint8_t reply) {
    Device responder;
    responder.kind = Kind::Responder;
    responder.reply = reply;
    addDevice(name, std::move(responder));
}

void SimulatedSerialBackend::setAdapterLatency(std::uint32_t latencyMs) {
    std::lock_guard lock(mutex_);
    adapterLatency_ = std::chrono::milliseconds(latencyMs);
    for (auto& [name, each] : devices_) {
        if (!each.model) {
            continue;
        }
        pump(each);
        if (each.adapter) {
            each.adapter->setLatency(*adapterLatency_);
        } else {
            each.adapter.emplace(*adapterLatency_);
        }
    }
}

void SimulatedSerialBackend::setPaced(bool paced) {
    std::lock_guard lock(mutex_);
    for (auto& [name, each] : devices_) {
        pump(each);
        each.lineStartUs = clock_.nowUs();
        each.lineCarried = 0;
    }
    paced_ = paced;
}

std::optional<std::uint32_t> SimulatedSerialBackend::adapterLatency(const std::string& name) const {
    std::lock_guard lock(mutex_);
    const Device& found = device(name);
    if (!found.adapter) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(found.adapter->latency().count());
}

void SimulatedSerialBackend::unplug(const std::string& name) {
    std::lock_guard lock(mutex_);
    takeAway(device(name), std::nullopt, false);
}

void SimulatedSerialBackend::unplug(const std::string& name, std::uint64_t forMs, bool otherSlot) {
    std::lock_guard lock(mutex_);
    takeAway(device(name), forMs, otherSlot);
}

void SimulatedSerialBackend::plug(const std::string& name, bool otherSlot) {
    std::lock_guard lock(mutex_);
    Device& plugged = device(name);
    if (!plugged.plugged) {
        bringBack(plugged, otherSlot);
    }
}

bool SimulatedSerialBackend::isPlugged(const std::string& name) {
    std::lock_guard lock(mutex_);
    settle();
    return device(name).plugged;
}

int SimulatedSerialBackend::openCount(const std::string& name) const {
    std::lock_guard lock(mutex_);
    const auto found = openCounts_.find(name);
    return found == openCounts_.end() ? 0 : found->second;
}

bool SimulatedSerialBackend::isOpen(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return device(name).open;
}

void SimulatedSerialBackend::withModel(const std::string& name,
                                       const std::function<void(BlockModel&)>& use) {
    std::lock_guard lock(mutex_);
    Device& block = device(name);
    if (!block.model) {
        throw std::invalid_argument("simulated device " + name + " is not a block");
    }
    reply(block, [&] { use(*block.model); });
    unplugWhenDrained(block);
}

void SimulatedSerialBackend::armLineFault(const std::string& name, const LineFault& fault) {
    withModel(name, [&](BlockModel& model) { model.armLineFault(fault); });
}

std::optional<std::uint64_t> SimulatedSerialBackend::clockSetAtMs(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return device(name).clockSetAt;
}

BlockSetup SimulatedSerialBackend::setup(const std::string& name) const {
    std::lock_guard lock(mutex_);
    const Device& block = device(name);
    if (!block.model) {
        throw std::invalid_argument("simulated device " + name + " is not a block");
    }
    return block.model->setup();
}

std::vector<std::uint8_t> SimulatedSerialBackend::received(const std::string& name) const {
    std::lock_guard lock(mutex_);
    const Device& block = device(name);
    if (!block.model) {
        throw std::invalid_argument("simulated device " + name + " is not a block");
    }
    return block.model->received();
}

SimulatedSerialBackend::Device& SimulatedSerialBackend::device(const std::string& name) {
    const auto found = devices_.find(name);
    if (found == devices_.end()) {
        throw std::invalid_argument("no simulated device " + name);
    }
    return found->second;
}

const SimulatedSerialBackend::Device& SimulatedSerialBackend::device(
    const std::string& name) const {
    const auto found = devices_.find(name);
    if (found == devices_.end()) {
        throw std::invalid_argument("no simulated device " + name);
    }
    return found->second;
}

bool SimulatedSerialBackend::alive(const Device& device, std::uint64_t generation) const {
    return device.plugged && device.open && device.generation == generation;
}

void SimulatedSerialBackend::settle() {
    const std::uint64_t now = clock_.nowMs();
    for (auto& [name, each] : devices_) {
        if (!each.plugged && each.returnAt && *each.returnAt <= now) {
            bringBack(each, each.returnInOtherSlot);
        }
        unplugWhenDrained(each);
    }
}

void SimulatedSerialBackend::takeAway(Device& device, std::optional<std::uint64_t> forMs,
                                      bool otherSlot) {
    device.plugged = false;
    device.open = false;
    ++device.generation;
    dropReplies(device);
    device.returnAt.reset();
    if (forMs) {
        device.returnAt = clock_.nowMs() + *forMs;
    }
    device.returnInOtherSlot = otherSlot;
}

void SimulatedSerialBackend::bringBack(Device& device, bool otherSlot) {
    device.plugged = true;
    device.returnAt.reset();
    if (device.model) {
        device.model->reset();
    }
    // A new adapter comes up with the driver's default timer.
    if (device.adapter && adapterLatency_) {
        device.adapter->setLatency(*adapterLatency_);
    }
    if (otherSlot) {
        for (auto& [name, other] : devices_) {
            if (other.model) {
                other.model->setRoleA(!other.model->setup().roleA);
            }
        }
    }
}

void SimulatedSerialBackend::unplugWhenDrained(Device& device) {
    const bool drained = device.model && device.model->pendingOutput() == 0 &&
                         device.host.empty() && (!device.adapter || device.adapter->empty());
    if (device.plugged && drained && device.model->unplugDue()) {
        const UnplugFault fault = *device.model->unplugDue();
        takeAway(device, fault.forMs, fault.otherSlot);
    }
}

std::size_t SimulatedSerialBackend::portWrite(const std::string& name, std::uint64_t generation,
                                              const std::uint8_t* bytes, std::size_t count) {
    std::lock_guard lock(mutex_);
    settle();
    Device& target = device(name);
    if (!alive(target, generation)) {
        return 0;
    }
    switch (target.kind) {
        case Kind::Block: {
            const auto clockBefore = target.model->setup().clock;
            reply(target, [&] { target.model->receive(bytes, count); });
            if (target.model->setup().clock != clockBefore) {
                target.clockSetAt = clock_.nowMs();
            }
            unplugWhenDrained(target);
            break;
        }
        case Kind::Responder:
            ++target.repliesPending;
            break;
        case Kind::Unopenable:
        case Kind::Unconfigurable:
            break;
    }
    return count;
}

void SimulatedSerialBackend::dropReplies(Device& device) {
    device.repliesPending = 0;
    device.lineStartUs = clock_.nowUs();
    device.lineCarried = 0;
    device.host.clear();
    if (device.adapter) {
        device.adapter->clear();
    }
    if (device.model) {
        device.model->discardOutput();
    }
}

void SimulatedSerialBackend::reply(Device& device, const std::function<void()>& produce) {
    pump(device);
    if (device.model && device.model->pendingOutput() == 0) {
        device.lineStartUs = clock_.nowUs();
        device.lineCarried = 0;
    }
    produce();
    pump(device);
}

std::uint64_t SimulatedSerialBackend::lineArrivalUs(const Device& device,
                                                    std::uint64_t index) const {
    return device.lineStartUs +
           ((index + 1) * 1000000 + kLineBytesPerSecond - 1) / kLineBytesPerSecond;
}

bool SimulatedSerialBackend::holdsLateBytes(const Device& device) {
    return device.adapter && !device.adapter->empty() && device.model &&
           device.model->pendingBeforeLateBytes() == 0;
}

void SimulatedSerialBackend::pump(Device& device) {
    if (!device.model) {
        return;
    }
    const std::uint64_t now = clock_.nowUs();
    std::size_t due = device.model->pendingOutput();
    if (paced_) {
        const std::uint64_t carried = (now - device.lineStartUs) * kLineBytesPerSecond / 1000000;
        due = static_cast<std::size_t>(
            std::min<std::uint64_t>(due, carried - std::min(carried, device.lineCarried)));
    }
    std::vector<std::uint8_t> bytes;
    // Late bytes go in only once the adapter has handed over what came before them, so they
    // start a packet of their own.
    for (bool released = false;; released = true) {
        while (due > 0 && !holdsLateBytes(device)) {
            const std::optional<std::size_t> beforeError = device.model->pendingBeforeLineError();
            const std::optional<std::size_t> beforeLate = device.model->pendingBeforeLateBytes();
            std::size_t count = beforeError ? std::min(due, *beforeError + 1) : due;
            if (beforeLate && *beforeLate > 0) {
                count = std::min(count, *beforeLate);
            }
            // An adapter times its packets by their bytes' arrival: one at a time off a paced
            // line.
            if (paced_ && device.adapter) {
                count = 1;
            }
            bytes.resize(count);
            device.model->takeOutput(bytes.data(), count);
            const bool flagged = beforeError && count == *beforeError + 1;
            const std::uint64_t at =
                paced_ && !released ? lineArrivalUs(device, device.lineCarried + count - 1) : now;
            device.lineCarried += count;
            due -= count;
            if (device.adapter) {
                device.adapter->receive(bytes.data(), count, std::chrono::microseconds(at));
                if (flagged) {
                    device.adapter->markLineError();
                }
            } else {
                device.host.insert(device.host.end(), bytes.begin(), bytes.end());
                device.lineErrors += flagged ? 1 : 0;
            }
        }
        if (!device.adapter) {
            return;
        }
        device.lineErrors += device.adapter->handOver(std::chrono::microseconds(now), device.host);
        if (released || due == 0 || !device.adapter->empty()) {
            return;
        }
    }
}

std::optional<std::uint64_t> SimulatedSerialBackend::nextArrivalUs(const Device& device,
                                                                   std::size_t wanted) const {
    std::optional<std::uint64_t> next;
    if (device.adapter && device.adapter->nextHandOver()) {
        next = static_cast<std::uint64_t>(device.adapter->nextHandOver()->count());
    }
    const std::size_t pending = device.model ? device.model->pendingOutput() : 0;
    if (paced_ && pending > 0 && !holdsLateBytes(device)) {
        // The byte that fills the adapter's packet, or the last the reader waits for; with
        // fewer pending, the last of them.
        const std::size_t needed = device.adapter ? device.adapter->room() : wanted;
        const std::uint64_t arrival =
            lineArrivalUs(device, device.lineCarried + std::min(needed, pending) - 1);
        next = next ? std::min(*next, arrival) : arrival;
    }
    return next;
}

std::size_t SimulatedSerialBackend::take(Device& device, std::uint8_t* bytes, std::size_t count) {
    if (device.kind == Kind::Responder) {
        const std::size_t got = std::min(count, device.repliesPending);
        std::fill(bytes, bytes + got, device.reply);
        device.repliesPending -= got;
        return got;
    }
    pump(device);
    const std::size_t got = std::min(count, device.host.size());
    std::copy_n(device.host.begin(), got, bytes);
    device.host.erase(device.host.begin(), device.host.begin() + static_cast<std::ptrdiff_t>(got));
    unplugWhenDrained(device);
    return got;
}

std::size_t SimulatedSerialBackend::portRead(const std::string& name, std::uint64_t generation,
                                             std::uint8_t* bytes, std::size_t count) {
    std::lock_guard lock(mutex_);
    settle();
    Device& source = device(name);
    const std::uint64_t start = clock_.nowUs();
    const std::uint64_t totalEnd = start + kReadTotalConstantUs + kReadTotalPerByteUs * count;
    std::uint64_t lastByteAt = start;
    std::size_t got = 0;
    const auto giveUpAt = [&] {
        return got > 0 ? std::min(totalEnd, lastByteAt + kReadIntervalUs) : totalEnd;
    };
    while (got < count && alive(source, generation)) {
        const std::size_t took = take(source, bytes + got, count - got);
        if (took > 0) {
            got += took;
            lastByteAt = clock_.nowUs();
            continue;
        }
        const std::optional<std::uint64_t> next = nextArrivalUs(source, count - got);
        if (!next || *next > giveUpAt()) {
            break;
        }
        clock_.advanceUs(*next - std::min(*next, clock_.nowUs()));
    }
    if (got < count) {
        clock_.advanceUs(giveUpAt() - std::min(giveUpAt(), clock_.nowUs()));
    }
    return got;
}

std::size_t SimulatedSerialBackend::portAvailable(const std::string& name,
                                                  std::uint64_t generation) {
    std::lock_guard lock(mutex_);
    settle();
    Device& source = device(name);
    if (!alive(source, generation)) {
        return 0;
    }
    pump(source);
    return source.kind == Kind::Responder ? source.repliesPending : source.host.size();
}

std::size_t SimulatedSerialBackend::portAvailableWithin(const std::string& name,
                                                        std::uint64_t generation,
                                                        unsigned milliseconds) {
    std::lock_guard lock(mutex_);
    settle();
    Device& source = device(name);
    if (!alive(source, generation)) {
        return 0;
    }
    if (source.kind == Kind::Responder) {
        return source.repliesPending;
    }
    // Virtual time runs on to what the adapter hands over within the wait, or to its end.
    const std::uint64_t waitEnd = clock_.nowUs() + std::uint64_t{milliseconds} * 1000;
    pump(source);
    while (source.host.empty()) {
        const std::optional<std::uint64_t> next = nextArrivalUs(source, 1);
        const std::uint64_t until = next && *next < waitEnd ? *next : waitEnd;
        clock_.advanceUs(until - std::min(until, clock_.nowUs()));
        pump(source);
        if (until == waitEnd) {
            break;
        }
    }
    return source.host.size();
}

bool SimulatedSerialBackend::portRequestLowLatency(const std::string& name,
                                                   std::uint64_t generation) {
    std::lock_guard lock(mutex_);
    Device& target = device(name);
    if (!alive(target, generation) || !target.adapter || lowLatencyRefused_) {
        return false;
    }
    pump(target);
    target.adapter->setLatency(kLowLatency);
    return true;
}

std::uint64_t SimulatedSerialBackend::portLineErrors(const std::string& name,
                                                     std::uint64_t generation) {
    std::lock_guard lock(mutex_);
    Device& source = device(name);
    if (alive(source, generation)) {
        pump(source);
    }
    return source.lineErrors;
}

void SimulatedSerialBackend::portClosed(const std::string& name, std::uint64_t generation) {
    std::lock_guard lock(mutex_);
    Device& closed = device(name);
    if (closed.generation == generation && closed.open) {
        closed.open = false;
        dropReplies(closed);
        unplugWhenDrained(closed);
    }
}

}  // namespace kelvra::blocksim
