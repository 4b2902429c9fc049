#!/usr/bin/env bash
# Runs one Windows build of Kelvra under wine64, on an Xvfb display, in a fresh Wine prefix:
# the 64-bit build natively, the 32-bit one through Wine's WoW64 mode with the i386 DLLs that
# scripts/prepare-wine-i386.sh unpacked. When the build holds its zip (the package target),
# the executables unpacked from the zip are the ones run, as a user gets them.
#
#   run_wine_test.sh [--without-window-download <reason>] win64 <x86_64 Windows build dir>
#       <kelvra-blocksim> <Linux kelvra-cli>
#   run_wine_test.sh [--without-window-download <reason>] win32 <i686 Windows build dir>
#       <kelvra-blocksim> <Linux kelvra-cli> <i386 DLL folder>
#
# 1. One simulated block on COM5: the probe (of the same bitness) reads the block panels back
#    from the running window, which it then closes.
# 2. Two simulated blocks on COM5 and COM6: kelvra-cli.exe lists and downloads every record;
#    the files must be those the Linux kelvra-cli writes from the same blocks, its manifest's
#    hashes this machine's own, and --skip-existing reads nothing again. Then once more with
#    block A unplugged for three seconds in the middle: recovery runs, the files are the same.
# 3. The window on the same two blocks: the probe selects every line, presses "Считать
#    выбранное" and answers the folder picker; the files must again be the Linux ones, and the
#    focus must be on the record list. Then once more with block A unplugged in the middle.
#    Where Wine cannot run this step, the test is told why (--without-window-download) and
#    says so.
#
# Exit status: 0 when all of that held, 77 (skipped) when the Windows build, wine64, Xvfb or the
# i386 DLLs are missing, 1 otherwise. Every process it starts is ended on the way out.
set -uo pipefail

without_window_download=
if [ "$1" = --without-window-download ]; then
    without_window_download=$2
    shift 2
fi
bitness=$1
windows_build=$2
blocksim=$3
linux_cli=$4
i386_dlls=${5:-}
kelvra_exe=$windows_build/app/Kelvra.exe
cli_exe=$windows_build/cli/kelvra-cli.exe
probe_exe=$windows_build/tests/wine/kelvra-wine-probe.exe

source "$(dirname "$0")/wine_session.sh"

[ -f "$kelvra_exe" ] || skip "no $kelvra_exe (build the Windows preset first)"
[ -f "$probe_exe" ] || skip "no $probe_exe"
wine=$(find_wine_tool wine64) || skip "wine64 is not installed"
wineserver=$(find_wine_tool wineserver) || skip "wineserver is not installed"
command -v Xvfb >/dev/null || skip "Xvfb is not installed"
if [ "$bitness" = win32 ]; then
    [ -d "$i386_dlls/i386-windows" ] ||
        skip "no i386 Windows DLLs in $i386_dlls (scripts/prepare-wine-i386.sh unpacks them)"
    skip_without_i386_code
    # Set before the prefix is made, so that its 32-bit system folder is filled too.
    export WINEDLLPATH=$i386_dlls
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvra-wine-$bitness-XXXXXX")
zip=$(ls "$windows_build"/Kelvra-*-"$bitness".zip 2>/dev/null | head -n 1)
if [ -n "$zip" ]; then
    unzip -q "$zip" -d "$work/zip" || { rm -rf "$work"; echo "FAILED: cannot unpack $zip"; exit 1; }
    kelvra_exe=$(ls "$work"/zip/*/Kelvra.exe)
    cli_exe=$(ls "$work"/zip/*/kelvra-cli.exe)
fi
[ -f "$cli_exe" ] || { rm -rf "$work"; echo "FAILED: no kelvra-cli.exe beside $kelvra_exe"; exit 1; }
echo "running $kelvra_exe and $cli_exe"

export WINEPREFIX=$work/prefix
export WINEARCH=win64
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

start_wine_session

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

# Runs the probe's step $1 (panels, download, close) with the rest as its arguments; its
# output in $work/probe.out.
probe() {
    timeout 150 "$wine" "$probe_exe" "$@" >"$work/probe.out" 2>"$work/probe.log"
    local status=$?
    echo "--- the probe's $1:"
    cat "$work/probe.out"
    [ $status -eq 0 ] || fail "the probe's $1 ended with status $status"
}

probe panels 60

shown() {
    grep -qxF -- "$1" "$work/probe.out"
}
shown "1003 S/N:   2018-042" || fail "label 1003 does not show block A"
shown "1004 Прошивка:  6.0" || fail "label 1004 does not show block A's firmware"
shown "1005 " || fail "label 1005 is not empty without a block B"

probe close
wait_until 20 bash -c "! kill -0 $kelvra_pid 2>/dev/null" || fail "Kelvra.exe did not end after WM_CLOSE"
wait "$kelvra_pid"
kelvra_status=$?
kelvra_pid=
[ $kelvra_status -eq 0 ] || fail "Kelvra.exe ended with status $kelvra_status"
echo "$bitness Kelvra.exe found the simulated block on COM5 and closed on request"

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
echo "$bitness kelvra-cli.exe listed the records of both simulated blocks"

