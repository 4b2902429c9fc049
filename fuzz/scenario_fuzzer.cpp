#include "fuzz/harness/ScenarioRun.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvra::fuzz::failOnFindings(kelvra::fuzz::runScenario({data, size}));
    return 0;
}
