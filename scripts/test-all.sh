#!/usr/bin/env bash
# Builds every target and runs every test: both Windows cross builds (their programs, zips and
# unit tests), the Linux build with all test labels (among them the Windows builds under Wine),
# the unit and pseudo-terminal tests under the address/undefined and thread sanitizers, and the
# fuzz targets. Installs missing Debian packages first. Each section says how long it took.
set -euo pipefail
cd "$(dirname "$0")/.."

section_name=
section_start=$SECONDS
section() {
    if [ -n "$section_name" ]; then
        echo "-- $section_name: $((SECONDS - section_start)) s"
    fi
    section_name=$1
    section_start=$SECONDS
    [ -z "$1" ] || echo "== $1"
}

section "Set-up"
scripts/install-deps.sh

jobs=$(nproc)

section "Source format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

build() {
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1" -j "$jobs"
}

section "Windows 64-bit"
build mingw-x86_64
cmake --build --preset mingw-x86_64 --target package
section "Windows 32-bit"
build mingw-i686
cmake --build --preset mingw-i686 --target package

section "Linux"
build linux
cmake --build --preset linux --target package
section "Packages"
scripts/check-packages.sh
section "Linux tests"
# Parametrized tests must carry names a person can pass to ctest -R, not printed raw bytes.
if ctest --preset linux -N | grep -E -e '-byte object' -e '<[0-9A-F]{2}-'; then
    echo "test names above print raw parameter bytes" >&2
    exit 1
fi
# Labels are regular expressions to ctest: anchored, so that unit is not wine-unit.
ctest --preset linux -L '^unit$' -j "$jobs"
ctest --preset linux -LE '^(unit|wine|wine-unit)$'
section "Windows builds under Wine"
ctest --preset linux -L '^(wine|wine-unit)$'
# Why a test was skipped is in its output, which ctest shows only in its log.
awk '/^[0-9]+\/[0-9]+ Testing: / {name = $3} /^skipped: / {print name ": " $0}' \
    build/linux/Testing/Temporary/LastTest.log

section "Linux, address and undefined-behaviour sanitizers"
# The line-fault matrix's single-sector cases each move a record of 10,000 sector pairs through
# the window: 15 s a case under this sanitizer and 30 to 45 s under the thread sanitizer, for
# 100 cases. They run in the Linux build above; their batch and basic-stream siblings, with the
# same faults and the same code around them, run under both sanitizers.
single_sector_line_faults='LineFaults\..*_SingleSectors_'
build asan
ctest --preset asan -L '^unit$' -E "$single_sector_line_faults" -j "$jobs"
ctest --preset asan -L '^pty$'

section "Linux, thread sanitizer"
build tsan
ctest --preset tsan -L '^unit$' -E "$single_sector_line_faults" -j "$jobs"

section "Fuzzing"
scripts/fuzz.sh 30
section ""
echo "== All of it: $SECONDS s"
