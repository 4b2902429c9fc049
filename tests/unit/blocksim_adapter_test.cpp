#include <gtest/gtest.h>

#include <numeric>
#include <ostream>

#include "tests/support/blocksim_bytes.h"
#include "tools/blocksim/SimulatedSerialBackend.h"
#include "tools/blocksim/UsbSerialAdapter.h"
#include "tools/blocksim/VirtualClock.h"

namespace kelvra::test {
namespace {

using namespace std::chrono_literals;
using blocksim::LineFault;
using blocksim::UsbSerialAdapter;

struct Arrival {
    std::chrono::microseconds at;
    std::size_t count;
};

struct Delivery {
    std::chrono::microseconds at;
    std::size_t total;  // bytes the host holds by then
};

struct PacketCase {
    const char* name;
    std::vector<Arrival> arrivals;
    std::vector<Delivery> deliveries;
};

// Listings show the case, not the bytes of its parameters.
void PrintTo(const PacketCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

class AdapterPackets : public ::testing::TestWithParam<PacketCase> {};

TEST_P(AdapterPackets, HandsOverFullPacketsAtOnceAndTheRestWhenTheTimerRunsOut) {
    UsbSerialAdapter adapter(16ms);
    std::deque<std::uint8_t> host;
    std::uint8_t next = 0;
    auto arrival = GetParam().arrivals.begin();
    for (const Delivery& delivery : GetParam().deliveries) {
        for (; arrival != GetParam().arrivals.end() && arrival->at <= delivery.at; ++arrival) {
            Bytes bytes(arrival->count);
            std::iota(bytes.begin(), bytes.end(), next);
            next = static_cast<std::uint8_t>(next + bytes.size());
            adapter.receive(bytes.data(), bytes.size(), arrival->at);
        }
        adapter.handOver(delivery.at, host);
        EXPECT_EQ(host.size(), delivery.total) << "at " << delivery.at.count() << " us";
    }
    for (std::size_t i = 0; i < host.size(); ++i) {
        ASSERT_EQ(host[i], static_cast<std::uint8_t>(i)) << "in order, none lost or repeated";
    }
    EXPECT_TRUE(adapter.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Adapter, AdapterPackets,
    ::testing::Values(PacketCase{"ASectorAndItsAcknowledgement",
                                 {{0us, 513}},
                                 {{0us, 496}, {15999us, 496}, {16ms, 513}}},
                      PacketCase{"APacketFilledLaterGoesWhenFull",
                                 {{0us, 30}, {5ms, 40}},
                                 {{4ms, 0}, {5ms, 62}, {20999us, 62}, {21ms, 70}}},
                      PacketCase{"BytesAfterTheTimerStartANewPacket",
                                 {{0us, 10}, {16ms, 10}},
                                 {{16ms, 10}, {31ms, 10}, {32ms, 20}}},
                      PacketCase{"ByteByByteAtTheLineRate",
                                 {{0us, 1}, {22us, 1}, {44us, 1}, {1ms, 59}, {2ms, 3}},
                                 {{1ms, 62}, {17999us, 62}, {18ms, 65}}}),
    [](const ::testing::TestParamInfo<PacketCase>& packets) {
        return std::string(packets.param.name);
    });

TEST(AdapterTimer, ANewLatencyTimesThePacketBeingCollected) {
    UsbSerialAdapter adapter(16ms);
    const Bytes bytes(10, 0x33);
    adapter.receive(bytes.data(), bytes.size(), 3ms);
    adapter.setLatency(1ms);
    EXPECT_EQ(adapter.nextHandOver(), std::chrono::microseconds(4ms));
}

class AdapterBackend : public ::testing::Test {
protected:
    AdapterBackend() {
        blocksim::BlockSetup setup;
        setup.serialYear = 18;
        setup.serialNumber = 42;
        setup.firmware = 60;
        setup.roleA = true;
        blocksim::EntrySetup entry;
        entry.address = 1;
        entry.sampleRate = 21362;
        entry.duration = 2;
        setup.entries = {entry};
        backend.addBlock("SIM-COM1", setup);
    }

    // Virtual milliseconds a hello exchange takes.
    std::uint64_t helloCost(platform::SerialPort& port) {
        const std::uint64_t before = clock.nowMs();
        const std::uint8_t hello = 0x00;
        std::uint8_t reply[9];
        EXPECT_EQ(port.write(&hello, 1), 1u);
        EXPECT_EQ(port.read(reply, 9), 9u);
        EXPECT_EQ(port.available(), 0u);
        return clock.nowMs() - before;
    }

    blocksim::VirtualClock clock;
    blocksim::SimulatedSerialBackend backend{clock};
};

TEST_F(AdapterBackend, RepliesWaitForTheLatencyTimerUntilLowLatencyIsAsked) {
    auto direct = backend.open("SIM-COM1").port;
    EXPECT_EQ(helloCost(*direct), 0u);
    EXPECT_FALSE(direct->requestLowLatency()) << "no adapter to ask";
    direct.reset();

    backend.setAdapterLatency(16);
    auto port = backend.open("SIM-COM1").port;
    EXPECT_EQ(helloCost(*port), 16u);
    EXPECT_TRUE(port->requestLowLatency());
    EXPECT_EQ(backend.adapterLatency("SIM-COM1"), 1u);
    EXPECT_EQ(helloCost(*port), 1u);

    backend.unplug("SIM-COM1");
    backend.plug("SIM-COM1");
    EXPECT_EQ(backend.adapterLatency("SIM-COM1"), 16u) << "a new adapter has the default timer";
}

struct StrayCase {
    const char* name;
    LineFault::Kind kind;
};
void PrintTo(const StrayCase& stray, std::ostream* out) {
    *out << stray.name;
}

class AdapterStrayBytes : public AdapterBackend, public ::testing::WithParamInterface<StrayCase> {};

TEST_P(AdapterStrayBytes, FollowTheAcknowledgementInItsPacketOrInTheNext) {
    const bool late = GetParam().kind == LineFault::Kind::Late;
    backend.setAdapterLatency(16);
    backend.armLineFault("SIM-COM1", LineFault{GetParam().kind, 0, 0, 0x0E, 2});
    auto port = backend.open("SIM-COM1").port;
    const Bytes request = {0x13, 1, 0, 0, 0, 1};
    ASSERT_EQ(port->write(request.data(), request.size()), request.size());
    Bytes reply(513);
    EXPECT_EQ(port->read(reply.data(), reply.size()), 513u);
    EXPECT_EQ(clock.nowMs(), 16u);
    EXPECT_EQ(port->available(), late ? 0u : 2u);
    Bytes stray(2);
    EXPECT_EQ(port->read(stray.data(), stray.size()), 2u);
    EXPECT_EQ(stray, (Bytes{0x0E, 0x0E}));
    EXPECT_EQ(clock.nowMs(), late ? 32u : 16u);
}

INSTANTIATE_TEST_SUITE_P(Adapter, AdapterStrayBytes,
                         ::testing::Values(StrayCase{"Garbage", LineFault::Kind::Garbage},
                                           StrayCase{"Late", LineFault::Kind::Late}),
                         [](const ::testing::TestParamInfo<StrayCase>& stray) {
                             return std::string(stray.param.name);
                         });

struct PacedCase {
    const char* name;
    std::uint32_t latencyMs;  // 0: no adapter
    bool lowLatency;
    std::uint64_t sectorUs;  // until a sector and its acknowledgement are read
};
void PrintTo(const PacedCase& paced, std::ostream* out) {
    *out << paced.name;
}

class PacedSector : public AdapterBackend, public ::testing::WithParamInterface<PacedCase> {};

TEST_P(PacedSector, TakesTheLineTimeAndWhatTheLastPacketWaits) {
    backend.setPaced(true);
    if (GetParam().latencyMs > 0) {
        backend.setAdapterLatency(GetParam().latencyMs);
    }
    auto port = backend.open("SIM-COM1").port;
    if (GetParam().lowLatency) {
        EXPECT_TRUE(port->requestLowLatency());
    }
    const Bytes request = {0x13, 1, 0, 0, 0, 1};
    ASSERT_EQ(port->write(request.data(), request.size()), request.size());
    Bytes reply(513);
    EXPECT_EQ(port->read(reply.data(), reply.size()), 513u);
    EXPECT_EQ(clock.nowUs(), GetParam().sectorUs);
}

// 513 bytes at 46080 bytes/s take 11133 us; behind the adapter the last 17 follow eight full
// packets, and the first of them comes at 10786 us. At 1 ms a packet never fills (62 bytes take
// 1.35 ms): the last one goes 1 ms after its first byte, 89 us after the last.
INSTANTIATE_TEST_SUITE_P(Adapter, PacedSector,
                         ::testing::Values(PacedCase{"OnTheLine", 0, false, 11133},
                                           PacedCase{"Behind16ms", 16, false, 10786 + 16000},
                                           PacedCase{"AskedForLowLatency", 16, true, 11222}),
                         [](const ::testing::TestParamInfo<PacedCase>& paced) {
                             return std::string(paced.param.name);
                         });

class AdapterLineErrors : public AdapterBackend, public ::testing::WithParamInterface<bool> {};

TEST_P(AdapterLineErrors, CountRisesWithTheDamagedSectorOnly) {
    if (GetParam()) {
        backend.setAdapterLatency(16);
    }
    backend.armLineFault("SIM-COM1", LineFault{LineFault::Kind::Error, 1, 7, 0, 1, 3});
    auto port = backend.open("SIM-COM1").port;
    const Bytes expected = recordBytes(backend.setup("SIM-COM1"), 1, 0, 0, 3 * 512);
    for (std::uint8_t index = 0; index < 3; ++index) {
        const Bytes request = {0x13, 1, 0, index, 0, 1};
        ASSERT_EQ(port->write(request.data(), request.size()), request.size());
        Bytes sector(513);
        ASSERT_EQ(port->read(sector.data(), sector.size()), 513u);
        EXPECT_EQ(port->lineErrors(), index == 0 ? 0u : 1u) << "after sector " << int{index};
        Bytes sent(expected.begin() + index * 512, expected.begin() + index * 512 + 512);
        if (index == 1) {
            sent[7] ^= 0x08;  // the byte the driver flagged
        }
        EXPECT_EQ(Bytes(sector.begin(), sector.end() - 1), sent) << "sector " << int{index};
    }
}

INSTANTIATE_TEST_SUITE_P(Adapter, AdapterLineErrors, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& adapter) {
                             return adapter.param ? "BehindAnAdapter" : "OnTheLine";
                         });

}  // namespace
}  // namespace kelvra::test
