#include "fuzz/harness/Findings.h"

#include <cstdio>
#include <cstdlib>

namespace kelvra::fuzz {

void failOnFindings(const Findings& findings) {
    if (findings.empty()) {
        return;
    }
    for (const std::string& finding : findings) {
        std::fprintf(stderr, "finding: %s\n", finding.c_str());
    }
    std::abort();
}

void abortRun(const char* what) {
    std::fprintf(stderr, "finding: %s\n", what);
    std::abort();
}

}  // namespace kelvra::fuzz
