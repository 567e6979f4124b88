#!/usr/bin/env bash
# Installs everything Quillvane needs to build, test, run the demo and the
# benchmark on Debian 12.  Safe to run again: when every package is already
# installed it returns without touching apt.
set -euo pipefail

PACKAGES=(
  build-essential     # make, gcc
  g++
  cmake
  ninja-build
  libgtest-dev        # GoogleTest (CMake's FindGTest picks it up)
  libjpeg62-turbo-dev # libjpeg with the version 62 interface
  libjpeg-turbo-progs # djpeg / cjpeg, used by the tests and the benchmark
  python3             # scripts/make-watermark.py, scripts/make-fuzz-corpus.py
  clang               # the fuzz targets (libFuzzer)
  libclang-rt-14-dev  # libFuzzer and the sanitizer runtimes for clang
  xplanet-images      # the demo's photograph (NASA Blue Marble, not copyrighted)
)

missing=()
for package in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  if [ "$status" != "installed" ]; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages already installed"
  exit 0
fi

SUDO=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    SUDO=(sudo)
  else
    echo "install-deps: not root and sudo is not available; install as root: ${missing[*]}" >&2
    exit 1
  fi
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
