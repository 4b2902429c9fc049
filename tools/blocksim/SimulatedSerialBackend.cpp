#include "tools/blocksim/SimulatedSerialBackend.h"

#include <algorithm>
#include <stdexcept>

namespace kelvra::blocksim {

namespace {

constexpr std::uint64_t kReadTotalConstantMs = 1000;
constexpr std::uint64_t kReadTotalPerByteMs = 5;
constexpr std::uint64_t kReadIntervalMs = 200;

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
    opened.repliesPending = 0;
    if (opened.model) {
        opened.model->discardOutput();
    }
    platform::OpenedPort result;
    result.status = opened.kind == Kind::Unconfigurable ? platform::OpenStatus::NotConfigurable
                                                        : platform::OpenStatus::Ready;
    result.port = std::make_unique<Port>(*this, deviceName, opened.generation);
    return result;
}

void SimulatedSerialBackend::addDevice(const std::string& name, Device device) {
    std::lock_guard lock(mutex_);
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
    use(*block.model);
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
    device.repliesPending = 0;
    device.returnAt.reset();
    if (forMs) {
        device.returnAt = clock_.nowMs() + *forMs;
    }
    device.returnInOtherSlot = otherSlot;
    if (device.model) {
        device.model->discardOutput();
    }
}

void SimulatedSerialBackend::bringBack(Device& device, bool otherSlot) {
    device.plugged = true;
    device.returnAt.reset();
    if (device.model) {
        device.model->reset();
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
    if (device.plugged && device.model && device.model->unplugDue() &&
        device.model->pendingOutput() == 0) {
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
            target.model->receive(bytes, count);
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

std::size_t SimulatedSerialBackend::portRead(const std::string& name, std::uint64_t generation,
                                             std::uint8_t* bytes, std::size_t count) {
    std::lock_guard lock(mutex_);
    settle();
    Device& source = device(name);
    std::size_t got = 0;
    if (alive(source, generation)) {
        if (source.model) {
            got = source.model->takeOutput(bytes, count);
            unplugWhenDrained(source);
        } else if (source.kind == Kind::Responder) {
            got = std::min(count, source.repliesPending);
            std::fill(bytes, bytes + got, source.reply);
            source.repliesPending -= got;
        }
    }
    if (got == 0 && count > 0) {
        clock_.advance(kReadTotalConstantMs + kReadTotalPerByteMs * count);
    } else if (got < count) {
        clock_.advance(kReadIntervalMs);
    }
    return got;
}

std::size_t SimulatedSerialBackend::portAvailable(const std::string& name,
                                                  std::uint64_t generation) {
    std::lock_guard lock(mutex_);
    settle();
    const Device& source = device(name);
    if (!alive(source, generation)) {
        return 0;
    }
    return source.model ? source.model->pendingOutput() : source.repliesPending;
}

void SimulatedSerialBackend::portClosed(const std::string& name, std::uint64_t generation) {
    std::lock_guard lock(mutex_);
    Device& closed = device(name);
    if (closed.generation == generation && closed.open) {
        closed.open = false;
        closed.repliesPending = 0;
        if (closed.model) {
            closed.model->discardOutput();
            unplugWhenDrained(closed);
        }
    }
}

}  // namespace kelvra::blocksim
