#!/usr/bin/env bash
# Runs the 64-bit Windows build of Kelvra under wine64, on an Xvfb display, in a fresh Wine
# prefix where one simulated block is published as COM5, and reads the block panels back from
# the running window with the probe, which then closes it. Then kelvra-cli.exe lists the
# records of two simulated blocks on COM5 and COM6. When the build holds its zip (the package
# target), the executables unpacked from the zip are the ones run, as a user gets them.
#
#   run_wine_test.sh <x86_64 Windows build dir> <kelvra-blocksim> [<Linux kelvra-cli>]
#
# kelvra-cli.exe then downloads every record; the files must be those the Linux kelvra-cli
# writes from the same blocks (when given), and its manifest's hashes this machine's own.
#
# Exit status: 0 when the window showed the block, 77 (skipped) when the Windows build, wine64
# or Xvfb is missing, 1 otherwise. Every process it starts is ended on the way out.
set -uo pipefail

windows_build=$1
blocksim=$2
linux_cli=${3:-}
kelvra_exe=$windows_build/app/Kelvra.exe
cli_exe=$windows_build/cli/kelvra-cli.exe
probe_exe=$windows_build/tests/wine/kelvra-wine-probe.exe

skip() {
    echo "skipped: $*"
    exit 77
}

find_wine_tool() {
    command -v "$1" 2>/dev/null || { [ -x "/usr/lib/wine/$1" ] && echo "/usr/lib/wine/$1"; }
}

[ -f "$kelvra_exe" ] || skip "no $kelvra_exe (build the mingw-x86_64 preset first)"
[ -f "$probe_exe" ] || skip "no $probe_exe"
wine=$(find_wine_tool wine64) || skip "wine64 is not installed"
wineserver=$(find_wine_tool wineserver) || skip "wineserver is not installed"
command -v Xvfb >/dev/null || skip "Xvfb is not installed"

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvra-wine-XXXXXX")
zip=$(ls "$windows_build"/Kelvra-*-win64.zip 2>/dev/null | head -n 1)
if [ -n "$zip" ]; then
    unzip -q "$zip" -d "$work/zip" || { rm -rf "$work"; echo "FAILED: cannot unpack $zip"; exit 1; }
    kelvra_exe=$(ls "$work"/zip/*/Kelvra.exe)
    cli_exe=$(ls "$work"/zip/*/kelvra-cli.exe)
fi
[ -f "$cli_exe" ] || { rm -rf "$work"; echo "FAILED: no kelvra-cli.exe beside $kelvra_exe"; exit 1; }
echo "running $kelvra_exe and $cli_exe"

export WINEPREFIX=$work/prefix
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
xvfb_pid=
simulator_pid=
kelvra_pid=

