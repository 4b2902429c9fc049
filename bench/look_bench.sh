#!/usr/bin/env bash
# What `kelvra-cli look --png` costs on long records: writes a record of each length given (in
# hours; default 1 and 2) at 21333 samples per second in Kelvra's layout into a temporary
# folder, with a manifest line for it, then times the command and reads its peak memory.
# A picture costs what the 1-hour one does when the memory stays put as the record doubles.
#
#   bench/look_bench.sh [KELVRA_CLI [HOURS...]]
#
# Exits with 2 when the 1-hour picture takes more than 5 s, or when a longer record takes
# more than 2 MB of memory more than the 1-hour one.
set -euo pipefail
cd "$(dirname "$0")/.."

cli=${1:-build/linux/cli/kelvra-cli}
shift $(($# > 0 ? 1 : 0))
hours=("$@")
[ ${#hours[@]} -gt 0 ] || hours=(1 2)
rate=21333

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvra-look-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

# A 76-byte RIFF header as Kelvra writes it, both channels holding a block's copy, and a
# manifest line for the file.
header() {
    python3 - "$1" "$2" <<'PY'
import struct, sys
frames, rate = int(sys.argv[1]), int(sys.argv[2])
data = frames * 4
left = bytes([3, 1, 18, 60]) + struct.pack('<H', 42) + bytes(2)
right = bytes([3, 2, 18, 60]) + struct.pack('<H', 43) + bytes(2)
fmt = struct.pack('<HHIIHHH', 1, 2, rate, rate * 4, 4, 16, 30) + left + right + bytes(14)
sys.stdout.buffer.write(b'RIFF' + struct.pack('<I', data + 68) + b'WAVE' + b'fmt ' +
                        struct.pack('<I', len(fmt)) + fmt + b'data' + struct.pack('<I', data))
PY
}

printf '%-6s %12s %10s %8s %8s %8s %10s\n' hours bytes wall_s user_s sys_s MB/s peak_RSS_MB
status=0
base_rss=
for h in "${hours[@]}"; do
    seconds=$((h * 3600))
    frames=$((seconds * rate))
    file="$work/$h h.wav"
    # Two tones, a sweep and noise: the spectrogram has something to draw in every column.
    { header "$frames" "$rate"; sox -q -n -t raw -r "$rate" -b 16 -c 2 -e signed - \
        synth "$seconds" sine 440 sine 300-6000 synth pinknoise mix 2>/dev/null; } >"$file"
    size=$(stat -c %s "$file")
    copy='"serialYear":18,"firmware":60,"entryAddress":4096,"record":1'
    printf '%s\n' "{\"file\":\"$h h.wav\",\"size\":$size,\"sha256\":\"$(printf '0%.0s' $(seq 64))\",\"record\":{\"time\":\"2018-03-05T14:07:09\",\"record\":1,\"sampleRate\":$rate,\"duration\":$seconds,\"entryInfo\":\"00000000\"},\"blockA\":{\"serialNumber\":42,$copy},\"blockB\":{\"serialNumber\":43,$copy},\"readMode\":\"batches\",\"downloadedAt\":\"2018-03-05T20:00:00\",\"recoveries\":0}" \
        >>"$work/kelvra-manifest.jsonl"
    # The file comes from the page cache, as right after a download: what is timed is the
    # command, not the disk.
    cat "$file" >/dev/null
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$cli" look "$file" --png "$work/$h.png" >"$work/out"
    read -r wall user sys rss_kb <"$work/time"
    grep -q 'record 1 of 2018-03-05 14:07:09' "$work/out" || { cat "$work/out"; echo "the manifest's record was not told" >&2; exit 1; }
    rss=$(awk -v k="$rss_kb" 'BEGIN { printf "%.1f", k / 1024 }')
    rate_mb=$(awk -v b="$size" -v w="$wall" 'BEGIN { printf "%.0f", b / 1e6 / w }')
    printf '%-6s %12s %10s %8s %8s %8s %10s\n' "$h" "$size" "$wall" "$user" "$sys" "$rate_mb" "$rss"
    if [ "$h" = 1 ] && awk -v w="$wall" 'BEGIN { exit !(w > 5) }'; then
        echo "the 1-hour picture took more than 5 s" >&2
        status=2
    fi
    if [ -z "$base_rss" ]; then
        base_rss=$rss_kb
    elif [ $((rss_kb - base_rss)) -gt 2048 ]; then
        echo "the ${h}-hour picture took $((rss_kb - base_rss)) KB more memory than the first" >&2
        status=2
    fi
    rm -f "$file"
done
exit $status
