#include "tests/support/StationFixture.h"

namespace kelvra::test {

void StationFixture::TearDown() {
    if (window && driver.isOpen(*window)) {
        driver.finish(*window);
    }
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

std::string StationFixture::port(int com) {
    return "SIM-COM" + std::to_string(com);
}

void StationFixture::addBlock(int com, blocksim::BlockSetup setup) {
    backend.addBlock(port(com), std::move(setup));
}

void StationFixture::start() {
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
