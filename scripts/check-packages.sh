#!/usr/bin/env bash
# Checks the packages that the package targets built: the Debian package (its files, lintian,
# and the window started from the unpacked package against two simulated blocks) and both
# Windows zips (their files, and each executable's subsystem, imports, manifest and version
# record read back with the mingw tools).
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(sed -n 's/^project(Kelvra VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvra-packages-XXXXXX")
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# The same lines, in any order.
same_lines() {
    diff <(sort <<<"$1") <(sort <<<"$2") >&2 || fail "$3"
}

echo "-- Debian package"
deb=build/linux/kelvra_${version}_amd64.deb
[ -f "$deb" ] || fail "no $deb"
expected_files="./usr/bin/kelvra
./usr/bin/kelvra-blocksim
./usr/bin/kelvra-cli
./usr/share/applications/kelvra.desktop
./usr/share/doc/kelvra/README.Debian
./usr/share/doc/kelvra/changelog.gz
./usr/share/doc/kelvra/copyright
./usr/share/doc/kelvra/examples/kelvra-offload.service
./usr/share/man/man1/kelvra-blocksim.1.gz
./usr/share/man/man1/kelvra-cli.1.gz
./usr/share/man/man1/kelvra.1.gz"
for size in 16 22 24 32 48 64 128 256; do
    expected_files+=$'\n'"./usr/share/icons/hicolor/${size}x${size}/apps/kelvra.png"
done
same_lines "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}')" "$expected_files" \
    "the package's files differ from the list above"
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "dependencies were not computed"
lintian --fail-on error,warning "$deb" 2>&1 | grep -v 'running with root privileges' || true
lintian --fail-on error,warning "$deb" >/dev/null 2>&1 || fail "lintian reports errors or warnings"
# Built with the flags Debian builds its own packages with, and stripped as its own packages are:
# lintian names what falls short only among its informational tags, so those are asked for.
hardening=$(lintian --display-info --tags \
    hardening-no-bindnow,hardening-no-fortify-functions,hardening-no-pie,hardening-no-relro \
    "$deb" 2>&1 | grep -v 'running with root privileges' || true)
[ -z "$hardening" ] || fail "lintian finds programs built without hardening: $hardening"
unstripped=$(lintian --display-info --tags binary-has-unneeded-section "$deb" 2>&1 |
    grep -v 'running with root privileges' || true)
[ -z "$unstripped" ] || fail "lintian finds sections a package's programs do not need: $unstripped"

# The unpacked window finds two simulated blocks and lists both directories.
root=$work/root
dpkg-deb -x "$deb" "$root"

# Starts the packaged simulator on pair.json with its own private runtime folder $1, its output
# in $work/$2.out; its commands go to the descriptor left in simulator_input.
start_simulator() {
    local runtime=$1 name=$2
    mkdir -m 700 "$runtime"
    mkfifo "$work/$name.in"
    "$root/usr/bin/kelvra-blocksim" --port-dir "$runtime/kelvra/ports" \
        tools/blocksim/scenarios/pair.json <"$work/$name.in" >"$work/$name.out" 2>&1 &
    pids+=($!)
    exec {simulator_input}>"$work/$name.in"
    for _ in $(seq 50); do
        grep -q READY "$work/$name.out" && break
        sleep 0.2
    done
    grep -q READY "$work/$name.out" || fail "the simulator $name did not come up"
}

export XDG_RUNTIME_DIR=$work/runtime
start_simulator "$XDG_RUNTIME_DIR" simulator
window_simulator=$simulator_input
QT_QPA_PLATFORM=offscreen "$root/usr/bin/kelvra" >"$work/kelvra.log" 2>&1 &
pids+=($!)
shown=
for _ in $(seq 60); do
    echo status >&"$window_simulator"
    sleep 0.5
    # The last status: a line for each of the scenario's two blocks, then "ok".
    if [ "$(tail -n 3 "$work/simulator.out" | grep -cE '^COM[34] .* listed [1-9]')" -eq 2 ]; then
        shown=yes
        break
    fi
done
[ -n "$shown" ] || { cat "$work/simulator.out" "$work/kelvra.log" >&2; fail "the unpacked kelvra did not list both blocks"; }
echo "the unpacked kelvra listed both simulated blocks"

# The command line against a pair of its own: the window still holds the first pair's ports.
cli_runtime=$work/cli-runtime
start_simulator "$cli_runtime" cli-simulator
listed=$(XDG_RUNTIME_DIR=$cli_runtime "$root/usr/bin/kelvra-cli" list) ||
    fail "the unpacked kelvra-cli list failed"
[ "$(grep -c . <<<"$listed")" -eq 7 ] || fail "the unpacked kelvra-cli did not list pair.json's 7 records"
echo "the unpacked kelvra-cli listed both simulated blocks"

# Subsystem (GUI or console) and its version, system DLLs only, stripped.
check_executable() {
    local arch=$1 exe=$2 objdump=$3 subsystem=$4 kind=$5
    local headers
    headers=$("$objdump" -p "$exe")
    grep -qE "Subsystem\s+$subsystem" <<<"$headers" || fail "$arch: $exe is not a $kind program"
    grep -qE 'MajorSubsystemVersion\s+6$' <<<"$headers" &&
        grep -qE 'MinorSubsystemVersion\s+1$' <<<"$headers" ||
        fail "$arch: the subsystem version of $exe is not 6.1 (Windows 7)"
    local dll
    for dll in $(awk '/DLL Name:/ {print $3}' <<<"$headers"); do
        case ${dll,,} in
        advapi32.dll | bcrypt.dll | comctl32.dll | gdi32.dll | kernel32.dll | msvcrt.dll | \
            ole32.dll | shell32.dll | user32.dll | winmm.dll) ;;
        *) fail "$arch: $exe imports $dll, which is no system library" ;;
        esac
    done
    ! "$objdump" -h "$exe" | grep -q '\.debug' || fail "$arch: $exe is not stripped"
}

