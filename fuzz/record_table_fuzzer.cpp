#include "fuzz/harness/RecordTableRun.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvra::fuzz::failOnFindings(kelvra::fuzz::runRecordTable({data, size}));
    return 0;
}
