#!/usr/bin/env bash
# Installs the Debian packages that building and testing Kelvra need, when they are missing,
# and the i386 Windows DLLs with which wine64 runs the 32-bit build.
set -euo pipefail
cd "$(dirname "$0")"

packages=(
    cmake ninja-build g++ pkg-config
    libgtest-dev libgmock-dev libbenchmark-dev
    # GoogleTest's sources, built by each cross compiler for the unit tests under Wine
    googletest
    qt6-base-dev qt6-base-dev-tools libgl-dev
    nlohmann-json3-dev libcli11-dev libssl-dev
    # header-only, for `kelvra-cli look`: the spectra, the PNG file and its labels
    libkissfft-dev libstb-dev
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64 mingw-w64-tools
    wine64 xvfb xauth
    sox libsndfile1-dev
    # sndfile-info, the RF64 reader the header tests check against
    sndfile-programs
    clang-format
    # the packages and their checks: scripts/check-packages.sh
    dpkg-dev lintian unzip binutils
    # libFuzzer and the sanitizer runtimes of the default clang: scripts/fuzz.sh
    clang libclang-rt-dev
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo_cmd=(sudo)
    fi
    # A mirror caught mid-sync fails one index; the packages may still be there, and the
    # install below names any that is not.
    "${sudo_cmd[@]}" apt-get update -q || echo "install-deps: apt-get update failed; going on with the lists there are" >&2
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

./prepare-wine-i386.sh
