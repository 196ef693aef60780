#!/usr/bin/env bash
# Runs every libFuzzer target for a bounded time and prints what each reached.
#
#   tools/fuzz.sh [seconds per target, default 60] [target ...]
#
# Builds the fuzz preset (clang, build/fuzz), replays the checked-in crash regressions, then
# fuzzes each target from its checked-in seed corpus. New inputs go to a scratch corpus under
# build/fuzz, never into the source tree; a crash, hang, leak or sanitizer report leaves its input
# in build/fuzz/artifacts and makes the script fail. Output: one line per target with
# executions per second and the coverage (cov = edges, ft = features) reached.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build=$root/build/fuzz
src=$root/tests/fuzz
all_targets=(http_response uri cookie cookie_date topic_page topic_pages announcement)
targets=("$@")
[[ $# -gt 0 ]] || targets=("${all_targets[@]}")

# The largest input a target is given: a scripted connection needs room for a 100 KiB header
# line; page cuts scale with the page, so a few dozen KiB say as much as more.
max_len_of() {
    case $1 in
        http_response) echo 131072 ;;
        topic_page | topic_pages | announcement) echo 65536 ;;
        *) echo 4096 ;;
    esac
}

cmake --preset fuzz -S "$root" >/dev/null
cmake --build "$build" -j2 >/dev/null

mkdir -p "$build/artifacts"
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0:abort_on_error=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

status=0
printf '%-14s %8s %10s %8s %8s %8s\n' target seconds execs exec/s cov ft
for t in "${targets[@]}"; do
    bin=$build/tests/fuzz/fuzz_$t
    # Every input that once crashed or hung must run clean now.
    if [[ -d $src/regressions/$t ]] && compgen -G "$src/regressions/$t/*" >/dev/null; then
        if ! "$bin" -timeout=10 -rss_limit_mb=2048 "$src/regressions/$t"/* \
            >"$build/artifacts/$t.regressions.log" 2>&1; then
            echo "fuzz_$t: a regression input fails, see $build/artifacts/$t.regressions.log"
            status=1
            continue
        fi
    fi
    work=$build/corpus/$t
    mkdir -p "$work"
    log=$build/artifacts/$t.log
    if ! "$bin" "$work" "$src/corpus/$t" -max_total_time="$seconds" -max_len="$(max_len_of "$t")" \
        -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$t-" >"$log" 2>&1; then
        echo "fuzz_$t: FAILED, see $log"
        grep -E '^==[0-9]+==ERROR|^SUMMARY|runtime error|Test unit written' "$log" | head -5 || true
        status=1
        continue
    fi
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    last=$(grep -E '^#[0-9]+' "$log" | tail -1)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    printf '%-14s %8s %10s %8s %8s %8s\n' "$t" "$seconds" "$execs" "$rate" "$cov" "$ft"
done
exit $status
