#include "tests/support/StationFixture.h"

namespace kelvra::test {

void StationFixture::TearDown() {
    if (window && driver.isOpen(*window)) {
        driver.finish(*window);
    }
}

blocksim::BlockSpec StationFixture::block(int serialYear, int serialNumber, int firmware,
                                          bool roleA, bool service) {
    blocksim::BlockSpec spec;
    spec.serialYear = static_cast<std::uint8_t>(serialYear);
    spec.serialNumber = static_cast<std::uint16_t>(serialNumber);
    spec.firmware = static_cast<std::uint8_t>(firmware);
    spec.roleA = roleA;
    spec.service = service;
    return spec;
}

std::string StationFixture::port(int com) {
    return "SIM-COM" + std::to_string(com);
}

void StationFixture::addBlock(int com, blocksim::BlockSpec spec) {
    backend.addBlock(port(com), std::move(spec));
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
