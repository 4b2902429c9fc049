#include "cli/UsageErrors.h"

#include <algorithm>

namespace kelvra::cli {

namespace {

std::string commandList(const std::vector<std::string>& commands) {
    std::string list;
    for (const std::string& command : commands) {
        list += (list.empty() ? "" : ", ") + command;
    }
    return list;
}

// "NAME: rest" split at the first colon; the whole text as `rest` when there is none.
std::pair<std::string, std::string> namedText(const std::string& text) {
    const std::size_t colon = text.find(": ");
    if (colon == std::string::npos) {
        return {"", text};
    }
    return {text.substr(0, colon), text.substr(colon + 2)};
}

}  // namespace

std::optional<std::string> unknownFirstWord(const std::vector<std::string>& arguments,
                                            const std::vector<std::string>& commands) {
    if (arguments.empty()) {
        return std::nullopt;
    }
    const std::string& word = arguments.front();
    if (word == "--help" || word == "-h" || word == "--version" ||
        std::find(commands.begin(), commands.end(), word) != commands.end()) {
        return std::nullopt;
    }
    if (word.starts_with("-")) {
        return word + ": no such option; kelvra-cli --help lists the commands, " +
               "kelvra-cli --version shows the version";
    }
    return word + ": no such command; the commands are " + commandList(commands) +
           " (kelvra-cli --help tells more)";
}

std::string usageMessage(const std::string& kind, const std::string& text,
                         const std::vector<std::string>& commands) {
    const auto [name, rest] = namedText(text);
    if (kind == "ConversionError") {
        // "Could not convert: LINE = o2,1"
        const std::size_t equals = rest.find(" = ");
        const std::string what = equals == std::string::npos ? rest : rest.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : rest.substr(equals + 3);
        return what + ": '" + value +
               "' is not a number; give line numbers as kelvra-cli list prints them, " +
               "separated by spaces";
    }
    if (kind == "ArgumentMismatch" && rest.starts_with("At Most")) {
        return name + " is given more than once: give it once";
    }
    if (kind == "ArgumentMismatch" && rest.find("missing") != std::string::npos) {
        return name + " needs a value after it";
    }
    if (kind == "RequiredError" && text.find("subcommand") != std::string::npos) {
        return "A command is required: " + commandList(commands) +
               " (kelvra-cli --help tells more)";
    }
    if (kind == "ExtrasError") {
        // "The following argument(s) was/were not expected: extra ..."
        return "Not expected here: " + rest + " (the command's --help lists what it takes)";
    }
    if (kind == "ExcludesError") {
        // "--all excludes LINE"
        const std::size_t excludes = text.find(" excludes ");
        if (excludes != std::string::npos) {
            return text.substr(0, excludes) + " and " + text.substr(excludes + 10) +
                   " cannot go together: give one of them";
        }
    }
    return text;
}

}  // namespace kelvra::cli
