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
)

missing=()
for package in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  if [ "$status" != "installed" ]; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-bench-deps: all packages already installed"
  exit 0
fi

SUDO=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    SUDO=(sudo)
  else
    echo "install-bench-deps: not root and sudo is not available; install as root: ${missing[*]}" >&2
    exit 1
  fi
fi

echo "install-bench-deps: installing ${missing[*]}"
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q >/dev/null
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
