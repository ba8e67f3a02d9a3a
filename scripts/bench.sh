#!/usr/bin/env bash
# Builds the benchmarks (only what is missing) and runs them under Wine in a
# private prefix and a private Xvfb display, as the tests run; prints each
# bench's figures as they come and, at the end, every goal line
# ("goal NAME value limit ok|FAIL") with the machine's load. Arguments name the
# benches to run (default: all); arguments after "--" go to each bench (e.g.
# "ClickLatencyBench -- --clicks 50"). Exits 1 when a goal failed or had no
# line, or a bench did not finish. With arguments for the benches, a bench runs
# in a mode of its own (a profile of one part, some of its rows alone) that
# measures only some of its goals or none: then the goal lines it printed are
# the ones checked, and none is missing. Benchmarks are not tests: no bench runs
# under ctest (only the check of the verdict below, on canned outputs).
set -euo pipefail

# The goal lines each bench prints when it ran to its end without arguments:
# one missing is a goal not met (a bench may print no line for a figure it did
# not measure).
declare -A expected_goals=(
    [SettingsFileBench]="settings-load-per-parse settings-save-per-write settings-save-cpu-per-write"
    [MouseHookBench]="button-seen-p99-us-lookup button-seen-p99-us-engine button-seen-p99-us-mouse-over-moved
        button-seen-p99-us-mouse-over-rested button-seen-p99-us-during-reloads button-new-window-p99-us
        button-first-after-reload-p99-us button-after-slow-window-check-p99-us slow-window-caption-requests
        wheel-p99-us moves-plain-allocations moves-plain-system-calls moves-mouse-over-allocations
        moves-mouse-over-system-calls"
    [ClickLatencyBench]="click-lost-percent click-mapped-not-the-librarys click-unmapped-per-pass
        click-unmapped-2-windows-per-pass click-unmapped-new-window-added-ms click-mapped-per-remap
        click-mapped-2-windows-per-remap"
    [SendInputQueueBench]=""
)

# bench_verdict <bench> <exit code> <its output file> [its arguments...]:
# prints a FAIL goal line for a bench that did not finish and, when it ran
# without arguments, for each expected goal line its output lacks; returns 1
# when the bench failed. A bench exits 0 when every goal was
# met and 1 when one failed; anything else (a crash, a refusal to start, the
# time-out), or 1 without a failed goal, is a bench that did not finish, also
# when it printed lines before.
bench_verdict() {
    local bench=$1 code=$2 output=$3 goal status=0 expected
    shift 3
    expected=${expected_goals[$bench]-}
    [ $# -eq 0 ] || expected=""
    if [ "$code" -ne 0 ] && { [ "$code" -ne 1 ] || ! grep -q '^goal .* FAIL$' "$output"; }; then
        echo "$bench did not finish (exit code $code)"
        echo "goal $bench-finished $code 0 FAIL"
        status=1
    fi
    for goal in $expected; do
        if ! grep -q "^goal $goal " "$output"; then
            echo "$bench printed no goal line $goal"
            echo "goal $goal - - FAIL"
            status=1
        fi
    done
    [ "$code" -eq 0 ] || status=1
    return "$status"
}
# The bench's output with the Windows line ends cut, each line passed on as it
# comes (a run takes minutes: its figures show while it runs).
bench_lines() {
    sed -u 's/\r$//'
}
# Sourced (by the check of the verdict), the script only defines the above.
[ "${BASH_SOURCE[0]}" = "$0" ] || return 0

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$root/build}"
all=(SettingsFileBench MouseHookBench ClickLatencyBench SendInputQueueBench)
benches=()
bench_args=()
while [ $# -gt 0 ]; do
    if [ "$1" = "--" ]; then
        shift
        bench_args=("$@")
        break
    fi
    benches+=("$1")
    shift
done
[ ${#benches[@]} -gt 0 ] || benches=("${all[@]}")
"$root/scripts/build.sh" "${benches[@]}"

# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
trap brmp_wine_stop EXIT
brmp_wine_start always

results="$BUILD_DIR/bench-results"
mkdir -p "$results"
echo "machine load before: $(uptime)"
status=0
for bench in "${benches[@]}"; do
    echo "=== $bench"
    set +e
    (cd "$BUILD_DIR/bin" && timeout "${BENCH_TIMEOUT:-1200}" wine "$bench.exe" "${bench_args[@]}") 2>&1 | bench_lines | tee "$results/$bench.txt"
    code=${PIPESTATUS[0]}
    set -e
    verdict="$(bench_verdict "$bench" "$code" "$results/$bench.txt" "${bench_args[@]}")" || status=1
    [ -z "$verdict" ] || echo "$verdict" | tee -a "$results/$bench.txt"
done
echo "machine load after: $(uptime)"
echo "=== goals"
for bench in "${benches[@]}"; do
    grep '^goal ' "$results/$bench.txt" || true
done
brmp_wine_stop
trap - EXIT
exit "$status"
