#!/usr/bin/env bash
# Builds the benchmarks (only what is missing) and runs them under Wine in a
# private prefix and a private Xvfb display, as the tests run; prints each
# bench's figures as they come and, at the end, every goal line
# ("goal NAME value limit ok|FAIL") with the machine's load. Arguments name the
# benches to run (default: all); arguments after "--" go to each bench (e.g.
# "ClickLatencyBench -- --clicks 50"). Exits 1 when a goal failed or a bench
# did not finish. Benchmarks are not tests: nothing here runs under ctest.
set -euo pipefail
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
    # The programs print Windows line ends.
    (cd "$BUILD_DIR/bin" && timeout "${BENCH_TIMEOUT:-1200}" wine "$bench.exe" "${bench_args[@]}") 2>&1 | tr -d '\r' | tee "$results/$bench.txt"
    code=${PIPESTATUS[0]}
    set -e
    if [ "$code" -ne 0 ]; then
        status=1
        # A bench exits 1 when one of its goals failed; anything else is a bench
        # that did not finish (crashed, refused to start, or ran out of time).
        grep -q '^goal .* FAIL$' "$results/$bench.txt" ||
            echo "goal $bench-finished $code 0 FAIL" | tee -a "$results/$bench.txt"
    fi
done
echo "machine load after: $(uptime)"
echo "=== goals"
for bench in "${benches[@]}"; do
    grep '^goal ' "$results/$bench.txt" || true
done
brmp_wine_stop
trap - EXIT
exit "$status"
