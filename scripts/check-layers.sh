#!/usr/bin/env bash
# Fails when a file of the library includes a header of a higher layer:
# core includes nothing from input or engine, input nothing from engine.
# A header belongs to the layer whose folder holds it, or, in library/include,
# to the layer whose folder holds the source of the same name.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
lib="$root/library"
declare -A rank=([core]=0 [input]=1 [engine]=2)
declare -A layer=()

# Interface headers without a source of their own name.
for h in DibSection Handles SnareholdApi; do layer[$h]=core; done
for h in Volume; do layer[$h]=input; done
for h in Control Debug Hooks; do layer[$h]=engine; done

for l in core input engine; do
    for f in "$lib/$l"/*; do
        stem="$(basename "${f%.*}")"
        layer[$stem]=$l
    done
done

status=0
check() {  # <file> <its layer>
    local file=$1 own=$2 inc stem
    while IFS= read -r inc; do
        stem="$(basename "${inc%.*}")"
        [ -n "${layer[$stem]:-}" ] || continue
        if [ "${rank[${layer[$stem]}]}" -gt "${rank[$own]}" ]; then
            echo "${file#"$root"/}: $own includes $inc (${layer[$stem]})"
            status=1
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
}

for l in core input engine; do
    for f in "$lib/$l"/*.cpp "$lib/$l"/*.h; do
        [ -f "$f" ] && check "$f" "$l"
    done
done
for f in "$lib/include"/*.h; do
    stem="$(basename "${f%.*}")"
    if [ -z "${layer[$stem]:-}" ]; then
        echo "${f#"$root"/}: no layer known (add it to scripts/check-layers.sh)"
        status=1
        continue
    fi
    check "$f" "${layer[$stem]}"
done
[ "$status" -eq 0 ] && echo "check-layers: no include from a lower layer into a higher one"
exit "$status"
