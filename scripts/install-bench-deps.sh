#!/usr/bin/env bash
# Installs the tools bench/compare.sh measures against and plots with, on
# Debian 12.  Optional: nothing else in the project needs them.  Safe to
# run again: when every package is already installed it returns without
# touching apt.
set -euo pipefail

PACKAGES=(
  imagemagick          # convert: the pipelines the command line is compared with
  libvips-tools        # vips: the batch comparison
  libjpeg-turbo-progs  # djpeg / cjpeg: the codec floor
  gnuplot-nox          # the bar chart
  time                 # GNU time: peak memory
  xplanet-images       # the photograph the test pictures are made from
  exiv2                # EXIF, XMP and ICC written into the metadata rows' photograph
  linux-perf           # perf stat: the processor time of the metadata rows
  valgrind             # callgrind: the instructions of the metadata rows, exact on a busy machine
)

. "$(dirname "$0")/lib/apt-install.sh"
apt_install_missing install-bench-deps "${PACKAGES[@]}"
