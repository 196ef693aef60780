#!/usr/bin/env bash
# Builds the sanitizer presets and runs their tests; any sanitizer report fails the run.
#
#   tools/sanitize.sh [asan] [tsan]     (both when none is named)
#
#   asan: AddressSanitizer + UndefinedBehaviorSanitizer (build/asan), every test, the window's
#         and the HTML view's included (offscreen). Leak checking is on; the leaks that live
#         inside the web engine and fontconfig are named in tools/lsan.supp. The web engine's
#         own code frees some objects with a sized delete of another type, so that one check
#         (new_delete_type_mismatch) is off. The end-to-end tests of the real binary under an X
#         server are left out: they judge screenshots against start-up times that an
#         instrumented binary does not meet, and the window tests cover the same code offscreen.
#   tsan: ThreadSanitizer (build/tsan) without the window: Qt is not built with TSan, so its
#         locks are invisible to it and every test through Qt would report false races. The
#         worker logic, the shared post list, the starter values and the announcement handover
#         are plain C++ and run here.
#
# Prints the time each phase took. Uses two build jobs (the CI machine has two cores).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${SANITIZE_JOBS:-2}
presets=("$@")
[[ ${#presets[@]} -gt 0 ]] || presets=(asan tsan)

export QT_QPA_PLATFORM=offscreen
if [[ $(id -u) -eq 0 ]]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
# A report ends the test at once and fails it; undefined behaviour is fatal too (the presets
# build with -fno-sanitize-recover).
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:new_delete_type_mismatch=0:detect_stack_use_after_return=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$root/tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:abort_on_error=1:print_stacktrace=1"
export TSAN_OPTIONS="halt_on_error=1:abort_on_error=1:second_deadlock_stack=1:history_size=4"

phase() {
    local name=$1
    shift
    local start=$SECONDS
    echo "== $name"
    local rc=0
    "$@" || rc=$?
    echo "== $name: $((SECONDS - start)) s"
    return $rc
}

status=0
for preset in "${presets[@]}"; do
    case $preset in
        asan | tsan) ;;
        *) echo "unknown preset: $preset" >&2; exit 2 ;;
    esac
    phase "$preset configure" cmake --preset "$preset" --log-level=WARNING
    phase "$preset build" cmake --build --preset "$preset" -j "$jobs"
    if ! phase "$preset tests" ctest --preset "$preset" -j "$jobs" -LE '^e2e$'; then
        status=1
    fi
done
exit $status
