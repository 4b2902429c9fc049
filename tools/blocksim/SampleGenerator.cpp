#include "tools/blocksim/SampleGenerator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace kelvra::blocksim {

namespace {

constexpr std::uint32_t kNominalRate = 21362;
constexpr int kSineBits = 10;
constexpr int kAmplitude = 8000;
constexpr int kOverdrive = 5;

// Equal-tempered notes from A3 to A5 in hundredths of a hertz.
constexpr std::array<std::uint32_t, 25> kNotes = {
    22000, 23308, 24694, 26163, 27718, 29366, 31113, 32963, 34923, 36999, 39200, 41530, 44000,
    46616, 49388, 52325, 55437, 58733, 62225, 65926, 69846, 73999, 78399, 83061, 88000,
};

std::uint32_t mix(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

const std::array<std::uint16_t, 1u << kSineBits>& sineTable() {
    static const auto table = [] {
        std::array<std::uint16_t, 1u << kSineBits> values{};
        for (std::size_t i = 0; i < values.size(); ++i) {
            const double angle = 2.0 * std::numbers::pi * static_cast<double>(i) /
                                 static_cast<double>(values.size());
            const auto sample =
                static_cast<std::int16_t>(std::lround(kAmplitude * std::sin(angle)));
            values[i] = static_cast<std::uint16_t>(sample);
        }
        return values;
    }();
    return table;
}

struct Voice {
    std::uint32_t phaseStep;
    std::uint32_t seed;
};

Voice voiceFor(const BlockSetup& block, std::uint8_t address, std::uint8_t recordIndex,
               std::uint32_t sampleSeed) {
    // Seed 0 leaves the samples every earlier scenario was checked against.
    const std::uint32_t seed =
        mix(mix((static_cast<std::uint32_t>(block.serialYear) << 16) | block.serialNumber) ^
            ((static_cast<std::uint32_t>(address) << 8) | recordIndex)) ^
        (sampleSeed == 0 ? 0 : mix(sampleSeed));
    const std::uint32_t note = kNotes[seed % kNotes.size()];
    const auto phaseStep = static_cast<std::uint32_t>((static_cast<std::uint64_t>(note) << 32) /
                                                      (100ULL * kNominalRate));
    return {phaseStep, seed};
}

std::uint16_t toneAt(const Voice& voice, const std::array<std::uint16_t, 1u << kSineBits>& sine,
                     std::uint64_t index) {
    const auto phase = static_cast<std::uint32_t>(index * voice.phaseStep);
    const std::uint16_t tone = sine[phase >> (32 - kSineBits)];
    const std::uint32_t marker =
        mix(static_cast<std::uint32_t>(index) ^
            static_cast<std::uint32_t>(index >> 32) * 0x9e3779b9U ^ voice.seed);
    return static_cast<std::uint16_t>((tone & 0xFFF0U) | (marker & 0x000FU));
}

std::uint16_t sampleAt(const Voice& voice, const std::array<std::uint16_t, 1u << kSineBits>& sine,
                       std::uint64_t index, SampleShape shape) {
    switch (shape) {
        case SampleShape::Tone:
            break;
        case SampleShape::Zero:
            return 0;
        case SampleShape::Clipped: {
            const int loud = kOverdrive * static_cast<std::int16_t>(toneAt(voice, sine, index));
            return static_cast<std::uint16_t>(
                static_cast<std::int16_t>(std::clamp(loud, -32768, 32767)));
        }
    }
    return toneAt(voice, sine, index);
}

}  // namespace

std::uint64_t recordByteCount(const BlockSetup& block, const EntrySetup& entry) {
    const int major = block.firmware / 10;
    if (major >= 6) {
        return static_cast<std::uint64_t>(entry.sampleRate) * entry.duration * 2;
    }
    const std::uint64_t rate = major == 5 ? 21362 : 21333;
    return rate * 120 * 2;
}

void fillRecordBytes(const BlockSetup& block, std::uint8_t address, std::uint8_t recordIndex,
                     std::uint64_t offset, std::uint8_t* out, std::size_t count,
                     std::uint32_t sampleSeed, SampleShape shape) {
    const Voice voice = voiceFor(block, address, recordIndex, sampleSeed);
    const auto& sine = sineTable();
    std::size_t done = 0;
    if (count > 0 && (offset & 1) != 0) {
        out[done++] = static_cast<std::uint8_t>(sampleAt(voice, sine, offset / 2, shape) >> 8);
    }
    std::uint64_t index = (offset + done) / 2;
    for (; done + 2 <= count; done += 2, ++index) {
        const std::uint16_t sample = sampleAt(voice, sine, index, shape);
        out[done] = static_cast<std::uint8_t>(sample & 0xFF);
        out[done + 1] = static_cast<std::uint8_t>(sample >> 8);
    }
    if (done < count) {
        out[done] = static_cast<std::uint8_t>(sampleAt(voice, sine, index, shape) & 0xFF);
    }
}

}  // namespace kelvra::blocksim
