#pragma once

#include <string>
#include <vector>

// What a console program asks of its platform.
namespace kelvra::platform {

// The program's arguments after its name, in UTF-8. Windows hands a console program its
// arguments in the ANSI code page, so they are taken from the wide command line there.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Text written to the console is UTF-8 (file names, the window's line texts). A Windows console
// otherwise shows its own code page; elsewhere nothing needs doing.
void useUtf8Output();

// Whether standard error is a terminal, where a progress bar may redraw its line.
bool standardErrorIsTerminal();

}  // namespace kelvra::platform
