#include "tools/blocksim/BlockSetup.h"

namespace kelvra::blocksim {

namespace {

constexpr std::array<std::string_view, kExchangeCount> kExchangeNames = {
    "hello", "directory", "clock", "clear", "delete", "config", "read-sector", "sector",
};

constexpr std::array<std::string_view, 7> kLineFaultKindNames = {"drop", "insert", "cut", "garbage",
                                                                 "flip", "error",  "late"};

constexpr std::array<std::string_view, 3> kSampleShapeNames = {"tone", "zero", "clipped"};

}  // namespace

std::string_view sampleShapeName(SampleShape shape) {
    return kSampleShapeNames[static_cast<std::size_t>(shape)];
}

std::optional<SampleShape> sampleShapeFromName(std::string_view name) {
    for (std::size_t i = 0; i < kSampleShapeNames.size(); ++i) {
        if (kSampleShapeNames[i] == name) {
            return static_cast<SampleShape>(i);
        }
    }
    return std::nullopt;
}

std::uint8_t toBcd(int value) {
    return static_cast<std::uint8_t>(((value / 10) % 10) << 4 | (value % 10));
}

BcdDateTime bcdDateTime(int year, int month, int day, int hour, int minute, int second) {
    return {toBcd(second), toBcd(minute), toBcd(hour), toBcd(day), toBcd(month), toBcd(year % 100)};
}

std::string_view exchangeName(Exchange exchange) {
    return kExchangeNames[static_cast<std::size_t>(exchange)];
}

std::optional<Exchange> exchangeFromName(std::string_view name) {
    for (std::size_t i = 0; i < kExchangeCount; ++i) {
        if (kExchangeNames[i] == name) {
            return static_cast<Exchange>(i);
        }
    }
    return std::nullopt;
}

std::string_view lineFaultKindName(LineFault::Kind kind) {
    return kLineFaultKindNames[static_cast<std::size_t>(kind)];
}

std::optional<LineFault::Kind> lineFaultKindFromName(std::string_view name) {
    for (std::size_t i = 0; i < kLineFaultKindNames.size(); ++i) {
        const auto kind = static_cast<LineFault::Kind>(i);
        if (kLineFaultKindNames[i] == name && kind != LineFault::Kind::Error &&
            kind != LineFault::Kind::Late) {
            return kind;
        }
    }
    return std::nullopt;
}

StreamMode streamModeFor(std::uint8_t firmware) {
    const int major = firmware / 10;
    const int minor = firmware % 10;
    switch (major) {
        case 1:
            return minor >= 3 ? StreamMode::SingleSectors : StreamMode::Basic;
        case 2:
            return minor >= 2 ? StreamMode::SingleSectors : StreamMode::Basic;
        case 3:
            return minor >= 1 ? StreamMode::SingleSectors : StreamMode::Basic;
        case 4:
        case 5:
        case 6:
            return StreamMode::Batches;
        default:
            return StreamMode::Basic;
    }
}

}  // namespace kelvra::blocksim
