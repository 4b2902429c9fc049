#include "fuzz/harness/StationRun.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvra::fuzz::failOnFindings(kelvra::fuzz::runStation({data, size}));
    return 0;
}
