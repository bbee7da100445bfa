#!/usr/bin/env bash
# build.sh - configures and builds both trees: build/host (platform-free modules
# natively under the sanitizers) and build/win32 (the program and its tests).
# Both build the benchmark programs too (never run here), so none can rot.
# Usage: scripts/build.sh [host|win32|all]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cache=${QOV_DEPS_CACHE:-/var/cache/qovtervex-deps}
what=${1:-all}
jobs=${QOV_BUILD_JOBS:-$(nproc)}
# A developer machine with ccache shares compiled objects between checkouts
# (CCACHE_BASEDIR makes paths below the checkout's parent relative); CI has none.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(dirname "$here")} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
if [ "$what" = host ] || [ "$what" = all ]; then
  cmake -S "$here" -B "$here/build/host" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQOV_DEPS_CACHE="$cache" -DQOV_BENCH=ON "${launcher[@]}" >/dev/null
  cmake --build "$here/build/host" -j "$jobs"
fi
if [ "$what" = win32 ] || [ "$what" = all ]; then
  cmake -S "$here" -B "$here/build/win32" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" -DQOV_DEPS_CACHE="$cache" -DQOV_BENCH=ON "${launcher[@]}" >/dev/null
  cmake --build "$here/build/win32" -j "$jobs"
fi
