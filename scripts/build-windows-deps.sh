#!/usr/bin/env bash
# Builds the Windows (i686 mingw-w64) static libraries the program and its
# tests link: Debian's libjpeg-turbo (the 6b interface, library version 62)
# and Debian's GoogleTest.  They go to build/deps/mingw (or $1) and are
# built only once.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=${1:-$root/build/deps/mingw}
work=$root/build/deps/work
toolchain=$root/cmake/mingw-i686.cmake
mkdir -p "$prefix" "$work"

if [ ! -f "$prefix/lib/libjpeg.a" ]; then
  echo "Building libjpeg-turbo for Windows..."
  rm -rf "$work/jpeg" && mkdir -p "$work/jpeg"
  (cd "$work/jpeg" && apt-get source -q libjpeg-turbo >/dev/null 2>&1 || apt-get source libjpeg-turbo)
  src=$(find "$work/jpeg" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)
  cmake -S "$src" -B "$work/jpeg/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF -DWITH_JPEG7=OFF \
        -DCMAKE_POSITION_INDEPENDENT_CODE=OFF >/dev/null
  cmake --build "$work/jpeg/build" -j2 >/dev/null
  cmake --install "$work/jpeg/build" >/dev/null
fi

if [ ! -f "$prefix/lib/libgtest.a" ]; then
  echo "Building GoogleTest for Windows..."
  cmake -S /usr/src/googletest -B "$work/gtest" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -Dgtest_disable_pthreads=OFF \
        -DBUILD_GMOCK=ON >/dev/null
  cmake --build "$work/gtest" -j2 >/dev/null
  cmake --install "$work/gtest" >/dev/null
fi
echo "Windows libraries in $prefix"
