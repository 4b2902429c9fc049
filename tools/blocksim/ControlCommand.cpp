#include "tools/blocksim/ControlCommand.h"

#include <charconv>
#include <optional>
#include <vector>

#include "platform/serial/PortNames.h"

namespace kelvra::blocksim {

namespace {

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> result;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t\r", at);
        if (start == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(line.find_first_of(" \t\r", start), line.size());
        result.push_back(line.substr(start, end - start));
        at = end;
    }
    return result;
}

std::optional<std::uint64_t> number(std::string_view text, std::uint64_t max) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > max) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> comNumber(std::string_view text) {
    if (text.size() < 4 || text.substr(0, 3) != "COM") {
        return std::nullopt;
    }
    const auto value = number(text.substr(3), platform::kPortCount);
    if (!value || *value == 0) {
        return std::nullopt;
    }
    return static_cast<int>(*value);
}

class Parser {
public:
    explicit Parser(std::string_view line) : words_(words(line)) {}

    std::variant<ControlCommand, std::string> parse() {
        if (words_.empty()) {
            return std::string("empty command");
        }
        const std::string_view verb = words_[0];
        ControlCommand command;
        if (verb == "status" || verb == "help" || verb == "quit") {
            command.kind = verb == "status" ? ControlCommand::Kind::Status
                           : verb == "help" ? ControlCommand::Kind::Help
                                            : ControlCommand::Kind::Quit;
            return expectEnd(1, command);
        }
        if (verb != "unplug" && verb != "unplug-after" && verb != "silence" && verb != "fault" &&
            verb != "line") {
            return "unknown command '" + std::string(verb) + "' (try help)";
        }
        const auto com = words_.size() > 1 ? comNumber(words_[1]) : std::nullopt;
        if (!com) {
            return std::string(verb) + ": expected a port COM1..COM29";
        }
        command.com = *com;
        if (verb == "unplug" || verb == "unplug-after") {
            return parseUnplug(verb == "unplug-after", command);
        }
        if (verb == "silence") {
            command.kind = ControlCommand::Kind::Silence;
            const std::string_view state = word(2);
            if (state != "on" && state != "off") {
                return std::string("silence: expected on or off");
            }
            command.on = state == "on";
            return expectEnd(3, command);
        }
        if (verb == "line") {
            return parseLine(command);
        }
        return parseFault(command);
    }

private:
    std::string_view word(std::size_t index) const {
        return index < words_.size() ? words_[index] : std::string_view();
    }

    std::variant<ControlCommand, std::string> expectEnd(std::size_t count,
                                                        const ControlCommand& command) const {
        if (words_.size() > count) {
            return "unexpected '" + std::string(words_[count]) + "'";
        }
        return command;
    }

    std::variant<ControlCommand, std::string> parseUnplug(bool afterSectors,
                                                          ControlCommand command) const {
        command.kind =
            afterSectors ? ControlCommand::Kind::UnplugAfter : ControlCommand::Kind::Unplug;
        std::size_t at = 2;
        if (afterSectors) {
            const auto sectors = number(word(at++), 0xFFFFFFFF);
            if (!sectors || *sectors == 0) {
                return std::string("unplug-after: expected a sector count 1..4294967295");
            }
            command.unplug.afterSectors = static_cast<std::uint32_t>(*sectors);
        }
        const auto ms = number(word(at++), 3600000);
        if (!ms) {
            return std::string(words_[0]) + ": expected milliseconds 0..3600000";
        }
        command.unplug.forMs = static_cast<std::uint32_t>(*ms);
        if (word(at) == "swap") {
            command.unplug.otherSlot = true;
            ++at;
        }
        return expectEnd(at, command);
    }