cleanup() {
    # Killing the prefix's wineserver ends every Wine process of the prefix with it.
    [ -d "$WINEPREFIX" ] && "$wineserver" -k 2>/dev/null
    for pid in $kelvra_pid $simulator_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
    echo "FAILED: $*"
    for log in "$work"/*.log; do
        [ -s "$log" ] && { echo "--- $(basename "$log")"; cat "$log"; }
    done
    exit 1
}

# Waits up to $1 seconds for the command that follows to succeed.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_until 20 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=:$(head -n 1 "$work/display")

# The server stays up for the whole run: a new one would let Wine's mount manager map the
# machine's own serial ports to COM names again.
mkdir "$WINEPREFIX"
"$wineserver" -p
timeout 90 "$wine" wineboot -i >"$work/wineboot.log" 2>&1 || fail "wineboot failed"
rm -f "$WINEPREFIX"/dosdevices/com[0-9]*

cat >"$work/scenario.json" <<'EOF'
{"blocks": [{"com": 5, "serialYear": 18, "serialNumber": 42, "firmware": 60, "role": "A",
  "entries": [{"address": 5, "records": 1, "time": "2018-03-05 14:07:09",
               "sampleRate": 8000, "duration": 1}]}]}
EOF
mkfifo "$work/simulator.in"
"$blocksim" --port-dir "$work/ports" --wine-prefix "$WINEPREFIX" "$work/scenario.json" \
    <"$work/simulator.in" >"$work/simulator.log" 2>&1 &
simulator_pid=$!
exec 4>"$work/simulator.in"  # held open: the simulator runs until its input closes or SIGTERM
wait_until 10 grep -q '^READY' "$work/simulator.log" || fail "kelvra-blocksim did not start"
[ -L "$WINEPREFIX/dosdevices/com5" ] || fail "no com5 link in the prefix"

"$wine" "$kelvra_exe" >"$work/kelvra.log" 2>&1 &
kelvra_pid=$!

timeout 90 "$wine" "$probe_exe" 60 >"$work/probe.out" 2>"$work/probe.log"
probe_status=$?
echo "--- the window showed:"
cat "$work/probe.out"
[ $probe_status -eq 0 ] || fail "the probe ended with status $probe_status"

shown() {
    grep -qxF -- "$1" "$work/probe.out"
}
shown "1003 S/N:   2018-042" || fail "label 1003 does not show block A"
shown "1004 Прошивка:  6.0" || fail "label 1004 does not show block A's firmware"
shown "1005 " || fail "label 1005 is not empty without a block B"

wait_until 20 bash -c "! kill -0 $kelvra_pid 2>/dev/null" || fail "Kelvra.exe did not end after WM_CLOSE"
wait "$kelvra_pid"
kelvra_status=$?
kelvra_pid=
[ $kelvra_status -eq 0 ] || fail "Kelvra.exe ended with status $kelvra_status"
echo "Kelvra.exe found the simulated block on COM5 and closed on request"

# The command line, in the same prefix, against a pair: block B on COM6 holds the entry that
# block A holds and one more. Wine's own services hold the first simulator's input open too, so
# it is ended by signal, which removes its links.
kill "$simulator_pid"
wait "$simulator_pid"
simulator_pid=
exec 4>&-
cat >"$work/pair.json" <<'EOF'
{"blocks": [
  {"com": 5, "serialYear": 18, "serialNumber": 42, "firmware": 60, "role": "A",
   "entries": [{"address": 5, "records": 2, "time": "2018-03-05 14:07:09",
                "sampleRate": 8000, "duration": 1}]},
  {"com": 6, "serialYear": 18, "serialNumber": 43, "firmware": 60, "role": "B",
   "entries": [{"address": 9, "records": 2, "time": "2018-03-05 14:07:09",
                "sampleRate": 8000, "duration": 1},
               {"address": 10, "records": 1, "time": "2018-03-05 15:00:00",
                "sampleRate": 8000, "duration": 1}]}]}
EOF
mkfifo "$work/pair.in"
# Published where the Linux kelvra-cli looks too: a runtime folder of this user's own.
mkdir -m 700 "$work/runtime"
"$blocksim" --port-dir "$work/runtime/kelvra/ports" --wine-prefix "$WINEPREFIX" "$work/pair.json" \
    <"$work/pair.in" >"$work/pair.log" 2>&1 &
simulator_pid=$!
exec 4>"$work/pair.in"
wait_until 10 grep -q '^READY' "$work/pair.log" || fail "kelvra-blocksim did not serve the pair"

timeout 120 "$wine" "$cli_exe" list --json >"$work/list.out" 2>"$work/list.log"
list_status=$?
echo "--- kelvra-cli.exe listed:"
cat "$work/list.out"
[ $list_status -eq 0 ] || fail "kelvra-cli.exe list ended with status $list_status"
[ "$(grep -c . "$work/list.out")" -eq 3 ] || fail "kelvra-cli.exe did not list three records"
grep -q '^{"index":1,"time":"2018-03-05T14:07:09","record":1,"blocks":"both"' "$work/list.out" ||
    fail "line 1 is not the record both blocks hold"
grep -q '^{"index":3,"time":"2018-03-05T15:00:00","record":1,"blocks":"B"' "$work/list.out" ||
    fail "line 3 is not block B's own record"
echo "kelvra-cli.exe listed the records of both simulated blocks"

# A download of every record into a folder by its Windows name.
mkdir "$work/out"
out_windows="Z:$(tr / '\\' <<<"$work/out")"
timeout 120 "$wine" "$cli_exe" download --out "$out_windows" --all >"$work/download.out" \
    2>"$work/download.log" || fail "kelvra-cli.exe download ended with status $?"
cat "$work/download.out"
[ "$(find "$work/out" -name '*.wav' | wc -l)" -eq 3 ] || fail "kelvra-cli.exe did not write three files"
[ -z "$(find "$work/out" -name '*.part')" ] || fail "a partial file is left after a complete job"
sed -E 's/.*"file":"([^"]*)".*"sha256":"([0-9a-f]{64})".*/\2  \1/' "$work/out/kelvra-manifest.jsonl" \
    >"$work/sums"
[ "$(grep -c . "$work/sums")" -eq 3 ] || fail "the manifest does not list three files"
(cd "$work/out" && sha256sum --check --quiet "$work/sums") || fail "the manifest's hashes are not the files'"
if [ -n "$linux_cli" ]; then
    mkdir "$work/linux-out"
    XDG_RUNTIME_DIR=$work/runtime "$linux_cli" download --out "$work/linux-out" --all \
        >"$work/linux-download.log" 2>&1 || fail "the Linux kelvra-cli did not download"
    for file in "$work"/linux-out/*.wav; do
        cmp "$file" "$work/out/$(basename "$file")" || fail "$(basename "$file") differs"
    done
fi
timeout 120 "$wine" "$cli_exe" download --out "$out_windows" --all --skip-existing \
    >"$work/again.out" 2>"$work/again.log" || fail "the second download ended with status $?"
[ "$(grep -c ': skipped ' "$work/again.out")" -eq 3 ] || fail "--skip-existing read a record again"
timeout 60 "$wine" "$cli_exe" verify "$out_windows" >"$work/verify.out" 2>"$work/verify.log" ||
    fail "kelvra-cli.exe verify ended with status $?"
echo "kelvra-cli.exe downloaded every record, as the Linux build does, and accounted for each file"
