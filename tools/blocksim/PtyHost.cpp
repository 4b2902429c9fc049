#include "tools/blocksim/PtyHost.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <variant>

#include "tools/blocksim/ControlCommand.h"

namespace kelvra::blocksim {

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

// How often a port nobody holds is looked at again: a hung-up master reports POLLHUP at once,
// so it cannot wait in poll() with the others.
constexpr microseconds kHangUpProbe{20000};
// Time the tool has to read what a block sent before the block is taken away.
constexpr milliseconds kDrainTime{150};
constexpr double kLineBytesPerSecond = 46080.0;  // 460800 baud, 8N1
constexpr double kCreditCap = 1024;
constexpr std::size_t kPacedChunk = 256;
constexpr microseconds kIdleWake{1000000};

std::runtime_error systemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

UsbSerialAdapter::Time adapterTime(std::chrono::steady_clock::time_point when) {
    return std::chrono::duration_cast<microseconds>(when.time_since_epoch());
}

microseconds timeUntil(std::chrono::steady_clock::time_point when,
                       std::chrono::steady_clock::time_point now) {
    if (when <= now) {
        return microseconds::zero();
    }
    return std::min(std::chrono::ceil<microseconds>(when - now), kIdleWake);
}

}  // namespace

PtyHost::PtyHost(const Scenario& scenario, PtyHostOptions options, std::ostream& out)
    : options_(std::move(options)), out_(out), links_(options_.portDirectory, options_.winePrefix) {
    for (const ScenarioBlock& block : scenario.blocks) {
        blocks_.emplace_back(block.com, BlockModel(block.setup));
        if (options_.adapterLatencyMs) {
            blocks_.back().adapter.emplace(std::chrono::milliseconds(*options_.adapterLatencyMs));
        }
    }
}

PtyHost::~PtyHost() {
    for (ServedBlock& block : blocks_) {
        links_.withdraw(block.com);
        if (block.master >= 0) {
            ::close(block.master);
        }
    }
}

void PtyHost::start() {
    if (options_.pace || options_.adapterLatencyMs) {
        // Paced bytes and packets are due to the microsecond; the default slack would wake us
        // 50 µs late.
        ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    }
    for (const std::string& warning : links_.prepare()) {
        std::cerr << "kelvra-blocksim: warning: " << warning << '\n';
    }
    for (ServedBlock& block : blocks_) {
        openTerminal(block);
        links_.publish(block.com, block.device);
    }
    for (const ServedBlock& block : blocks_) {
        out_ << "COM" << block.com << ' ' << block.device << '\n';
    }
    out_ << "READY" << std::endl;
}

void PtyHost::openTerminal(ServedBlock& block) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        throw systemError("cannot create a pseudo-terminal");
    }
    char name[128];
    if (::fcntl(master, F_SETFD, FD_CLOEXEC) != 0 ||
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK) != 0 ||
        ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        const auto error = systemError("cannot set up a pseudo-terminal");
        ::close(master);
        throw error;
    }
    // Raw from the start, so that nothing the tool sends before configuring the line is
    // echoed back or cooked.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios settings{};
    if (slave < 0 || ::tcgetattr(slave, &settings) != 0) {
        const auto error = systemError(std::string("cannot open ") + name);
        if (slave >= 0) {
            ::close(slave);
        }
        ::close(master);
        throw error;
    }
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    ::cfsetspeed(&settings, B460800);
    ::tcsetattr(slave, TCSANOW, &settings);
    ::close(slave);

    block.master = master;
    block.device = name;
    block.hungUp = true;
    dropReplies(block);
    block.credit = 0;
    block.creditAt = SteadyClock::now();
    block.drainUntil.reset();
}

