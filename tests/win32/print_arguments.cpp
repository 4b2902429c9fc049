// Prints the arguments that commandLineArguments gives it, each on a line of its own in UTF-8:
// the console test starts it with a wide command line and reads them back.
#include <windows.h>

#include <string>

#include "platform/console/Console.h"

int main(int argc, char** argv) {
    std::string text;
    for (const std::string& argument : kelvra::platform::commandLineArguments(argc, argv)) {
        text += argument + '\n';
    }
    DWORD written = 0;
    return WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
                     &written, nullptr) &&
                   written == text.size()
               ? 0
               : 1;
}
