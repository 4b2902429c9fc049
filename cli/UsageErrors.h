#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kelvra::cli {

// What is wrong with the first argument when it is neither a command nor an option the program
// has; nothing when it is one of them (or there is none).
std::optional<std::string> unknownFirstWord(const std::vector<std::string>& arguments,
                                            const std::vector<std::string>& commands);

// The command-line parser's complaint (its kind and text) in words that say what was wrong
// with what the user typed and what to do instead.
std::string usageMessage(const std::string& kind, const std::string& text,
                         const std::vector<std::string>& commands);

}  // namespace kelvra::cli
