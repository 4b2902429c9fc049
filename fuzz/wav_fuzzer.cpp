#include "fuzz/harness/WavRun.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvra::fuzz::failOnFindings(kelvra::fuzz::runWav({data, size}));
    return 0;
}
