// Writes the dialogs and strings of Kelvra's resource table as a resource script, which
// resources/kelvra.rc includes: the Windows executables get their windows from the same table as
// the other backends.
#include <cstdio>
#include <fstream>
#include <string>

#include "resources/KelvraResources.h"
#include "resources/RcScript.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.rc\n", argv[0]);
        return 2;
    }
    const std::string script = kelvra::resourceScript(kelvra::kelvraResources());
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << script;
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