    std::variant<ControlCommand, std::string> parseFault(ControlCommand command) const {
        const std::string_view what = word(2);
        if (what == "clear") {
            command.kind = ControlCommand::Kind::ClearFaults;
            return expectEnd(3, command);
        }
        if (what == "short-params") {
            command.kind = ControlCommand::Kind::ShortParams;
            const auto count = number(word(3), 6);
            if (!count) {
                return std::string("short-params: expected a count 0..6");
            }
            command.parameterBytes = static_cast<std::uint8_t>(*count);
            return expectEnd(4, command);
        }
        if (what != "wrong-ack" && what != "missing-ack") {
            return std::string("fault: expected wrong-ack, missing-ack, short-params or clear");
        }
        command.kind = ControlCommand::Kind::AckFault;
        const auto exchange = exchangeFromName(word(3));
        if (!exchange) {
            return std::string(
                "fault: expected an exchange: hello, directory, clock, clear, delete, config, "
                "read-sector, sector");
        }
        command.exchange = *exchange;
        std::size_t at = 4;
        if (what == "wrong-ack") {
            command.ack.kind = AckFault::Kind::Wrong;
            const auto byte = number(word(at++), 0xFF);
            if (!byte) {
                return std::string("wrong-ack: expected a byte 0..255");
            }
            command.ack.byte = static_cast<std::uint8_t>(*byte);
        } else {
            command.ack.kind = AckFault::Kind::Missing;
        }
        while (at < words_.size()) {
            const std::string_view option = words_[at];
            const auto count = number(word(at + 1), 0xFFFFFFFF);
            if ((option != "after" && option != "times") || !count) {
                return "fault: unexpected '" + std::string(option) +
                       "' (expected after <k> or times <k>)";
            }
            (option == "after" ? command.ack.after : command.ack.times) =
                static_cast<std::uint32_t>(*count);
            at += 2;
        }
        return command;
    }

    std::variant<ControlCommand, std::string> parseLine(ControlCommand command) const {
        command.kind = ControlCommand::Kind::LineFault;
        const auto kind = lineFaultKindFromName(word(2));
        if (!kind) {
            return std::string("line: expected drop, insert, cut, garbage or flip");
        }
        LineFault& fault = command.line;
        fault.kind = *kind;
        const std::string name(word(2));
        const auto after = number(word(3), 0xFFFFFFFF);
        if (!after) {
            return name + ": expected a sector count 0..4294967295";
        }
        fault.afterSectors = static_cast<std::uint32_t>(*after);
        std::size_t at = 4;
        if (at < words_.size()) {
            if (fault.kind == LineFault::Kind::Garbage) {
                const auto count = number(word(at++), kMaxGarbageCount);
                if (!count || *count == 0) {
                    return name + ": expected a count 1.." + std::to_string(kMaxGarbageCount);
                }
                fault.count = static_cast<std::uint8_t>(*count);
            } else {
                const auto offset = number(word(at++), kMaxLineFaultOffset);
                if (!offset) {
                    return name + ": expected an offset 0.." + std::to_string(kMaxLineFaultOffset);
                }
                fault.offset = static_cast<std::uint16_t>(*offset);
            }
        }
        const bool takesByte =
            fault.kind == LineFault::Kind::Insert || fault.kind == LineFault::Kind::Garbage;
        if (takesByte && at < words_.size()) {
            const auto byte = number(word(at++), 0xFF);
            if (!byte) {
                return name + ": expected a byte 0..255";
            }
            fault.byte = static_cast<std::uint8_t>(*byte);
        }
        if (fault.kind == LineFault::Kind::Flip && at < words_.size()) {
            const auto bit = number(word(at++), kMaxFlipBit);
            if (!bit) {
                return name + ": expected a bit 0.." + std::to_string(kMaxFlipBit);
            }
            fault.bit = static_cast<std::uint8_t>(*bit);
        }
        return expectEnd(at, command);
    }

    std::vector<std::string_view> words_;
};

}  // namespace

std::variant<ControlCommand, std::string> parseControlCommand(std::string_view line) {
    return Parser(line).parse();
}

void applyToModel(const ControlCommand& command, BlockModel& model) {
    switch (command.kind) {
        case ControlCommand::Kind::UnplugAfter:
            model.armUnplug(command.unplug);
            break;
        case ControlCommand::Kind::Silence:
            model.setSilent(command.on);
            break;
        case ControlCommand::Kind::AckFault:
            model.setAckFault(command.exchange, command.ack);
            break;
        case ControlCommand::Kind::ShortParams:
            model.setShortParams(command.parameterBytes);
            break;
        case ControlCommand::Kind::LineFault:
            model.armLineFault(command.line);
            break;
        case ControlCommand::Kind::ClearFaults:
            model.setFaults(Faults{});
            break;
        case ControlCommand::Kind::Unplug:
        case ControlCommand::Kind::Status:
        case ControlCommand::Kind::Help:
        case ControlCommand::Kind::Quit:
            break;
    }
}

}  // namespace kelvra::blocksim
