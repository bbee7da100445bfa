#!/usr/bin/env bash
# setup.sh - prepares a Debian 12 machine to build and test Qovtervex: the MinGW
# cross toolchain, Wine with Xvfb, the host tools, and the cross-built libraries
# (Expat, minilzo, json-parser, libjpeg-turbo, GoogleTest) in a cache outside the
# repository. Runs as root; a second run only checks and returns.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/setup.d/lib.sh"
cache=${QOV_DEPS_CACHE:-/var/cache/qovtervex-deps}
stamp=$cache/.apt-done-v6

apt_packages=(
  g++-mingw-w64-i686 mingw-w64-tools wine wine32 xvfb xauth cmake nasm
  libz-mingw-w64-dev googletest ninja-build clang libclang-rt-14-dev fonts-wine
  libexpat1-dev zlib1g-dev libjpeg62-turbo-dev liblzo2-dev libjsonparser-dev
  dpkg-dev pkg-config qpdf poppler-utils mupdf-tools ghostscript imagemagick
  libcairo2-dev fonts-liberation fonts-dejavu-core python3-olefile
  fonts-droid-fallback fonttools python3-fonttools python3-cairo libqpdf-dev
)

install_apt() {
  if [ -f "$stamp" ]; then return; fi
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  # Source packages come from the same mirrors as the binary ones: copy each
  # deb822 entry with its type changed to deb-src.
  local src=/etc/apt/sources.list.d/qovtervex-src.sources
  if [ ! -f "$src" ]; then
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      [ "$f" = "$src" ] && continue
      sed -n 's/^Types:[[:space:]]*deb$/Types: deb-src/; p' "$f"
      echo
    done > "$src"
    if [ -f /etc/apt/sources.list ]; then
      grep -E '^deb[[:space:]]' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
        > /etc/apt/sources.list.d/qovtervex-src.list || true
    fi
  fi
  apt_update
  apt_install "${apt_packages[@]}"
  mkdir -p "$cache"
  touch "$stamp"
}

# Fetches one source package into $cache/src, pinned to the main suite's
# version when the newest one (from the security suite) cannot be fetched.
fetch_source() {
  local pkg=$1; local dir=$cache/src/$pkg
  if ls "$dir"/*.dsc >/dev/null 2>&1; then return; fi
  mkdir -p "$dir"
  if ! (cd "$dir" && apt-get source --download-only -qq "$pkg" >/dev/null 2>&1); then
    local ver
    ver=$(apt-cache showsrc "$pkg" | awk '/^Version:/{print $2}' | sort -V | head -1)
    rm -f "$dir"/*
    (cd "$dir" && apt-get source --download-only -qq "$pkg=$ver" >/dev/null)
  fi
}

# Unpacks a fetched source package into a fresh directory and echoes its path.
unpack_source() {
  local pkg=$1; local work=$cache/work/$pkg
  rm -rf "$work"; mkdir -p "$work"
  (cd "$work" && dpkg-source --no-check -x "$cache"/src/"$pkg"/*.dsc tree >/dev/null 2>&1)
  echo "$work/tree"
}

version_of() { basename "$(ls "$cache"/src/"$1"/*.dsc)" .dsc; }

prefix=$cache/i686
toolchain=$here/cmake/mingw-i686.cmake

build_expat() {
  local key; key=$(version_of expat)
  [ -f "$prefix/.$key" ] && return
  local tree; tree=$(unpack_source expat)
  local s=$tree; [ -d "$tree/expat" ] && s=$tree/expat
  # Debian's security patch tests "XML_DTD == 1", but Expat's CMake build
  # defines XML_DTD empty; test for the definition instead.
  sed -i 's/^\(#[[:space:]]*if\) XML_DTD == 1$/\1 defined(XML_DTD)/' "$s/lib/xmlparse.c"
  cmake -S "$s" -B "$cache/work/expat-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DEXPAT_SHARED_LIBS=OFF \
    -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF \
    -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_FUZZERS=OFF >/dev/null
  cmake --build "$cache/work/expat-build" --target install >/dev/null
  touch "$prefix/.$key"
}

build_minilzo() {
  local key; key=$(version_of lzo2)
  [ -f "$prefix/.$key" ] && return
  local tree; tree=$(unpack_source lzo2)
  mkdir -p "$prefix/include/minilzo" "$prefix/lib"
  i686-w64-mingw32-gcc-posix -O2 -c "$tree/minilzo/minilzo.c" -I"$tree/include/lzo" -I"$tree/minilzo" \
    -o "$cache/work/minilzo.o"
  i686-w64-mingw32-ar rcs "$prefix/lib/libminilzo.a" "$cache/work/minilzo.o"
  cp "$tree/minilzo/minilzo.h" "$tree/include/lzo/lzoconf.h" "$tree/include/lzo/lzodefs.h" \
    "$prefix/include/minilzo/"
  # The host build (sanitizers) compiles the same file natively.
  mkdir -p "$cache/host/minilzo"
  cp "$tree/minilzo/minilzo.c" "$tree/minilzo/minilzo.h" "$tree/include/lzo/lzoconf.h" \
    "$tree/include/lzo/lzodefs.h" "$cache/host/minilzo/"
  touch "$prefix/.$key"
}

build_jsonparser() {
  local key; key=$(version_of libjsonparser)
  [ -f "$prefix/.$key" ] && return
  local tree; tree=$(unpack_source libjsonparser)
  mkdir -p "$prefix/include/jsonparser" "$prefix/lib"
  i686-w64-mingw32-gcc-posix -O2 -c "$tree/json.c" -I"$tree" -o "$cache/work/json.o"
  i686-w64-mingw32-ar rcs "$prefix/lib/libjsonparser.a" "$cache/work/json.o"
  cp "$tree/json.h" "$prefix/include/jsonparser/"
  mkdir -p "$cache/host/jsonparser"
  cp "$tree/json.c" "$tree/json.h" "$cache/host/jsonparser/"
  touch "$prefix/.$key"
}

build_jpeg() {
  local key; key=$(version_of libjpeg-turbo)
  [ -f "$prefix/.$key" ] && return
  local tree; tree=$(unpack_source libjpeg-turbo)
  cmake -S "$tree" -B "$cache/work/jpeg-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DENABLE_SHARED=OFF \
    -DENABLE_STATIC=ON -DWITH_SIMD=ON -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF \
    -DCMAKE_SYSTEM_PROCESSOR=i686 -DCMAKE_ASM_NASM_COMPILER=nasm >/dev/null
  cmake --build "$cache/work/jpeg-build" --target install >/dev/null
  touch "$prefix/.$key"
}

build_gtest() {
  local key=googletest-$(dpkg-query -W -f='${Version}' googletest)
  [ -f "$prefix/.$key" ] && return
  cmake -S /usr/src/googletest -B "$cache/work/gtest-build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -Dgtest_disable_pthreads=OFF -DBUILD_GMOCK=ON >/dev/null
  cmake --build "$cache/work/gtest-build" --target install >/dev/null
  touch "$prefix/.$key"
}

install_apt
mkdir -p "$cache/src" "$prefix"
for p in expat lzo2 libjsonparser libjpeg-turbo; do fetch_source "$p"; done
build_expat
build_minilzo
build_jsonparser
build_jpeg
build_gtest
# Further steps (test data of the decoders, the PDF checks' tools) live in
# scripts/setup.d, one file per area, each idempotent like this script.
for step in "$here"/scripts/setup.d/*.sh; do
  [ -f "$step" ] || continue
  QOV_DEPS_CACHE=$cache bash "$step"
done
echo "$cache"
