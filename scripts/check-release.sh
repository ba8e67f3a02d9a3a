#!/usr/bin/env bash
# Builds the release zip (cpack) and checks that it runs as unpacked: the
# program and the library are in it, and every DLL that one of its modules
# imports is either in it or a system DLL (one the build does not provide).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$root/build}"
objdump=x86_64-w64-mingw32-objdump

(cd "$BUILD_DIR" && cpack -G ZIP >/dev/null)
zip="$(ls -t "$BUILD_DIR"/Brindlemap-*-x64.zip | head -n1)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip")
folder="$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -n1)"

status=0
for needed in Brindlemap.exe Snarehold.dll; do
    [ -f "$folder/$needed" ] || { echo "check-release: $needed missing from $(basename "$zip")"; status=1; }
done
shopt -s nocaseglob
for module in "$folder"/*.exe "$folder"/*.dll; do
    while read -r dll; do
        if [ -f "$BUILD_DIR/bin/$dll" ] && [ ! -f "$folder/$dll" ]; then
            echo "check-release: $(basename "$module") imports $dll, which is not in the release folder"
            status=1
        fi
    done < <("$objdump" -p "$module" | sed -n 's/^[[:space:]]*DLL Name: //p')
done
[ "$status" -eq 0 ] && echo "check-release: $(basename "$zip") holds everything its modules import"
exit "$status"
