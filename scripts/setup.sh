#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12. Idempotent:
# when everything is present it only checks and returns.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
deps="$root/deps"
packages=(cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
          wine wine64 fonts-wine xvfb xauth xdotool x11-utils imagemagick x11-apps googletest)

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# Prints deb-src entries for the archives the machine's own apt sources name
# (deb822 stanzas or one-line entries), so no mirror is written down here.
derive_source_entries() {
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        awk 'BEGIN { RS=""; FS="\n" }
             {
                 types=""; uris=""; suites=""; comps=""; signed=""
                 for (i = 1; i <= NF; i++) {
                     if ($i ~ /^Types:/) types=$i
                     else if ($i ~ /^URIs:/) uris=$i
                     else if ($i ~ /^Suites:/) suites=$i
                     else if ($i ~ /^Components:/) comps=$i
                     else if ($i ~ /^Signed-By:/) signed=$i
                 }
                 if (types !~ /(^|[ \t])deb([ \t]|$)/ || uris == "" || suites !~ /bookworm/) next
                 sub(/^Types:.*/, "Types: deb-src", types)
                 printf "%s\n%s\n%s\n%s\n", types, uris, suites, comps
                 if (signed != "") printf "%s\n", signed
                 printf "\n"
             }' "$f"
    done
    if [ -f /etc/apt/sources.list ]; then
        grep -E '^deb[[:space:]]' /etc/apt/sources.list | grep bookworm | sed -E 's/^deb([[:space:]])/deb-src\1/'
    fi
}

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
apt_updated=0
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo_if_needed apt-get update -qq
    apt_updated=1
    sudo_if_needed env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# pugixml 1.13 from Debian's source package, compiled by our build in wide-character mode.
pugi="$deps/pugixml-1.13"
if [ ! -f "$pugi/src/pugixml.cpp" ]; then
    src_list=/etc/apt/sources.list.d/brindlemap-src.sources
    if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
        echo "setup: enabling Debian source packages"
        # The same archives the machine already uses for binary packages, as deb-src.
        src_entries="$(derive_source_entries)"
        [ -n "$src_entries" ] || { echo "setup: no Debian package source found to derive deb-src from" >&2; exit 1; }
        printf '%s\n' "$src_entries" | sudo_if_needed tee "$src_list" >/dev/null
        apt_updated=0
    fi
    [ $apt_updated -eq 1 ] || sudo_if_needed apt-get update -qq
    mkdir -p "$deps/download"
    (cd "$deps/download" && apt-get source --download-only pugixml=1.13-0.2 >/dev/null 2>&1 \
        || apt-get source --download-only pugixml >/dev/null)
    tar -xzf "$deps"/download/pugixml_1.13.orig.tar.gz -C "$deps"
    [ -f "$pugi/src/pugixml.cpp" ] || { echo "setup: pugixml 1.13 source not found" >&2; exit 1; }
    echo "setup: pugixml 1.13 unpacked into $pugi"
fi
