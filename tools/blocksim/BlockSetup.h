#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace kelvra::blocksim {

// Date and time as they travel on the link: second, minute, hour, day, month, year mod 100,
// each packed BCD. Kept as raw bytes so a block can also hold dates that are not valid BCD.
using BcdDateTime = std::array<std::uint8_t, 6>;

std::uint8_t toBcd(int value);
BcdDateTime bcdDateTime(int year, int month, int day, int hour, int minute, int second);

// What the samples of an entry's records are like: the generator's tone, a dead input (every
// sample 0), or an overdriven one (the tone amplified until much of it sits at the rails).
enum class SampleShape : std::uint8_t { Tone, Zero, Clipped };

std::string_view sampleShapeName(SampleShape shape);
std::optional<SampleShape> sampleShapeFromName(std::string_view name);

// One directory entry as the block holds it; DirEntry bytes are built from these fields.
struct EntrySetup {
    std::uint8_t lead = 0x01;
    std::uint8_t recordCount = 1;  // as sent: 0 and values above 4 are possible
    std::array<std::uint8_t, 4> entryInfo{};
    std::uint8_t address = 0;
    BcdDateTime time{};
    bool roleA = true;  // the role under which the entry was made
    std::array<std::uint8_t, 4> setting1{};
    std::array<std::uint8_t, 4> setting2{};
    std::uint16_t sampleRate = 0;
    std::uint16_t duration = 0;
    // Picks the samples the entry's records hold; two entries alike in every directory byte
    // (a block cleared, recording again from a reset clock) hold other sound when it differs.
    std::uint32_t sampleSeed = 0;
    SampleShape samples = SampleShape::Tone;
};

// The first 32 bytes of a session's first sector.
using SessionHeader = std::array<std::uint8_t, 32>;

// Exchanges whose closing byte a fault can spoil. Sector covers the acknowledgements of the
// record streams (basic end, single sectors, batches); ReadSector is the byte after CmdReadSector.
enum class Exchange : std::uint8_t {
    Hello,
    Directory,
    Clock,
    Clear,
    Delete,
    Config,
    ReadSector,
    Sector,
};
inline constexpr std::size_t kExchangeCount = 8;

std::string_view exchangeName(Exchange exchange);
std::optional<Exchange> exchangeFromName(std::string_view name);

struct AckFault {
    enum class Kind { Wrong, Missing };
    Kind kind = Kind::Wrong;
    std::uint8_t byte = 0;    // sent instead of 0x0E when Wrong
    std::uint32_t after = 0;  // acknowledgements of the exchange that still go out right first
    std::uint32_t times = 0;  // how many are spoiled after those; 0 means all from then on
};

struct UnplugFault {
    std::uint32_t afterSectors = 1;  // record sectors sent before the block disappears
    std::uint32_t forMs = 0;         // how long it stays away
    bool otherSlot = false;          // on return every block of the scenario flips its role
};

// What a noisy or shaken cable does to one record sector on its way to the tool. Fires once.
struct LineFault {
    enum class Kind {
        Drop,     // the sector's byte at `offset` is lost
        Insert,   // `byte` arrives before the sector's byte at `offset`
        Cut,      // the reply stops after `offset` bytes of the sector
        Garbage,  // `count` times `byte` follow the next record acknowledgement
        // The sector's byte at `offset` arrives with bit `bit` inverted: length and
        // acknowledgement stay intact, so only a check of the data itself can tell.
        Flip,
        // As Flip, and the driver reports a line error (framing, parity) on that byte. Only the
        // in-process backend models the driver's count: no scenario file or command names it.
        Error,
        // As Garbage, but behind a USB serial adapter they reach the tool in a packet of their
        // own after the acknowledgement's: a check right after the acknowledgement misses them.
        // The in-process backend's only, like Error.
        Late,
    };
    Kind kind = Kind::Drop;
    std::uint32_t afterSectors = 0;  // record sectors that still go out untouched first
    std::uint16_t offset = 256;      // Drop, Insert, Cut, Flip, Error: 0..511
    std::uint8_t byte = 0x5A;        // Insert, Garbage, Late
    std::uint8_t count = 1;          // Garbage, Late: 1..kMaxGarbageCount
    std::uint8_t bit = 0;            // Flip, Error: 0..kMaxFlipBit, the least significant is 0
};
inline constexpr std::uint16_t kMaxLineFaultOffset = 511;
inline constexpr std::uint8_t kMaxGarbageCount = 64;
inline constexpr std::uint8_t kMaxFlipBit = 7;

std::string_view lineFaultKindName(LineFault::Kind kind);
// Every kind but Error and Late, which only the in-process backend can show.
std::optional<LineFault::Kind> lineFaultKindFromName(std::string_view name);

struct Faults {
    bool silent = false;
    // Hello sends 0x55 and only this many parameter bytes (0 to 6), then nothing.
    std::optional<std::uint8_t> shortParams;
    std::array<std::optional<AckFault>, kExchangeCount> acks{};
    std::optional<UnplugFault> unplug;
    std::vector<LineFault> line;  // each counts its sectors on its own

    std::optional<AckFault>& ack(Exchange exchange) {
        return acks[static_cast<std::size_t>(exchange)];
    }
    const std::optional<AckFault>& ack(Exchange exchange) const {
        return acks[static_cast<std::size_t>(exchange)];
    }
};

struct BlockSetup {
    std::uint8_t serialYear = 18;  // year - 2000
    std::uint16_t serialNumber = 1;
    std::uint8_t firmware = 60;  // major * 10 + minor
    bool roleA = true;
    bool service = false;
    std::vector<EntrySetup> entries;
    std::vector<SessionHeader> sessions;  // session i begins at sector 2 + i * sessionStride
    std::optional<BcdDateTime> clock;     // what the last CmdSetClock set
    Faults faults;
};

// How a block serves record data, following from its firmware.
enum class StreamMode { Basic, SingleSectors, Batches };
StreamMode streamModeFor(std::uint8_t firmware);

}  // namespace kelvra::blocksim
