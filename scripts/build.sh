#!/usr/bin/env bash
# Configures and builds into BUILD_DIR: everything (program, library, tests,
# benchmarks), or only the targets named as arguments.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh"
launcher=()
if command -v ccache >/dev/null 2>&1; then
    # Several checkouts of the tree share one compiler cache.
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
    cmake -S "$root" -B "$BUILD_DIR" -G Ninja "${launcher[@]}" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
fi
targets=()
[ $# -eq 0 ] || targets=(--target "$@")
cmake --build "$BUILD_DIR" "${targets[@]}" -- -j"$(nproc)"
