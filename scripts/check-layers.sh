#!/usr/bin/env bash
# The layer rule: the system (app/ ui/ link/ records/ download/, Kelvra's resource table and the
# command line) includes the C++ standard library and platform/ interfaces only, and calls only
# down; platform/ knows nothing of the application. Prints each breach and fails on any.
set -euo pipefail
cd "$(dirname "$0")/.."

standard='algorithm any array atomic barrier bit bitset cassert cctype cerrno cfenv cfloat
charconv chrono cinttypes climits clocale cmath codecvt compare complex concepts
condition_variable coroutine csetjmp csignal cstdarg cstddef cstdint cstdio cstdlib cstring
ctime cuchar cwchar cwctype deque exception execution expected filesystem format forward_list
fstream functional future initializer_list iomanip ios iosfwd iostream istream iterator latch
limits list locale map memory memory_resource mutex new numbers numeric optional ostream queue
random ranges ratio regex scoped_allocator semaphore set shared_mutex source_location span
sstream stack stdexcept stop_token streambuf string string_view syncstream system_error thread
tuple type_traits typeindex typeinfo unordered_map unordered_set utility valarray variant
vector version'

# What each folder may include besides the standard library: itself and the layers below it.
declare -A below=(
    [link]='link platform'
    [records]='records link platform'
    [download]='download records link platform'
    [resources]='resources platform kelvra'
    [ui]='ui download records link resources platform'
    [app]='app ui download records link resources platform'
    [cli]='cli download records link platform kelvra'
)
# Libraries a layer may use beyond the standard one.
declare -A libraries=(
    [cli]='CLI/CLI.hpp kissfft/kissfft.hh stb/stb_image_write.h stb/stb_easy_font.h'
)
# Libraries that only their wrapper may include: the rest of the code goes through its interface.
declare -A wrappers=(
    [kissfft/kissfft.hh]='cli/graphics/KissFrequencyBins.cpp'
    [stb/stb_image_write.h]='cli/graphics/StbPngFile.cpp'
    [stb/stb_easy_font.h]='cli/graphics/StbTextShapes.cpp'
)

failures=0
breach() {
    echo "$1: $2" >&2
    failures=$((failures + 1))
}

for layer in "${!below[@]}"; do
    # Build-time tools in resources/ run on the build machine and may use its libraries.
    while IFS= read -r file; do
        while IFS= read -r header; do
            if [[ "$header" == \<* ]]; then
                name=${header:1:-1}
                [[ " ${standard//$'\n'/ } ${libraries[$layer]:-} " == *" $name "* ]] ||
                    breach "$file" "includes $header, which is not the C++ standard library"
                [[ -z "${wrappers[$name]:-}" || "${wrappers[$name]}" == "$file" ]] ||
                    breach "$file" "includes $header, which only ${wrappers[$name]} may"
            else
                folder=${header:1}
                folder=${folder%%/*}
                [[ " ${below[$layer]} " == *" $folder "* ]] ||
                    breach "$file" "includes $header from a layer it may not use"
            fi
        done < <(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*([<"][^>"]*[>"]).*/\1/p' "$file")
    done < <(find "$layer" -name '*.cpp' -o -name '*.h' | grep -v '^resources/make_' | sort)
done

while IFS= read -r line; do
    breach "${line%%:*}" "includes the application's ${line#*:}"
done < <(grep -rnoE '#[[:space:]]*include[[:space:]]*"(app|ui|link|records|download|resources|cli)/[^"]*"' \
    platform --include='*.cpp' --include='*.h' | sed -E 's/:[0-9]+:#[[:space:]]*include[[:space:]]*/:/')

if ((failures > 0)); then
    echo "layer rule: $failures breach(es)" >&2
    exit 1
fi
echo "layer rule: holds"
