#include "fuzz/harness/ManifestRun.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvra::fuzz::failOnFindings(kelvra::fuzz::runManifest({data, size}));
    return 0;
}
