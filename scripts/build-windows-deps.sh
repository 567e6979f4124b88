#!/usr/bin/env bash
# Builds the static Windows libraries the programs and their tests link:
# Debian's libjpeg-turbo (the 6b interface, library version 62) and Debian's
# GoogleTest, for each architecture given (default: i686 and x86_64), into
# build/deps/mingw-ARCH.  Each is built only once.
#
#   scripts/build-windows-deps.sh [i686] [x86_64]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$root/build/deps/work
architectures=("$@")
[ ${#architectures[@]} -gt 0 ] || architectures=(i686 x86_64)

# One copy of the libjpeg-turbo source serves both architectures.
jpeg_source() {
  local src
  src=$(find "$work/jpeg-src" -maxdepth 1 -type d -name 'libjpeg-turbo-*' 2>/dev/null | head -n 1)
  if [ -z "$src" ]; then
    rm -rf "$work/jpeg-src" && mkdir -p "$work/jpeg-src"
    (cd "$work/jpeg-src" && { apt-get source -q libjpeg-turbo >/dev/null 2>&1 || apt-get source libjpeg-turbo; }) >&2
    src=$(find "$work/jpeg-src" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n 1)
    [ -n "$src" ] || { echo "build-windows-deps: apt-get source libjpeg-turbo gave no source folder" >&2; exit 1; }
  fi
  echo "$src"
}

for arch in "${architectures[@]}"; do
  case "$arch" in
    i686|x86_64) ;;
    *) echo "build-windows-deps: unknown architecture '$arch' (i686 or x86_64)" >&2; exit 2 ;;
  esac
  prefix=$root/build/deps/mingw-$arch
  toolchain=$root/cmake/mingw-$arch.cmake
  mkdir -p "$prefix" "$work"

  if [ ! -f "$prefix/lib/libjpeg.a" ]; then
    echo "Building libjpeg-turbo for Windows ($arch)..."
    src=$(jpeg_source)
    rm -rf "$work/jpeg-$arch"
    cmake -S "$src" -B "$work/jpeg-$arch" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
          -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
          -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF -DWITH_JPEG7=OFF \
          -DCMAKE_POSITION_INDEPENDENT_CODE=OFF >/dev/null
    cmake --build "$work/jpeg-$arch" -j2 >/dev/null
    cmake --install "$work/jpeg-$arch" >/dev/null
  fi

  if [ ! -f "$prefix/lib/libgtest.a" ]; then
    echo "Building GoogleTest for Windows ($arch)..."
    rm -rf "$work/gtest-$arch"
    cmake -S /usr/src/googletest -B "$work/gtest-$arch" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
          -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -Dgtest_disable_pthreads=OFF \
          -DBUILD_GMOCK=ON >/dev/null
    cmake --build "$work/gtest-$arch" -j2 >/dev/null
    cmake --install "$work/gtest-$arch" >/dev/null
  fi
  echo "Windows libraries ($arch) in $prefix"
done
