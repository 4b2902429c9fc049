#include "tests/support/StationFixture.h"
#include "resources/KelvraResources.h"

namespace kelvra::test {

void StationFixture::TearDown() {
    if (window && driver.isOpen(*window)) {
        driver.finish(*window);
    }
    std::error_code ignored;
    std::filesystem::current_path(previousDirectory_, ignored);
}

blocksim::BlockSetup StationFixture::block(int serialYear, int serialNumber, int firmware,
                                           bool roleA, bool service) {
    blocksim::BlockSetup setup;
    setup.serialYear = static_cast<std::uint8_t>(serialYear);
    setup.serialNumber = static_cast<std::uint16_t>(serialNumber);
    setup.firmware = static_cast<std::uint8_t>(firmware);
    setup.roleA = roleA;
    setup.service = service;
    return setup;
}

blocksim::EntrySetup StationFixture::entry(std::uint8_t address, std::uint8_t records, bool roleA,
                                           int minute, std::uint16_t rate, std::uint16_t seconds) {
    blocksim::EntrySetup e;
    e.address = address;
    e.recordCount = records;
    e.roleA = roleA;
    e.entryInfo = {1, 2, 3, 4};
    e.time = blocksim::bcdDateTime(2018, 3, 5, 14, minute, 9);
    e.setting1 = {0x11, 0x12, 0x13, 0x14};
    e.setting2 = {0x21, 0x22, 0x23, 0x24};
    e.sampleRate = rate;
    e.duration = seconds;
    return e;
}

std::string StationFixture::port(int com) {
    return "SIM-COM" + std::to_string(com);
}

void StationFixture::addBlock(int com, blocksim::BlockSetup setup) {
    backend.addBlock(port(com), std::move(setup));
}

void StationFixture::start() {
    platform::UseResources(kelvraResources());
    window = std::make_unique<CMainDlg>(backend, clock);
    driver.open(*window);
}

void StationFixture::tick() {
    clock.advance(1000);
    driver.fireTimer(*window, kMonitorTimer);
}

void StationFixture::tick(int count) {
    for (int i = 0; i < count; ++i) {
        tick();
    }
}

std::vector<std::string> StationFixture::listLines() {
    platform::CListBox list = window->GetListBox(IDC_RECORD_LIST);
    std::vector<std::string> lines;
    for (int i = 0; i < list.GetCount(); ++i) {
        lines.push_back(list.GetText(i));
    }
    return lines;
}

std::string StationFixture::label(int controlId) {
    return window->GetItemText(controlId);
}

std::vector<std::uint8_t> StationFixture::takeReceived(int com) {
    const std::vector<std::uint8_t> all = backend.received(port(com));
    std::size_t& seen = receivedSeen_[com];
    std::vector<std::uint8_t> fresh(all.begin() + static_cast<long>(seen), all.end());
    seen = all.size();
    return fresh;
}

}  // namespace kelvra::test