# The Windows name of a folder of this machine, on Wine's drive Z:.
windows_name() {
    echo "Z:$(tr / '\\' <<<"$1")"
}

# A download of every record into a folder by its Windows name.
mkdir "$work/out"
out_windows=$(windows_name "$work/out")
timeout 120 "$wine" "$cli_exe" download --out "$out_windows" --all >"$work/download.out" \
    2>"$work/download.log" || fail "kelvra-cli.exe download ended with status $?"
cat "$work/download.out"
mkdir "$work/linux-out"
XDG_RUNTIME_DIR=$work/runtime "$linux_cli" download --out "$work/linux-out" --all \
    >"$work/linux-download.log" 2>&1 || fail "the Linux kelvra-cli did not download"
[ "$(find "$work/linux-out" -name '*.wav' | wc -l)" -eq 3 ] || fail "the Linux kelvra-cli did not write three files"

# Every file of the Linux download, byte for byte, and nothing else but the manifest and its
# lock file, the manifest's hashes the files'.
same_as_linux() {
    local folder=$1 file
    for file in "$work"/linux-out/*.wav; do
        cmp "$file" "$folder/$(basename "$file")" || fail "$(basename "$file") in $folder differs"
    done
    [ "$(ls "$folder" | grep -vcxF -e kelvra-manifest.jsonl -e kelvra-manifest.lock)" -eq 3 ] || fail "$folder holds other files: $(ls "$folder")"
    sed -E 's/.*"file":"([^"]*)".*"sha256":"([0-9a-f]{64})".*/\2  \1/' "$folder/kelvra-manifest.jsonl" \
        >"$work/sums"
    [ "$(grep -c . "$work/sums")" -eq 3 ] || fail "the manifest in $folder does not list three files"
    (cd "$folder" && sha256sum --check --quiet "$work/sums") || fail "the manifest's hashes in $folder are not the files'"
}
same_as_linux "$work/out"
timeout 120 "$wine" "$cli_exe" download --out "$out_windows" --all --skip-existing \
    >"$work/again.out" 2>"$work/again.log" || fail "the second download ended with status $?"
[ "$(grep -c ': skipped ' "$work/again.out")" -eq 3 ] || fail "--skip-existing read a record again"
timeout 60 "$wine" "$cli_exe" verify "$out_windows" >"$work/verify.out" 2>"$work/verify.log" ||
    fail "kelvra-cli.exe verify ended with status $?"
echo "$bitness kelvra-cli.exe downloaded every record, as the Linux build does, and accounted for each file"

# The command line again, with block A gone for three seconds after 20 sectors of its records:
# recovery runs on the Windows serial backend, and the files come out the same.
went_through_recovery() {
    grep -q '"recoveries":[1-9]' "$1/kelvra-manifest.jsonl" || fail "no file in $1 went through a recovery"
}
echo "unplug-after COM5 20 3000" >&4
mkdir "$work/cli-recovery"
timeout 120 "$wine" "$cli_exe" download --out "$(windows_name "$work/cli-recovery")" --all \
    >"$work/cli-recovery.out" 2>"$work/cli-recovery.log" ||
    fail "kelvra-cli.exe download with an unplugged block ended with status $?"
same_as_linux "$work/cli-recovery"
went_through_recovery "$work/cli-recovery"
echo "$bitness kelvra-cli.exe recovered from the unplugged block and wrote the same files"

if [ -n "$without_window_download" ]; then
    echo "not run for $bitness: the download through the window ($without_window_download)"
    exit 0
fi

# The window on the same pair: every line downloaded through the folder picker.
"$wine" "$kelvra_exe" >"$work/kelvra.log" 2>&1 &
kelvra_pid=$!
mkdir "$work/window"
probe download 3 "$(windows_name "$work/window")" 90
shown "picker Выберите папку для сохранения" || fail "the folder picker did not ask for a folder"
# The button that was pressed is disabled during the job: the keyboard must stay with the list.
shown "focus 1002" || fail "the focus is not on the record list after the download"
same_as_linux "$work/window"
echo "$bitness Kelvra.exe downloaded every line through its window, as the Linux build does"

# Again, with block A gone for three seconds in the middle.
echo "unplug-after COM5 20 3000" >&4
mkdir "$work/recovery"
probe download 3 "$(windows_name "$work/recovery")" 120
same_as_linux "$work/recovery"
went_through_recovery "$work/recovery"
echo "$bitness Kelvra.exe recovered from the unplugged block and wrote the same files"

probe close
wait_until 20 bash -c "! kill -0 $kelvra_pid 2>/dev/null" || fail "Kelvra.exe did not end after WM_CLOSE"
wait "$kelvra_pid"
kelvra_status=$?
kelvra_pid=
[ $kelvra_status -eq 0 ] || fail "Kelvra.exe ended with status $kelvra_status"
