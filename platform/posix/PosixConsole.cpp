#include <unistd.h>

#include <cstdio>

#include "platform/console/Console.h"

namespace kelvra::platform {

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void useUtf8Output() {}

bool standardErrorIsTerminal() {
    return isatty(fileno(stderr)) != 0;
}

}  // namespace kelvra::platform
