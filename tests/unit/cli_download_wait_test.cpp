#include <gtest/gtest.h>

#include "cli/Commands.h"
#include "download/WavFormat.h"
#include "tests/support/StationFixture.h"
#include "tests/support/WavExpectation.h"

namespace kelvra::cli {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kChannelBytes = 8000 * 3 * 2;

// Seconds of the virtual clock; the user's stop request once `stopAt` of them have passed.
class VirtualPace : public Pace {
public:
    VirtualPace(blocksim::VirtualClock& clock, int stopAt) : clock_(clock), stopAt_(stopAt) {}
    void second() override {
        clock_.advance(1000);
        if (++seconds_ == stopAt_) {
            requestStop();
        }
    }

private:
    blocksim::VirtualClock& clock_;
    int stopAt_;
    int seconds_ = 0;
};

// `kelvra-cli download --all` in this process against simulated blocks, block B unplugged in
// the first record for longer than a recovery waits.
class DownloadWait : public test::StationFixture {
protected:
    void SetUp() override {
        setupA = block(18, 42, 60, true);
        setupA.entries = {entry(5, 2, true, 7, 8000, 3)};
        setupB = block(18, 43, 60, false);
        setupB.entries = {entry(9, 2, false, 7, 8000, 3)};
        addBlock(3, setupA);
        addBlock(4, setupB);
    }

    int download(const test::TempFolder& folder, bool wait, std::uint32_t awayMs, int stopAt) {
        backend.withModel(port(4), [&](blocksim::BlockModel& model) {
            model.armUnplug(blocksim::UnplugFault{30, awayMs, false});
        });
        DownloadRequest request;
        request.folder = folder.path().string();
        request.all = true;
        request.wait = wait;
        VirtualPace pace(clock, stopAt);
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        const int status = runDownload(backend, clock, pace, request);
        out = ::testing::internal::GetCapturedStdout();
        err = ::testing::internal::GetCapturedStderr();
        return status;
    }

    blocksim::BlockSetup setupA;
    blocksim::BlockSetup setupB;
    std::string out;
    std::string err;
};

TEST_F(DownloadWait, OutlastsBlocksAwayLongerThanARecoveryWaitsAndStopsWhenAsked) {
    // Without --wait the job ends once the recovery's tries are over.
    test::TempFolder givenUp;
    EXPECT_EQ(download(givenUp, false, 75000, 3600), 1) << err;
    EXPECT_NE(out.find("did not come back within 50 seconds"), std::string::npos) << out;
    clock.advance(30000);

    test::TempFolder waited;
    ASSERT_EQ(download(waited, true, 75000, 3600), 0) << err;
    EXPECT_NE(err.find("Waiting for blocks 2018-042 and 2018-043 to come back"), std::string::npos)
        << err;
    for (std::uint8_t record = 0; record < 2; ++record) {
        const Bytes data =
            test::readFileBytes(waited.file(record == 0 ? "5 Марта 18г 14-07-09 Запись 1.wav"
                                                        : "5 Марта 18г 14-07-09 Запись 2.wav"));
        ASSERT_EQ(data.size(), kWavHeaderSize + 2 * kChannelBytes);
        EXPECT_TRUE(Bytes(data.begin() + kWavHeaderSize, data.end()) ==
                    test::expectedSampleData({&setupA, 5}, {&setupB, 9}, record, kChannelBytes))
            << "record " << int(record);
    }

    // A block that stays away is waited for until the user stops: the partial file is named.
    test::TempFolder stopped;
    EXPECT_EQ(download(stopped, true, 3600000, 600), 1) << err;
    EXPECT_NE(out.find("Line 1: failed 5 Марта 18г 14-07-09 Запись 1.wav (interrupted; the "
                       "partial file " +
                       stopped.file("5 Марта 18г 14-07-09 Запись 1.wav.part").string()),
              std::string::npos)
        << out;
}

}  // namespace
}  // namespace kelvra::cli