void PtyHost::run(int controlFd, int stopFd) {
    std::string control;
    bool controlOpen = controlFd >= 0;
    while (!quit_) {
        auto now = SteadyClock::now();
        for (ServedBlock& block : blocks_) {
            tend(block, now);
        }
        out_.flush();

        std::vector<pollfd> watched{{stopFd, POLLIN, 0}};
        if (controlOpen) {
            watched.push_back({controlFd, POLLIN, 0});
        }
        const std::size_t firstBlock = watched.size();
        std::vector<ServedBlock*> owners;
        // Finer than poll()'s milliseconds: a paced block's bytes are due at the moment the
        // line has carried them, not up to a millisecond later.
        microseconds timeout = kIdleWake;
        for (ServedBlock& block : blocks_) {
            if (block.drainUntil) {
                timeout = std::min(timeout, timeUntil(*block.drainUntil, now));
            }
            if (block.master < 0) {
                if (block.returnAt) {
                    timeout = std::min(timeout, timeUntil(*block.returnAt, now));
                }
                continue;
            }
            if (block.hungUp) {
                timeout = std::min(timeout, kHangUpProbe);
                continue;
            }
            short events = POLLIN;
            if (!block.handedOver.empty()) {
                events |= POLLOUT;
            }
            if (block.adapter && block.adapter->nextHandOver()) {
                const SteadyClock::time_point due(std::chrono::duration_cast<SteadyClock::duration>(
                    *block.adapter->nextHandOver()));
                timeout = std::min(timeout, timeUntil(due, now));
            }
            if (block.outgoingStart < block.outgoing.size()) {
                const microseconds wait = timeUntilWritable(block, now);
                if (wait == microseconds::zero()) {
                    events |= POLLOUT;
                } else {
                    timeout = std::min(timeout, wait);
                }
            }
            watched.push_back({block.master, events, 0});
            owners.push_back(&block);
        }

        const auto wholeSeconds = std::chrono::floor<std::chrono::seconds>(timeout);
        const timespec limit{static_cast<time_t>(wholeSeconds.count()),
                             static_cast<long>((timeout - wholeSeconds).count() * 1000)};
        if (::ppoll(watched.data(), watched.size(), &limit, nullptr) < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw systemError("poll");
        }
        if (watched[0].revents != 0) {
            break;
        }
        if (controlOpen && watched[1].revents != 0) {
            char buffer[4096];
            const ssize_t got = ::read(controlFd, buffer, sizeof buffer);
            if (got > 0) {
                control.append(buffer, static_cast<std::size_t>(got));
                for (std::size_t end = control.find('\n'); end != std::string::npos;
                     end = control.find('\n')) {
                    execute(std::string_view(control).substr(0, end));
                    control.erase(0, end + 1);
                }
            } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
                controlOpen = false;
            }
        }
        now = SteadyClock::now();
        for (std::size_t i = 0; i < owners.size(); ++i) {
            ServedBlock& block = *owners[i];
            const short events = watched[firstBlock + i].revents;
            if (block.master < 0) {
                continue;  // taken away by a command just now
            }
            if ((events & POLLIN) != 0) {
                readFromTool(block);
            } else if ((events & (POLLHUP | POLLERR)) != 0) {
                hangUp(block);
            }
            if (!block.hungUp) {
                writeToTool(block, now);
            }
        }
    }
    out_.flush();
}

void PtyHost::tend(ServedBlock& block, SteadyClock::time_point now) {
    if (block.master < 0) {
        if (block.returnAt && now >= *block.returnAt) {
            bringBack(block);
        }
        return;
    }
    if (block.hungUp) {
        pollfd probe{block.master, POLLIN, 0};
        if (::poll(&probe, 1, 0) >= 0 && (probe.revents & POLLHUP) == 0) {
            block.hungUp = false;
        }
    }
    if (block.model.unplugDue() && drained(block)) {
        if (!block.drainUntil) {
            block.drainUntil = now + kDrainTime;
        } else if (now >= *block.drainUntil) {
            const UnplugFault fault = *block.model.unplugDue();
            takeAway(block, fault.forMs, fault.otherSlot);
        }
    }
}

