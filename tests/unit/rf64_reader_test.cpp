// An RF64 file as a reader that knows the format sees it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "download/WavFormat.h"
#include "tests/support/FileFixtures.h"
#include "tests/support/TempFolder.h"

namespace kelvra {
namespace {

TEST(Rf64Reader, SndfileInfoReadsTheHeaderAsRf64WithItsRateAndFrames) {
    if (std::system("command -v sndfile-info >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "sndfile-info is not installed (Debian package sndfile-programs)";
    }
    const test::TempFolder folder;
    // 1000 frames at 8000 Hz, above a limit lowered to 3999 bytes of sample data.
    const WavHeader header = buildWavHeader(2000, 8000, describeBlock(1, 2, 18, 42, 7),
                                            describeBlock(3, 4, 18, 43, 8), 3999);
    std::string bytes(header.bytes, header.bytes + header.size);
    test::writeText(folder.file("rf64.wav"), bytes.append(4000, '\x11'));
    const std::string report = folder.file("report.txt").string();
    ASSERT_EQ(std::system(("sndfile-info '" + folder.file("rf64.wav").string() + "' > '" + report +
                           "' 2>&1")
                              .c_str()),
              0);
    const std::string text = test::readText(report);
    for (const char* line :
         {"\nRF64\n", "\nds64 : 28\n", "Data size : 4000\n", "\nSample Rate : 8000\n",
          "\nFrames      : 1000\n", "\nChannels    : 2\n", "\nFormat      : 0x00220002\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << " is not in\n" << text;
    }
}

}  // namespace
}  // namespace kelvra
