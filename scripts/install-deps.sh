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
  libspng-dev         # PNG reading and writing in quillvane-cli
  libwebp-dev         # WebP reading and writing in quillvane-cli
  libexiv2-dev        # metadata (EXIF, XMP, IPTC, ICC) kept by quillvane-cli
  gettext             # msgfmt: quillvane-cli's message catalogues
  pkg-config          # finds libspng, libwebp and Exiv2 for CMake
  exiv2               # the tests read metadata back with it
  pngcheck            # the tests check written PNG files
  webp                # dwebp / cwebp, used by the tests
  locales             # the Japanese locale the language tests run under
  imagemagick         # the tests decode written files with it
  python3             # scripts/make-watermark.py, scripts/make-fuzz-corpus.py
  clang               # the fuzz targets (libFuzzer)
  libclang-rt-14-dev  # libFuzzer and the sanitizer runtimes for clang
  xplanet-images      # the demo's photograph (NASA Blue Marble, not copyrighted)
  pkgconf             # finds the text libraries below for CMake
  libfreetype-dev     # text marks: glyph outlines
  libharfbuzz-dev     # text marks: shaping (kerning, ligatures, right-to-left, marks)
  libfontconfig-dev   # text marks: fonts by family name
  fonts-ipafont-gothic # the default text-mark font: Japanese, Latin and more
  fonts-dejavu-core   # the tests' font with kerning, ligatures and Hebrew
)

. "$(dirname "$0")/lib/apt-install.sh"
apt_install_missing install-deps "${PACKAGES[@]}"