void PtyHost::readFromTool(ServedBlock& block) {
    std::uint8_t buffer[4096];
    for (;;) {
        const ssize_t got = ::read(block.master, buffer, sizeof buffer);
        if (got > 0) {
            block.model.receive(buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && errno == EAGAIN) {
            break;
        }
        hangUp(block);  // EIO: the tool closed the port
        return;
    }
    const std::size_t pending = block.model.pendingOutput();
    if (pending == 0) {
        return;
    }
    if (block.outgoingStart == block.outgoing.size()) {
        block.outgoing.clear();
        block.outgoingStart = 0;
        // The line stood idle until now; its idle time carried nothing and is not made up.
        block.credit = 0;
        block.creditAt = SteadyClock::now();
    }
    const std::size_t at = block.outgoing.size();
    block.outgoing.resize(at + pending);
    block.model.takeOutput(block.outgoing.data() + at, pending);
}

microseconds PtyHost::timeUntilWritable(ServedBlock& block, SteadyClock::time_point now) {
    if (!options_.pace) {
        return microseconds::zero();
    }
    const double elapsed = std::chrono::duration<double>(now - block.creditAt).count();
    block.credit = std::min(kCreditCap, block.credit + elapsed * kLineBytesPerSecond);
    block.creditAt = now;
    const double needed =
        static_cast<double>(std::min(kPacedChunk, block.outgoing.size() - block.outgoingStart));
    if (block.credit >= needed) {
        return microseconds::zero();
    }
    return microseconds(1 + static_cast<long>((needed - block.credit) * 1e6 / kLineBytesPerSecond));
}

bool PtyHost::drained(const ServedBlock& block) {
    return block.outgoingStart == block.outgoing.size() && block.handedOver.empty() &&
           (!block.adapter || block.adapter->empty());
}

void PtyHost::dropReplies(ServedBlock& block) {
    block.outgoing.clear();
    block.outgoingStart = 0;
    block.handedOver.clear();
    if (block.adapter) {
        block.adapter->clear();
    }
}

void PtyHost::writeToTool(ServedBlock& block, SteadyClock::time_point now) {
    std::size_t allowed = block.outgoing.size() - block.outgoingStart;
    if (allowed == 0 || timeUntilWritable(block, now) != microseconds::zero()) {
        writeHandedOver(block, now);
        return;
    }
    if (options_.pace) {
        allowed = std::min(allowed, static_cast<std::size_t>(block.credit));
    }
    if (block.adapter) {
        // The line carried these bytes one by one while the credit grew, and the adapter times
        // a packet from its first byte: each goes in at the moment it came off the line.
        const UsbSerialAdapter::Time nowTime = adapterTime(now);
        for (std::size_t k = 0; k < allowed; ++k) {
            UsbSerialAdapter::Time at = nowTime;
            if (options_.pace) {
                const double early =
                    (block.credit - static_cast<double>(k + 1)) / kLineBytesPerSecond;
                at -=
                    std::chrono::duration_cast<microseconds>(std::chrono::duration<double>(early));
            }
            block.lineAt = std::max(block.lineAt, at);
            block.adapter->receive(block.outgoing.data() + block.outgoingStart + k, 1,
                                   block.lineAt);
        }
        block.outgoingStart += allowed;
        block.credit -= static_cast<double>(allowed);
        writeHandedOver(block, now);
        return;
    }
    const ssize_t written =
        ::write(block.master, block.outgoing.data() + block.outgoingStart, allowed);
    if (written > 0) {
        block.outgoingStart += static_cast<std::size_t>(written);
        block.credit -= static_cast<double>(written);
    } else if (written < 0 && errno != EAGAIN && errno != EINTR) {
        hangUp(block);
    }
}

void PtyHost::writeHandedOver(ServedBlock& block, SteadyClock::time_point now) {
    if (!block.adapter) {
        return;
    }
    block.adapter->handOver(adapterTime(now), block.handedOver);
    while (!block.handedOver.empty()) {
        std::uint8_t chunk[4096];
        const std::size_t size = std::min(sizeof chunk, block.handedOver.size());
        std::copy_n(block.handedOver.begin(), size, chunk);
        const ssize_t written = ::write(block.master, chunk, size);
        if (written <= 0) {
            if (written < 0 && errno != EAGAIN && errno != EINTR) {
                hangUp(block);
            }
            return;
        }
        block.handedOver.erase(block.handedOver.begin(), block.handedOver.begin() + written);
    }
}

void PtyHost::hangUp(ServedBlock& block) {
    // What the block said to a port nobody holds is lost, as on a real line; the terminal would
    // keep it for the next opener, partly on our side and partly in the other side's input.
    block.hungUp = true;
    dropReplies(block);
    block.model.discardOutput();
    ::tcflush(block.master, TCOFLUSH);
    const int slave = ::open(block.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave >= 0) {
        ::tcflush(slave, TCIFLUSH);
        ::close(slave);
    }
}

void PtyHost::takeAway(ServedBlock& block, std::uint32_t forMs, bool otherSlot) {
    links_.withdraw(block.com);
    ::close(block.master);
    block.master = -1;
    dropReplies(block);
    block.drainUntil.reset();
    block.returnAt = SteadyClock::now() + milliseconds(forMs);
    block.returnInOtherSlot = otherSlot;
    out_ << "UNPLUGGED COM" << block.com << '\n';
}

void PtyHost::bringBack(ServedBlock& block) {
    openTerminal(block);
    block.model.reset();
    block.returnAt.reset();
    if (block.returnInOtherSlot) {
        for (ServedBlock& each : blocks_) {
            each.model.setRoleA(!each.model.setup().roleA);
        }
    }
    links_.publish(block.com, block.device);
    out_ << "PLUGGED COM" << block.com << ' ' << block.device << '\n';
}

PtyHost::ServedBlock* PtyHost::findBlock(int com) {
    const auto found = std::find_if(blocks_.begin(), blocks_.end(),
                                    [&](const ServedBlock& block) { return block.com == com; });
    return found == blocks_.end() ? nullptr : &*found;
}

void PtyHost::execute(std::string_view line) {
    if (line.find_first_not_of(" \t\r") == std::string_view::npos) {
        return;
    }
    const auto parsed = parseControlCommand(line);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        out_ << "error: " << *error << '\n';
        return;
    }
    const auto& command = std::get<ControlCommand>(parsed);
    switch (command.kind) {
        case ControlCommand::Kind::Help:
            out_ << kControlCommandHelp;
            break;
        case ControlCommand::Kind::Status:
            printStatus();
            break;
        case ControlCommand::Kind::Quit:
            quit_ = true;
            break;
        default: {
            ServedBlock* block = findBlock(command.com);
            if (block == nullptr) {
                out_ << "error: no block on COM" << command.com << '\n';
                return;
            }
            if (command.kind == ControlCommand::Kind::Unplug) {
                if (block->master < 0) {
                    out_ << "error: COM" << command.com << " is unplugged\n";
                    return;
                }
                takeAway(*block, command.unplug.forMs, command.unplug.otherSlot);
            } else {
                applyToModel(command, block->model);
            }
            break;
        }
    }
    out_ << "ok\n";
}

void PtyHost::printStatus() {
    for (const ServedBlock& block : blocks_) {
        const BlockSetup& setup = block.model.setup();
        char serial[16];
        std::snprintf(serial, sizeof serial, "%02u-%03u", static_cast<unsigned>(setup.serialYear),
                      static_cast<unsigned>(setup.serialNumber));
        out_ << "COM" << block.com << ' ' << (block.master < 0 ? "-" : block.device) << " serial "
             << serial << " firmware " << static_cast<int>(setup.firmware) << " role "
             << (setup.roleA ? 'A' : 'B') << " entries " << setup.entries.size() << " listed "
             << block.model.directoryReads() << " sectors " << block.model.recordSectorsSent();
        if (block.master < 0) {
            out_ << " unplugged";
        } else if (block.hungUp) {
            out_ << " closed";
        }
        if (setup.faults.silent) {
            out_ << " silent";
        }
        out_ << '\n';
    }
}

}  // namespace kelvra::blocksim
