#!/usr/bin/env bash
# Runs the Win32 reader of `kelvra-cli ports` under wine64 on a registry tree made here with
# `reg add` below HKEY_CURRENT_USER, laid out as Windows keeps its devices under
# HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum: an FTDI adapter on COM5 (its bus driver's
# port with a latency timer, and the USB device above it), a CP210x adapter on COM6, nothing
# on COM7.
#
#   run_adapter_info_test.sh <x86_64 Windows build dir>
#
# Exit status: 0 when each port reads as expected, 77 (skipped) when the probe or wine64 is
# missing, 1 otherwise.
set -uo pipefail

probe_exe=$1/tests/wine/kelvra-adapter-probe.exe

source "$(dirname "$0")/wine_session.sh"

[ -f "$probe_exe" ] || skip "no $probe_exe (build the mingw-x86_64 preset first)"
wine=$(find_wine_tool wine64) || skip "wine64 is not installed"
wineserver=$(find_wine_tool wineserver) || skip "wineserver is not installed"

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvra-wine-adapter-XXXXXX")
export WINEPREFIX=$work/prefix
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
cleanup() {
    [ -d "$WINEPREFIX" ] && "$wineserver" -k 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

failures=0
root='HKEY_CURRENT_USER\Software\KelvraTest\CurrentControlSet'

value() {  # key, name, type, data
    timeout 120 "$wine" reg add "$root\\Enum\\$1" /v "$2" /t "$3" /d "$4" /f >/dev/null 2>&1 ||
        { echo "FAILED: reg add $1 $2"; exit 1; }
}

ftdi='FTDIBUS\VID_0403+PID_6001+A50285BIA\0000'
value "$ftdi" Service REG_SZ FTSER2K
value "$ftdi" DeviceDesc REG_SZ '@oem7.inf,%vcp.portdesc%;USB Serial Port'
value "$ftdi" FriendlyName REG_SZ 'USB Serial Port (COM5)'
value "$ftdi\\Device Parameters" PortName REG_SZ COM5
value "$ftdi\\Device Parameters" LatencyTimer REG_DWORD 16
value 'USB\VID_0403&PID_6001\A50285BIA' Service REG_SZ FTDIBUS
value 'USB\VID_0403&PID_6001\A50285BIA\Device Parameters' SymbolicName REG_SZ 'not a port'
cp210x='USB\VID_10C4&PID_EA60\0001'
value "$cp210x" Service REG_SZ silabser
value "$cp210x" DeviceDesc REG_SZ 'Silicon Labs CP210x USB to UART Bridge'
value "$cp210x\\Device Parameters" PortName REG_SZ COM6

expect() {  # device, expected lines
    local device=$1
    shift
    local got
    got=$(timeout 60 "$wine" "$probe_exe" "$device" "$root" 2>/dev/null | tr -d '\r')
    local wanted
    wanted=$(printf '%s\n' "$@")
    if [ "$got" != "$wanted" ]; then
        echo "FAILED: $device reads as:"
        echo "$got"
        echo "--- instead of:"
        echo "$wanted"
        failures=$((failures + 1))
    else
        echo "ok: $device"
    fi
}

expect '\\.\COM5 ' 'USB adapter: FTSER2K, 0403:6001 USB Serial Port, latency timer 16 ms' \
    'hint: the adapter holds what it receives for up to 16 ms, which slows every exchange; set its latency timer to 1 ms: Device Manager > Ports (COM & LPT) > USB Serial Port (COM5) > Properties > Port Settings > Advanced > Latency Timer (msec): 1'
expect '\\.\COM6 ' 'USB adapter: silabser, 10c4:ea60 Silicon Labs CP210x USB to UART Bridge'
expect '\\.\COM7 ' 'none'
[ $failures -eq 0 ]
