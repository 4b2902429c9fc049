#!/usr/bin/env bash
# Builds every target and runs every test: the Linux build with all test labels, the unit and
# pseudo-terminal tests under the address/undefined and thread sanitizers, and both Windows
# cross builds. Installs missing Debian packages first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)

echo "== Source format"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

build() {
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1" -j "$jobs"
}

echo "== Windows 64-bit"
build mingw-x86_64
cmake --build --preset mingw-x86_64 --target package
echo "== Windows 32-bit"
build mingw-i686
cmake --build --preset mingw-i686 --target package

echo "== Linux"
build linux
cmake --build --preset linux --target package
echo "== Packages"
scripts/check-packages.sh
# Parametrized tests must carry names a person can pass to ctest -R, not printed raw bytes.
if ctest --preset linux -N | grep -E -e '-byte object' -e '<[0-9A-F]{2}-'; then
    echo "test names above print raw parameter bytes" >&2
    exit 1
fi
ctest --preset linux -L unit -j "$jobs"
ctest --preset linux -LE unit

echo "== Linux, address and undefined-behaviour sanitizers"
build asan
ctest --preset asan -L unit -j "$jobs"
ctest --preset asan -L pty

echo "== Linux, thread sanitizer"
build tsan
ctest --preset tsan -L unit -j "$jobs"

echo "== Fuzzing"
scripts/fuzz.sh 30
