#include "tools/blocksim/Scenario.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <nlohmann/json.hpp>
#include <set>

#include "platform/serial/PortNames.h"
#include "tools/blocksim/DeviceBytes.h"

namespace kelvra::blocksim {

namespace {

using nlohmann::json;

// A JSON value with the path that leads to it, so every complaint can name its field.
struct Field {
    const json& value;
    std::string path;

    [[noreturn]] void fail(std::string_view what) const {
        throw ScenarioError(path + ": " + std::string(what));
    }

    Field element(std::size_t index) const {
        return {value[index], path + "[" + std::to_string(index) + "]"};
    }

    std::string memberPath(std::string_view key) const {
        return path.empty() ? std::string(key) : path + "." + std::string(key);
    }

    const json* find(std::string_view key) const {
        const auto found = value.find(std::string(key));
        return found == value.end() ? nullptr : &*found;
    }

    std::optional<Field> optionalMember(std::string_view key) const {
        const json* member = find(key);
        if (member == nullptr) {
            return std::nullopt;
        }
        return Field{*member, memberPath(key)};
    }

    Field member(std::string_view key) const {
        const json* found = find(key);
        if (found == nullptr) {
            throw ScenarioError(memberPath(key) + ": required field missing");
        }
        return {*found, memberPath(key)};
    }
};

void expectObject(const Field& field, std::initializer_list<std::string_view> keys) {
    if (!field.value.is_object()) {
        field.fail("expected an object");
    }
    for (const auto& item : field.value.items()) {
        if (std::find(keys.begin(), keys.end(), item.key()) == keys.end()) {
            throw ScenarioError(field.memberPath(item.key()) + ": unknown field");
        }
    }
}

void expectArray(const Field& field, std::string_view of) {
    if (!field.value.is_array()) {
        field.fail("expected an array of " + std::string(of));
    }
}

std::uint64_t integer(const Field& field, std::uint64_t min, std::uint64_t max) {
    const json& value = field.value;
    const bool inRange = (value.is_number_unsigned() && value.get<std::uint64_t>() >= min &&
                          value.get<std::uint64_t>() <= max) ||
                         (value.is_number_integer() && !value.is_number_unsigned() &&
                          value.get<std::int64_t>() >= 0 &&
                          static_cast<std::uint64_t>(value.get<std::int64_t>()) >= min &&
                          static_cast<std::uint64_t>(value.get<std::int64_t>()) <= max);
    if (!inRange) {
        field.fail("expected an integer " + std::to_string(min) + ".." + std::to_string(max));
    }
    return value.is_number_unsigned() ? value.get<std::uint64_t>()
                                      : static_cast<std::uint64_t>(value.get<std::int64_t>());
}

std::uint8_t byteValue(const Field& field) {
    return static_cast<std::uint8_t>(integer(field, 0, 0xFF));
}

std::uint16_t wordValue(const Field& field) {
    return static_cast<std::uint16_t>(integer(field, 0, 0xFFFF));
}

bool boolean(const Field& field) {
    if (!field.value.is_boolean()) {
        field.fail("expected true or false");
    }
    return field.value.get<bool>();
}

template <std::size_t N>
std::array<std::uint8_t, N> bytes(const Field& field) {
    if (!field.value.is_array() || field.value.size() != N) {
        field.fail("expected an array of " + std::to_string(N) + " integers 0..255");
    }
    std::array<std::uint8_t, N> result{};
    for (std::size_t i = 0; i < N; ++i) {
        result[i] = byteValue(field.element(i));
    }
    return result;
}

bool roleA(const Field& field) {
    if (field.value == "A") {
        return true;
    }
    if (field.value == "B") {
        return false;
    }
    field.fail("expected \"A\" or \"B\"");
}

// "YYYY-MM-DD HH:MM:SS", year 2000 to 2099.
BcdDateTime dateTime(const Field& field) {
    const char* const expected =
        "expected a date and time \"YYYY-MM-DD HH:MM:SS\", year 2000..2099";
    if (!field.value.is_string()) {
        field.fail(expected);
    }
    const std::string text = field.value.get<std::string>();
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
        text[13] != ':' || text[16] != ':') {
        field.fail(expected);
    }
    const auto number = [&](std::size_t at, std::size_t length, int min, int max) {
        int result = -1;
        const char* first = text.data() + at;
        const auto [end, error] = std::from_chars(first, first + length, result);
        if (error != std::errc() || end != first + length || result < min || result > max) {
            field.fail(expected);
        }
        return result;
    };
    return bcdDateTime(number(0, 4, 2000, 2099), number(5, 2, 1, 12), number(8, 2, 1, 31),
                       number(11, 2, 0, 23), number(14, 2, 0, 59), number(17, 2, 0, 59));
}

// A date given either as "time" or, for bytes that need not be valid BCD, as "timeBcd".
std::optional<BcdDateTime> timeOf(const Field& object) {
    const auto text = object.optionalMember("time");
    const auto raw = object.optionalMember("timeBcd");
    if (text && raw) {
        raw->fail("give either time or timeBcd, not both");
    }
    if (text) {
        return dateTime(*text);
    }
    if (raw) {
        return bytes<6>(*raw);
    }
    return std::nullopt;
}

SampleShape sampleShape(const Field& field) {
    const auto shape = field.value.is_string() ? sampleShapeFromName(field.value.get<std::string>())
                                               : std::nullopt;
    if (!shape) {
        field.fail("expected \"tone\", \"zero\" or \"clipped\"");
    }
    return *shape;
}

// The block's own role and sample shape are the defaults of its entries.
EntrySetup parseEntry(const Field& field, bool blockRoleA, SampleShape blockSamples) {
    expectObject(field,
                 {"address", "records", "lead", "entryInfo", "time", "timeBcd", "role", "setting1",
                  "setting2", "sampleRate", "duration", "sampleSeed", "samples"});
    EntrySetup entry;
    entry.address = byteValue(field.member("address"));
    if (const auto records = field.optionalMember("records")) {
        entry.recordCount = byteValue(*records);
    }
    if (const auto lead = field.optionalMember("lead")) {
        entry.lead = byteValue(*lead);
    }
    if (const auto info = field.optionalMember("entryInfo")) {
        entry.entryInfo = bytes<4>(*info);
    }
    const auto time = timeOf(field);
    if (!time) {
        throw ScenarioError(field.memberPath("time") + ": required field missing");
    }
    entry.time = *time;
    entry.roleA = blockRoleA;
    if (const auto role = field.optionalMember("role")) {
        entry.roleA = roleA(*role);
    }
    if (const auto setting = field.optionalMember("setting1")) {
        entry.setting1 = bytes<4>(*setting);
    }
    if (const auto setting = field.optionalMember("setting2")) {
        entry.setting2 = bytes<4>(*setting);
    }
    entry.sampleRate = wordValue(field.member("sampleRate"));
    entry.duration = wordValue(field.member("duration"));
    if (const auto seed = field.optionalMember("sampleSeed")) {
        entry.sampleSeed = static_cast<std::uint32_t>(integer(*seed, 0, 0xFFFFFFFF));
    }
    entry.samples = blockSamples;
    if (const auto samples = field.optionalMember("samples")) {
        entry.samples = sampleShape(*samples);
    }
    return entry;
}

SessionHeader parseSession(const Field& field) {
    expectObject(field, {"bytes", "status", "number", "time", "timeBcd", "value"});
    if (const auto raw = field.optionalMember("bytes")) {
        if (field.value.size() != 1) {
            raw->fail("give either bytes alone or the separate fields");
        }
        return bytes<32>(*raw);
    }
    SessionHeader header{};
    if (const auto status = field.optionalMember("status")) {
        header[0] = byteValue(*status);
    }
    if (const auto number = field.optionalMember("number")) {
        header[1] = byteValue(*number);
    }
    if (const auto time = timeOf(field)) {
        std::copy(time->begin(), time->end(), header.begin() + 8);
    }
    if (const auto value = field.optionalMember("value")) {
        const std::uint16_t number = wordValue(*value);
        header[28] = static_cast<std::uint8_t>(number & 0xFF);
        header[29] = static_cast<std::uint8_t>(number >> 8);
    }
    return header;
}

AckFault parseAckFault(const Field& field, Exchange& exchange) {
    expectObject(field, {"exchange", "reply", "byte", "after", "times"});
    const Field name = field.member("exchange");
    const auto parsed =
        name.value.is_string() ? exchangeFromName(name.value.get<std::string>()) : std::nullopt;
    if (!parsed) {
        name.fail(
            "expected one of hello, directory, clock, clear, delete, config, read-sector, sector");
    }
    exchange = *parsed;
    AckFault fault;
    const Field reply = field.member("reply");
    if (reply.value == "wrong") {
        fault.kind = AckFault::Kind::Wrong;
        fault.byte = byteValue(field.member("byte"));
    } else if (reply.value == "missing") {
        fault.kind = AckFault::Kind::Missing;
        if (const auto byte = field.optionalMember("byte")) {
            byte->fail("only a wrong reply has a byte");
        }
    } else {
        reply.fail("expected \"wrong\" or \"missing\"");
    }
    if (const auto after = field.optionalMember("after")) {
        fault.after = static_cast<std::uint32_t>(integer(*after, 0, 0xFFFFFFFF));
    }
    if (const auto times = field.optionalMember("times")) {
        fault.times = static_cast<std::uint32_t>(integer(*times, 0, 0xFFFFFFFF));
    }
    return fault;
}

LineFault parseLineFault(const Field& field) {
    expectObject(field, {"kind", "after", "offset", "byte", "count", "bit"});
    const Field kind = field.member("kind");
    const auto parsed = kind.value.is_string()
                            ? lineFaultKindFromName(kind.value.get<std::string>())
                            : std::nullopt;
    if (!parsed) {
        kind.fail("expected \"drop\", \"insert\", \"cut\", \"garbage\" or \"flip\"");
    }
    LineFault fault;
    fault.kind = *parsed;
    fault.afterSectors = static_cast<std::uint32_t>(integer(field.member("after"), 0, 0xFFFFFFFF));
    const bool garbage = fault.kind == LineFault::Kind::Garbage;
    if (const auto offset = field.optionalMember("offset")) {
        if (garbage) {
            offset->fail("garbage has no offset");
        }
        fault.offset = static_cast<std::uint16_t>(integer(*offset, 0, kMaxLineFaultOffset));
    }
    if (const auto byte = field.optionalMember("byte")) {
        if (!garbage && fault.kind != LineFault::Kind::Insert) {
            byte->fail("only insert and garbage have a byte");
        }
        fault.byte = byteValue(*byte);
    }
    if (const auto count = field.optionalMember("count")) {
        if (!garbage) {
            count->fail("only garbage has a count");
        }
        fault.count = static_cast<std::uint8_t>(integer(*count, 1, kMaxGarbageCount));
    }
    if (const auto bit = field.optionalMember("bit")) {
        if (fault.kind != LineFault::Kind::Flip) {
            bit->fail("only flip has a bit");
        }
        fault.bit = static_cast<std::uint8_t>(integer(*bit, 0, kMaxFlipBit));
    }
    return fault;
}

Faults parseFaults(const Field& field) {
    expectObject(field, {"silent", "shortParams", "acks", "unplug", "line"});
    Faults faults;
    if (const auto silent = field.optionalMember("silent")) {
        faults.silent = boolean(*silent);
    }
    if (const auto shortParams = field.optionalMember("shortParams")) {
        faults.shortParams = static_cast<std::uint8_t>(integer(*shortParams, 0, 6));
    }
    if (const auto acks = field.optionalMember("acks")) {
        expectArray(*acks, "acknowledgement faults");
        for (std::size_t i = 0; i < acks->value.size(); ++i) {
            const Field item = acks->element(i);
            Exchange exchange{};
            const AckFault fault = parseAckFault(item, exchange);
            if (faults.ack(exchange)) {
                item.member("exchange").fail("a second fault for the same exchange");
            }
            faults.ack(exchange) = fault;
        }
    }
    if (const auto unplug = field.optionalMember("unplug")) {
        expectObject(*unplug, {"afterSectors", "forMs", "otherSlot"});
        UnplugFault fault;
        fault.afterSectors =
            static_cast<std::uint32_t>(integer(unplug->member("afterSectors"), 1, 0xFFFFFFFF));
        fault.forMs = static_cast<std::uint32_t>(integer(unplug->member("forMs"), 0, 3600000));
        if (const auto otherSlot = unplug->optionalMember("otherSlot")) {
            fault.otherSlot = boolean(*otherSlot);
        }
        faults.unplug = fault;
    }
    if (const auto line = field.optionalMember("line")) {
        expectArray(*line, "line faults");
        for (std::size_t i = 0; i < line->value.size(); ++i) {
            faults.line.push_back(parseLineFault(line->element(i)));
        }
    }
    return faults;
}

ScenarioBlock parseBlock(const Field& field) {
    expectObject(field, {"com", "serialYear", "serialNumber", "firmware", "role", "service",
                         "samples", "entries", "sessions", "faults"});
    ScenarioBlock block;
    block.com = static_cast<int>(integer(field.member("com"), 1, platform::kPortCount));
    BlockSetup& setup = block.setup;
    setup.serialYear = byteValue(field.member("serialYear"));
    setup.serialNumber = wordValue(field.member("serialNumber"));
    setup.firmware = byteValue(field.member("firmware"));
    setup.roleA = roleA(field.member("role"));
    if (const auto service = field.optionalMember("service")) {
        setup.service = boolean(*service);
    }
    SampleShape samples = SampleShape::Tone;
    if (const auto shape = field.optionalMember("samples")) {
        samples = sampleShape(*shape);
    }
    if (const auto entries = field.optionalMember("entries")) {
        expectArray(*entries, "directory entries");
        if (entries->value.size() > kMaxDirEntries) {
            entries->fail("a block holds at most " + std::to_string(kMaxDirEntries) + " entries");
        }
        std::set<std::uint8_t> addresses;
        for (std::size_t i = 0; i < entries->value.size(); ++i) {
            const Field item = entries->element(i);
            EntrySetup entry = parseEntry(item, setup.roleA, samples);
            if (!addresses.insert(entry.address).second) {
                item.member("address").fail("address " + std::to_string(entry.address) +
                                            " used by an earlier entry");
            }
            setup.entries.push_back(entry);
        }
    }
    if (const auto sessions = field.optionalMember("sessions")) {
        expectArray(*sessions, "session headers");
        for (std::size_t i = 0; i < sessions->value.size(); ++i) {
            setup.sessions.push_back(parseSession(sessions->element(i)));
        }
    }
    if (const auto faults = field.optionalMember("faults")) {
        setup.faults = parseFaults(*faults);
    }
    return block;
}

}  // namespace