check_zip() {
    local arch=$1 build=$2 objdump=$3
    echo "-- Windows zip, $arch"
    local zip=$build/Kelvra-${version}-${arch}.zip folder=Kelvra-${version}-${arch}
    [ -f "$zip" ] || fail "no $zip"
    same_lines "$(unzip -Z1 "$zip" | grep -v '/$')" "$folder/Kelvra.exe
$folder/kelvra-cli.exe
$folder/README.txt" "the files of $zip differ"
    unzip -q -o "$zip" -d "$work/$arch"
    local exe=$work/$arch/$folder/Kelvra.exe cli=$work/$arch/$folder/kelvra-cli.exe
    check_executable "$arch" "$exe" "$objdump" 00000002 "Windows GUI"
    check_executable "$arch" "$cli" "$objdump" 00000003 "console"
    local text
    text=$(strings -a "$exe")
    grep -q 'requestedExecutionLevel level="asInvoker"' <<<"$text" || fail "$arch: no asInvoker"
    grep -q '<dpiAware[^>]*>true</dpiAware>' <<<"$text" || fail "$arch: not DPI aware"
    grep -q 'requestedExecutionLevel level="asInvoker"' <<<"$(strings -a "$cli")" ||
        fail "$arch: kelvra-cli.exe has no asInvoker manifest"
    local program
    for program in "$exe" "$cli"; do
        grep -q '<longPathAware[^>]*>true</longPathAware>' <<<"$(strings -a "$program")" ||
            fail "$arch: $(basename "$program") does not take paths beyond MAX_PATH"
    done
    text=$(strings -a -el "$exe")
    local expected
    for expected in CompanyName Orvex FileVersion ProductVersion LegalCopyright \
        "Copyright (C) 2018-2026 Orvex" Kelvra.exe "$version"; do
        grep -qxF "$expected" <<<"$text" || fail "$arch: the version record lacks '$expected'"
    done
    echo "$arch: GUI and console programs, Windows 6.1, system DLLs only, stripped, manifest (long paths too) and version record"
}
check_zip win64 build/mingw-x86_64 x86_64-w64-mingw32-objdump
check_zip win32 build/mingw-i686 i686-w64-mingw32-objdump
echo "packages checked"
