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

# Skips a 32-bit run where this machine's kernel runs no 32-bit x86 code (built or booted without
# IA-32 emulation): Wine's WoW64 mode runs a 32-bit program's code as such, and every 32-bit
# program then dies as it starts ("Application could not be started"). A few-byte i386 program,
# assembled and linked here, tells. Without an assembler the run goes ahead and shows what Wine
# says.
skip_without_i386_code() {
    local scratch why
    scratch=$(mktemp -d "${TMPDIR:-/tmp}/kelvra-i386-XXXXXX")
    printf '.globl _start\n_start:\n\tmovl $1, %%eax\n\txorl %%ebx, %%ebx\n\tint $0x80\n' \
        >"$scratch/exit.s"
    if as --32 -o "$scratch/exit.o" "$scratch/exit.s" 2>/dev/null &&
        ld -m elf_i386 -o "$scratch/exit" "$scratch/exit.o" 2>/dev/null; then
        if ! why=$( { "$scratch/exit"; } 2>&1); then
            rm -rf "$scratch"
            skip "this machine's kernel runs no 32-bit x86 code, which Wine's WoW64 mode needs" \
                "for 32-bit programs (an i386 program gives: ${why#*"$scratch/exit: "})"
        fi
    else
        echo "cannot assemble an i386 program (as --32, ld -m elf_i386): running the 32-bit tests regardless"
    fi
    rm -rf "$scratch"
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
