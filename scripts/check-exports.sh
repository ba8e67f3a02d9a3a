#!/usr/bin/env bash
# Fails when the export table of the built Snarehold.dll differs from
# library/Snarehold.exports (sorted, one name per line): the DLL exports the
# program's interface and nothing else, since the library's tests link its
# objects. With --update, rewrites the list from the DLL instead.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$root/build}"
dll="$BUILD_DIR/bin/Snarehold.dll"
list="$root/library/Snarehold.exports"
objdump=x86_64-w64-mingw32-objdump

if [ ! -f "$dll" ]; then
    echo "check-exports: $dll not found; build first (scripts/build.sh)"
    exit 1
fi
actual="$(mktemp)"
trap 'rm -f "$actual"' EXIT
"$objdump" -p "$dll" |
    sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' |
    LC_ALL=C sort >"$actual"

if [ "${1:-}" = "--update" ]; then
    cp "$actual" "$list"
    echo "check-exports: wrote $(wc -l <"$list") names to ${list#"$root"/}"
    exit 0
fi
if [ ! -f "$list" ]; then
    echo "check-exports: ${list#"$root"/} is missing"
    exit 1
fi
if ! LC_ALL=C sort -c "$list" 2>/dev/null; then
    echo "check-exports: ${list#"$root"/} is not sorted (LC_ALL=C sort)"
    exit 1
fi
if ! cmp -s "$list" "$actual"; then
    echo "check-exports: the export table of Snarehold.dll differs from ${list#"$root"/}"
    echo "  (+ exported but not listed, - listed but not exported)"
    diff "$list" "$actual" | sed -n 's/^> /  + /p; s/^< /  - /p'
    echo "Export only what the program uses (SNAREHOLD_API); if the interface really changed,"
    echo "run scripts/check-exports.sh --update and commit the list."
    exit 1
fi
echo "check-exports: Snarehold.dll exports the $(wc -l <"$list") names of ${list#"$root"/}"
