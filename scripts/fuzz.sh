#!/usr/bin/env bash
# Builds the fuzz targets (preset fuzz: clang, libFuzzer, address and undefined-behaviour
# sanitizers) and runs each one for a fixed time with its dictionary, starting from a
# copy of its seed corpus in fuzz/corpus, so the repository's corpus stays as it is. Fails on
# any finding; the input that caused it is kept in build/fuzz/findings.
#
#   scripts/fuzz.sh [seconds-per-target [target...]]
#
# Targets: station record_table session_table scenario manifest wav (all by default), 60 s each by
# default.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift $(($# > 0 ? 1 : 0))
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(station record_table session_table scenario manifest wav)
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
findings=$PWD/build/fuzz/findings
mkdir -p "$findings"

# Inputs large enough for every seed and a few whole records, small enough to stay fast.
max_len() {
    case "$1" in
        station) echo 8192 ;;
        *) echo 4096 ;;
    esac
}

# The link's bytes for the targets that feed the link, the manifest's JSON and the WAV file's
# tags for their own.
dictionary() {
    case "$1" in
        manifest) echo fuzz/manifest.dict ;;
        wav) echo fuzz/wav.dict ;;
        *) echo fuzz/link.dict ;;
    esac
}

failed=()
for target in "${targets[@]}"; do
    corpus=$work/$target
    mkdir -p "$corpus"
    cp fuzz/corpus/"$target"/* "$corpus"/
    echo "-- $target: $seconds s"
    # One process at a time, at the lowest priority: the machine is shared.
    if UBSAN_OPTIONS=print_stacktrace=1 nice -n 19 build/fuzz/fuzz/kelvra-fuzz-"$target" \
        "$corpus" -dict="$(dictionary "$target")" -max_total_time="$seconds" -max_len="$(max_len "$target")" \
        -timeout=60 -rss_limit_mb=4096 -print_final_stats=1 \
        -artifact_prefix="$findings/$target-" >"$work/$target.log" 2>&1; then
        grep -E '^#[0-9]+[[:space:]]+DONE|^stat::number_of_executed_units' "$work/$target.log" || true
    else
        tail -n 80 "$work/$target.log"
        failed+=("$target")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found faults in: ${failed[*]} (inputs in $findings)" >&2
    exit 1
fi
