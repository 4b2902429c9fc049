#include "fuzz/harness/ScenarioRun.h"

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/serial/PortNames.h"
#include "tools/blocksim/BlockModel.h"
#include "tools/blocksim/ControlCommand.h"
#include "tools/blocksim/DeviceBytes.h"
#include "tools/blocksim/Scenario.h"

namespace kelvra::fuzz {

namespace {

using blocksim::ControlCommand;

// Replies a block may produce for the requests of one input before the rest is not asked for.
constexpr std::size_t kMaxReplyBytes = 1 << 20;

std::string_view take(std::string_view& text, char separator) {
    const std::size_t end = text.find(separator);
    const std::string_view part = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    return part;
}

void checkScenario(const blocksim::Scenario& scenario, Findings& findings) {
    expect(findings,
           !scenario.blocks.empty() &&
               scenario.blocks.size() <= static_cast<std::size_t>(platform::kPortCount),
           "a scenario with " + std::to_string(scenario.blocks.size()) + " blocks was accepted");
    std::set<int> ports;
    for (const blocksim::ScenarioBlock& block : scenario.blocks) {
        expect(
            findings,
            block.com >= 1 && block.com <= platform::kPortCount && ports.insert(block.com).second,
            "COM" + std::to_string(block.com) + " was accepted");
        std::set<std::uint8_t> addresses;
        for (const blocksim::EntrySetup& entry : block.setup.entries) {
            addresses.insert(entry.address);
        }
        expect(findings,
               block.setup.entries.size() <= blocksim::kMaxDirEntries &&
                   addresses.size() == block.setup.entries.size(),
               "a block's entries were accepted beyond the limit or with a repeated address");
    }
}

std::optional<blocksim::Scenario> parse(std::string_view text, Findings& findings) {
    try {
        blocksim::Scenario scenario = blocksim::parseScenario(text);
        checkScenario(scenario, findings);
        return scenario;
    } catch (const blocksim::ScenarioError& error) {
        expect(findings, *error.what() != '\0', "a scenario was refused without a reason");
    } catch (const std::exception& error) {
        findings.push_back(std::string("a scenario was refused with an unexpected exception: ") +
                           error.what());
    }
    return std::nullopt;
}

bool forBlock(const ControlCommand& command) {
    switch (command.kind) {
        case ControlCommand::Kind::Status:
        case ControlCommand::Kind::Help:
        case ControlCommand::Kind::Quit:
            return false;
        default:
            return true;
    }
}

void runCommand(std::string_view line, const blocksim::Scenario* scenario,
                std::vector<blocksim::BlockModel>& models, Findings& findings) {
    const auto parsed = blocksim::parseControlCommand(line);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        expect(findings, !error->empty(), "a command was refused without a reason");
        return;
    }
    const ControlCommand& command = std::get<ControlCommand>(parsed);
    if (!forBlock(command)) {
        return;
    }
    expect(findings, command.com >= 1 && command.com <= platform::kPortCount,
           "a command for COM" + std::to_string(command.com) + " was accepted");
    for (std::size_t i = 0; scenario != nullptr && i < models.size(); ++i) {
        if (scenario->blocks[i].com == command.com) {
            blocksim::applyToModel(command, models[i]);
        }
    }
}

void sendRequests(std::string_view requests, blocksim::BlockModel& model) {
    std::vector<std::uint8_t> reply(blocksim::kSectorSize);
    std::size_t replied = 0;
    for (std::size_t i = 0; i < requests.size() && replied < kMaxReplyBytes; ++i) {
        const auto byte = static_cast<std::uint8_t>(requests[i]);
        model.receive(&byte, 1);
        while (model.pendingOutput() != 0) {
            replied += model.takeOutput(reply.data(), reply.size());
        }
    }
}

}  // namespace

Findings runScenario(std::span<const std::uint8_t> input) {
    Findings findings;
    std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
    const std::string_view scenarioText = take(text, '\0');
    std::string_view commands = take(text, '\0');

    const std::optional<blocksim::Scenario> scenario = parse(scenarioText, findings);
    std::vector<blocksim::BlockModel> models;
    if (scenario) {
        for (const blocksim::ScenarioBlock& block : scenario->blocks) {
            models.emplace_back(block.setup);
        }
    }
    try {
        while (!commands.empty()) {
            runCommand(take(commands, '\n'), scenario ? &*scenario : nullptr, models, findings);
        }
    } catch (const std::exception& error) {
        findings.push_back(std::string("a command threw: ") + error.what());
    }
    if (!models.empty()) {
        sendRequests(text, models.front());
    }
    return findings;
}

}  // namespace kelvra::fuzz
