#include "fuzz/harness/SessionTableRun.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvra::fuzz::failOnFindings(kelvra::fuzz::runSessionTable({data, size}));
    return 0;
}
