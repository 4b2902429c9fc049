// An RF64 file as a reader that knows the format sees it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
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
    const std::string path = folder.file("rf64.wav").string();
    // 1000 frames at 8000 Hz, above a limit lowered to 3999 bytes of sample data.
    const WavHeader header = buildWavHeader(2000, 8000, describeBlock(1, 2, 18, 42, 7),
                                            describeBlock(3, 4, 18, 43, 8), 3999);
    std::string bytes(header.bytes, header.bytes + header.size);
    bytes.resize(header.size + 4000, '\x11');
    test::writeText(folder.file("rf64.wav"), bytes);

    FILE* pipe = ::popen(("sndfile-info '" + path + "' 2>&1").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string report;
    char buffer[1024];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        report.append(buffer, got);
    }
    const int status = ::pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << report;
    for (const char* line :
         {"\nRF64\n", "\nds64 : 28\n", "Data size : 4000\n", "\nSample Rate : 8000\n",
          "\nFrames      : 1000\n", "\nChannels    : 2\n", "\nFormat      : 0x00220002\n"}) {
        EXPECT_NE(report.find(line), std::string::npos) << line << " is not in\n" << report;
    }
}

}  // namespace
}  // namespace kelvra
