#pragma once

#include <string>
#include <vector>

// What a harness run found wrong: one sentence per broken check, empty when all held.
namespace kelvra::fuzz {

using Findings = std::vector<std::string>;

inline void expect(Findings& findings, bool holds, std::string what) {
    if (!holds) {
        findings.push_back(std::move(what));
    }
}

// For libFuzzer: a finding must end the process to be kept as a crash input.
void failOnFindings(const Findings& findings);

// For a check that cannot wait for the run to return, such as a loop that would never end.
[[noreturn]] void abortRun(const char* what);

}  // namespace kelvra::fuzz
