// What `kelvra-cli ports` says about the USB adapter of a port, read by the Win32 reader from
// the registry tree given instead of the system's: the wine test's view of keys it made with
// `reg add`. Prints the description and the hint, one per line, or "none".
//
//   kelvra-adapter-probe <device> <registry root key path>
#include <cstdio>

#include "cli/AdapterText.h"
#include "platform/serial/UsbAdapterInfo.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: kelvra-adapter-probe <device> <registry root key path>\n", stderr);
        return 2;
    }
    const auto adapter = kelvra::platform::usbAdapterInfo(argv[1], argv[2]);
    if (!adapter) {
        std::puts("none");
        return 0;
    }
    std::puts(kelvra::cli::describeAdapter(*adapter).c_str());
    if (const auto hint = kelvra::cli::latencyHint(*adapter)) {
        std::puts(hint->c_str());
    }
    return 0;
}
