#!/usr/bin/env bash
# Runs the unit tests of one Windows build under wine64 (the 32-bit build through WoW64 with the
# i386 DLLs of scripts/prepare-wine-i386.sh), in a fresh Wine prefix on an Xvfb display: the
# unit tests shared with Linux (kelvra_unit_tests.exe), then the tests of the Win32 backends
# (kelvra_win32_tests.exe), for which a simulated block serves COM7 (KELVRA_TEST_PORT).
#
#   run_wine_unit_tests.sh win64|win32 <Windows build dir> <kelvra-blocksim> <i386 DLL folder>
#       [<GoogleTest name or pattern not to run>...]
#
# The i386 DLL folder is only used for win32. The tests not to run are listed as such first.
# Exit status: 0 when every test that ran passed, 77 (skipped) when the build, wine64, Xvfb or
# the i386 DLLs are missing, 1 otherwise.
set -uo pipefail

bitness=$1
windows_build=$2
blocksim=$3
i386_dlls=$4
shift 4
unit_exe=$windows_build/tests/wine/kelvra_unit_tests.exe
win32_exe=$windows_build/tests/wine/kelvra_win32_tests.exe

source "$(dirname "$0")/wine_session.sh"

[ -f "$unit_exe" ] || skip "no $unit_exe (build the Windows preset first)"
[ -f "$win32_exe" ] || skip "no $win32_exe"
wine=$(find_wine_tool wine64) || skip "wine64 is not installed"
wineserver=$(find_wine_tool wineserver) || skip "wineserver is not installed"
command -v Xvfb >/dev/null || skip "Xvfb is not installed"
if [ "$bitness" = win32 ]; then
    [ -d "$i386_dlls/i386-windows" ] ||
        skip "no i386 Windows DLLs in $i386_dlls (scripts/prepare-wine-i386.sh unpacks them)"
    skip_without_i386_code
    export WINEDLLPATH=$i386_dlls
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvra-wine-unit-$bitness-XXXXXX")
export WINEPREFIX=$work/prefix
export WINEARCH=win64
# A crash ends the run with its status instead of waiting in Wine's debugger.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export WINEDEBUG=-all
xvfb_pid=
simulator_pid=

cleanup() {
    [ -d "$WINEPREFIX" ] && "$wineserver" -k 2>/dev/null
    for pid in $simulator_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

start_wine_session

cat >"$work/scenario.json" <<'EOF'
{"blocks": [{"com": 7, "serialYear": 18, "serialNumber": 42, "firmware": 60, "role": "A",
  "entries": []}]}
EOF
mkfifo "$work/simulator.in"
"$blocksim" --port-dir "$work/ports" --wine-prefix "$WINEPREFIX" "$work/scenario.json" \
    <"$work/simulator.in" >"$work/simulator.log" 2>&1 &
simulator_pid=$!
exec 4>"$work/simulator.in"
wait_until 10 grep -q '^READY' "$work/simulator.log" || fail "kelvra-blocksim did not start"
export KELVRA_TEST_PORT='\\.\COM7 '

filter=
for excluded in "$@"; do
    echo "not run under Wine: $excluded (tests/wine/exclusions.cmake says why)"
    filter+=":$excluded"
done
filter="-${filter#:}"

# The tests find the sources and the build's files by the paths they were built with, which
# Wine resolves on drive Z: from a current folder there.
cd "$windows_build/tests/wine" || fail "no $windows_build/tests/wine"
status=0
for exe in kelvra_unit_tests.exe kelvra_win32_tests.exe; do
    echo "--- $bitness $exe"
    timeout 900 "$wine" "$exe" --gtest_brief=1 --gtest_filter="$filter" || status=1
done
exit $status
