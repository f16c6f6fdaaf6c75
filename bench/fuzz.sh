#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz (clang, AddressSanitizer, UBSan)
# in a build directory of their own and runs each for SECONDS, niced, then
# prints per target: executions, exec/s, coverage (cov, ft), corpus size and
# findings (crash/leak/timeout/oom files).
#
#   bash bench/fuzz.sh SECONDS [TARGET...]     # targets: settings configfile emulator scenario processdata
#
# Environment: FUZZ_BUILD_DIR (default build-fuzz), FUZZ_JOBS (targets run at
# once, default 1), FUZZ_MERGE=1 (merge what was found back into the seed
# corpora in tests/fuzz/corpus, minimised with -merge=1).
# The seed corpora are copied to FUZZ_BUILD_DIR/fuzz-work/<target>/corpus
# first, so a run leaves the repository as it was; findings land in
# FUZZ_BUILD_DIR/fuzz-work/<target>/findings, the log in .../log.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=${1:-}
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "usage: bash bench/fuzz.sh SECONDS [TARGET...]" >&2
    exit 2
fi
shift
all_targets=(settings configfile emulator scenario processdata)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")

bash scripts/install-deps.sh --fuzz

build=${FUZZ_BUILD_DIR:-build-fuzz}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DGRV480_FUZZ=ON -DGRV480_BUILD_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
nice -n 19 cmake --build "$build" -j"$(nproc)" --target $(printf 'fuzz_%s ' "${targets[@]}") \
    2>&1 | grep -E 'error|warning: unused|Linking' || true
for t in "${targets[@]}"; do
    [ -x "$build/bin/fuzz_$t" ] || { echo "fuzz_$t was not built" >&2; exit 1; }
done

work="$root/$build/fuzz-work"
export QT_QPA_PLATFORM=offscreen
export XDG_CONFIG_HOME="$work/home/config" HOME="$work/home"
mkdir -p "$XDG_CONFIG_HOME"
# UBSan stops at its first finding, so that libFuzzer keeps the input.
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS="suppressions=$root/tests/fuzz/lsan.supp:print_suppressions=0"

run_one() {
    local t=$1 dir="$work/$1"
    rm -rf "$dir"
    mkdir -p "$dir/corpus" "$dir/findings"
    cp -r "tests/fuzz/corpus/$t/." "$dir/corpus/"
    local start=$SECONDS
    # -rss_limit_mb: a value that makes the code allocate gigabytes is a finding.
    (cd "$dir" && nice -n 19 "$root/$build/bin/fuzz_$t" corpus \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$dir/findings/" >"$dir/log" 2>&1) || true
    echo $((SECONDS - start)) >"$dir/duration"
    if [ "${FUZZ_MERGE:-0}" = 1 ]; then
        (cd "$dir" && "$root/$build/bin/fuzz_$t" -merge=1 "$root/tests/fuzz/corpus/$t" corpus \
            >"$dir/merge.log" 2>&1) || true
    fi
}

jobs_max=${FUZZ_JOBS:-1}
for t in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs_max" ]; do
        wait -n
    done
    echo "fuzzing $t for $seconds s ..."
    run_one "$t" &
done
wait

printf '\n%-12s %12s %8s %7s %7s %8s %9s %s\n' target executions exec/s cov ft corpus seconds findings
for t in "${targets[@]}"; do
    dir="$work/$t"
    log="$dir/log"
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    last=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1 || true)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    corpus=$(find "$dir/corpus" -type f | wc -l)
    found=$(find "$dir/findings" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
        -o -name 'oom-*' \) | wc -l)
    printf '%-12s %12s %8s %7s %7s %8s %9s %s\n' "$t" "${execs:-?}" "${rate:-?}" "${cov:-?}" \
        "${ft:-?}" "$corpus" "$(cat "$dir/duration")" "$found"
    if [ "$found" != 0 ]; then
        find "$dir/findings" -type f | sed 's/^/    /'
        grep -m3 -E 'ERROR|SUMMARY|runtime error' "$log" | sed 's/^/    /' || true
    fi
done
