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

// What standard error is, for a progress report: a terminal that can redraw a line in place
// (not one that declares itself dumb), and how many columns a line may take there before it
// wraps.
struct ErrorTerminal {
    bool redraws = false;
    int columns = 80;
};
ErrorTerminal standardErrorTerminal();

// Whether standard output is a terminal: what it reports is then in front of the user already.
bool standardOutputIsTerminal();

// `onStop` runs (as a signal handler: it may only set a flag) when the user or the system asks
// the program to end: Ctrl+C, and where they exist a termination request, a closed terminal
// and a closed console window. A signal that was ignored when the program started (nohup)
// stays ignored. A closed pipe on standard output no longer ends the program: writes to it fail
// instead. Until releaseStopRequests(), called once the job has stopped: where the system ends
// the program as soon as its request is answered (a closed console window, logoff, shutdown),
// the answer waits for it, a few seconds at most.
void catchStopRequests(void (*onStop)());
void releaseStopRequests();

}  // namespace kelvra::platform
