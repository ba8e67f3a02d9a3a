#!/usr/bin/env bash
# The bench script's verdict on canned bench outputs: a goal line missing and
# a bench that ended before its end fail the run and say which, and a bench
# given arguments is held to the goal lines its mode printed; no bench runs.
set -euo pipefail
# shellcheck source=../../scripts/bench.sh
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/bench.sh"
out="$(mktemp)"
trap 'rm -f "$out"' EXIT
failures=0
# expect <case> <bench and its arguments> <exit code> <wanted status> <wanted line, "" for none> <output lines...>
expect() {
    local printed status=0 call
    read -ra call <<<"$2"
    printf '%s\n' "${@:6}" >"$out"
    printed="$(bench_verdict "${call[0]}" "$3" "$out" "${call[@]:1}")" || status=$?
    if [ "$status" -ne "$4" ] || { [ -n "$5" ] && ! grep -qxF -- "$5" <<<"$printed"; } || { [ -z "$5" ] && [ -n "$printed" ]; }; then
        printf 'FAILED: %s: status %d (wanted %d), printed:\n%s\n' "$1" "$status" "$4" "$printed"
        failures=$((failures + 1))
    fi
}
met=("goal settings-load-per-parse 1.1 1.5 ok" "goal settings-save-per-write 1 1.5 ok")
expect "every goal met" SettingsFileBench 0 0 "" "${met[@]}" "goal settings-save-cpu-per-write 0.7 1.5 ok"
expect "a failed goal" SettingsFileBench 1 1 "" "${met[@]}" "goal settings-save-cpu-per-write 2 1.5 FAIL"
expect "a goal line missing" SettingsFileBench 0 1 "goal settings-save-cpu-per-write - - FAIL" "${met[@]}"
expect "a crash after a failed goal" SettingsFileBench 5 1 "goal SettingsFileBench-finished 5 0 FAIL" \
    "goal settings-load-per-parse 2 1.5 FAIL"
expect "exit 1 without a failed goal" SendInputQueueBench 1 1 "goal SendInputQueueBench-finished 1 0 FAIL" "keys/s"
expect "a profile that measures no goal" "SettingsFileBench --profile" 0 0 "" "file: 2097152 bytes" "samples: 4000"
expect "some rows alone, a goal of theirs failed" "ClickLatencyBench --only 1,2" 1 1 "" \
    "goal click-lost-percent 0 1 ok" "goal click-unmapped-per-pass 1.3 1.1 FAIL"
expect "a profile that crashed" "MouseHookBench --profile-press" 3 1 "goal MouseHookBench-finished 3 0 FAIL" "samples: 10"
# A bench's line reaches the screen while the bench still runs.
lines="$(mktemp -u)"
mkfifo "$lines"
exec 3<>"$lines"
bench_lines <"$lines" >"$out" 3>&- &
printf 'first figure\r\n' >&3
for _ in $(seq 200); do
    ! grep -qx 'first figure' "$out" || break
    sleep 0.1
done
if ! grep -qx 'first figure' "$out"; then
    echo "FAILED: a line the bench printed was not passed on while it ran"
    failures=$((failures + 1))
fi
exec 3>&-
wait
rm -f "$lines"
# The summary of the test command counts every suite's skipped cases.
echo "skipped: 0"
[ "$failures" -eq 0 ]
