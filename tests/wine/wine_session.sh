# Sourced by the wine test scripts: finding Wine, failing with the logs, and a fresh Wine prefix
# on a display of its own. A script sets `work` (its scratch folder, removed by its own
# clean-up) and WINEPREFIX before it calls start_wine_session; xvfb_pid is then the display's.

skip() {
    echo "skipped: $*"
    exit 77
}

find_wine_tool() {
    command -v "$1" 2>/dev/null || { [ -x "/usr/lib/wine/$1" ] && echo "/usr/lib/wine/$1"; }
}

# Ends the test, showing every log the run wrote.
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

# An Xvfb display, then the prefix with its server. The server stays up for the whole run: a
# new one would let Wine's mount manager map the machine's own serial ports to COM names again.
# A pseudo-terminal it opens for a COM port may become its terminal, whose hang-up (a block
# unplugged) makes it dump its objects: kept apart.
start_wine_session() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    wait_until 20 test -s "$work/display" || fail "Xvfb did not start"
    export DISPLAY=:$(head -n 1 "$work/display")
    mkdir "$WINEPREFIX"
    "$wineserver" -p >"$work/wineserver.dump" 2>&1
    timeout 90 "$wine" wineboot -i >"$work/wineboot.log" 2>&1 || fail "wineboot failed"
    rm -f "$WINEPREFIX"/dosdevices/com[0-9]*
}
