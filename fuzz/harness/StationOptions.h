#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvra::fuzz {

// What the user does during a station run, from the first two bytes of its input.
struct StationOptions {
    static constexpr std::size_t kSize = 2;
    static constexpr int kMaxDownloads = 3;

    // Line i is selected for a download when bit i % 8 is set; 0 selects every line.
    std::uint8_t selection = 0;
    // Ticks with records listed before the first download.
    int waitTicks = 0;
    // The first line is double-clicked (delete) once, before any download.
    bool deleteFirstLine = false;
    // "Clear memory" is pressed once, after the delete and before any download.
    bool clearMemory = false;
    // Timer 1 fires while a message box or the folder picker is open, as a modal loop lets it.
    bool tickInModals = false;
    // Questions are answered with Cancel instead of OK.
    bool cancelQuestions = false;
    // Downloads go on after the first, up to kMaxDownloads.
    bool downloadAgain = false;

    static StationOptions fromBytes(const std::uint8_t* bytes) {
        StationOptions options;
        options.selection = bytes[0];
        const std::uint8_t flags = bytes[1];
        options.waitTicks = flags & 0x07;
        options.deleteFirstLine = (flags & 0x08) != 0;
        options.clearMemory = (flags & 0x10) != 0;
        options.tickInModals = (flags & 0x20) != 0;
        options.cancelQuestions = (flags & 0x40) != 0;
        options.downloadAgain = (flags & 0x80) != 0;
        return options;
    }

    bool selects(int line) const { return selection == 0 || ((selection >> (line % 8)) & 1) != 0; }
};

}  // namespace kelvra::fuzz