Scenario parseScenario(std::string_view text) {
    json document;
    try {
        document = json::parse(text.begin(), text.end());
    } catch (const json::exception& error) {
        // Not only syntax errors: a number beyond the range of a double (1e400) is refused
        // while parsing too, as out_of_range.
        throw ScenarioError(std::string("not valid JSON: ") + error.what());
    }
    const Field root{document, ""};
    expectObject(root, {"blocks"});
    const Field blocks = root.member("blocks");
    if (!blocks.value.is_array() || blocks.value.empty() ||
        blocks.value.size() > static_cast<std::size_t>(platform::kPortCount)) {
        blocks.fail("expected an array of 1.." + std::to_string(platform::kPortCount) + " blocks");
    }
    Scenario scenario;
    std::set<int> ports;
    for (std::size_t i = 0; i < blocks.value.size(); ++i) {
        const Field item = blocks.element(i);
        ScenarioBlock block = parseBlock(item);
        if (!ports.insert(block.com).second) {
            item.member("com").fail("COM" + std::to_string(block.com) +
                                    " is used by an earlier block");
        }
        scenario.blocks.push_back(std::move(block));
    }
    return scenario;
}

Scenario loadScenario(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) {
        throw ScenarioError(path + ": cannot be read");
    }
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad()) {
        throw ScenarioError(path + ": cannot be read");
    }
    try {
        return parseScenario(text);
    } catch (const ScenarioError& error) {
        throw ScenarioError(path + ": " + error.what());
    }
}

}  // namespace kelvra::blocksim
