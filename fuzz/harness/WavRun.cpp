#include "fuzz/harness/WavRun.h"

#include <vector>

#include "download/ChannelLevels.h"
#include "download/WavReader.h"
#include "fuzz/harness/MemorySource.h"

namespace kelvra::fuzz {

Findings runWav(std::span<const std::uint8_t> input) {
    Findings findings;
    MemorySource source(input);
    const WavOpening opening = readWavLayout(source);
    expect(findings, opening.layout.has_value() != !opening.failure.empty(),
           "the header is neither read nor refused with a reason");
    if (opening.layout) {
        const WavLayout& layout = *opening.layout;
        expect(findings, layout.sampleRate > 0, "a sample rate of 0 is taken");
        expect(findings, layout.dataOffset >= 20 && layout.dataOffset <= input.size(),
               "the samples start outside the file");
        expect(findings, layout.dataBytes <= input.size() - layout.dataOffset,
               "the samples reach past the end of the file");

        // An odd buffer size, so that frames are cut at every place.
        std::vector<std::uint8_t> buffer(4 * 7 + 3);
        WavFrameReader reader(source, layout);
        LevelMeter meter;
        std::uint64_t bytes = 0;
        while (const std::size_t count = reader.next(buffer.data(), buffer.size())) {
            expect(findings, count % 4 == 0, "a read ends inside a frame");
            meter.add(buffer.data(), count);
            bytes += count;
        }
        expect(findings, reader.failure().empty(), "a file that holds its samples fails to read");
        expect(findings, bytes == layout.frames() * 4, "not every frame the header claims is read");
        expect(findings, meter.levels(0, true).samples == layout.frames(),
               "the levels count another number of samples than frames were read");
    }
    expect(findings, !source.readPastTheEnd(), "a read reaches past the end of the file");
    return findings;
}

}  // namespace kelvra::fuzz
