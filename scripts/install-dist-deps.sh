#!/usr/bin/env bash
# Installs what `make dist` needs beyond scripts/install-deps.sh and
# scripts/install-windows-deps.sh: the Debian packaging tools that build and
# check the command-line tool's package, help2man for its manual page, and
# what tests/dist uses to look into the files.  Safe to run again:
# with every package present it returns without touching apt.
set -euo pipefail

PACKAGES=(
  dpkg-dev     # dpkg-deb, dpkg-shlibdeps, dpkg-architecture
  lintian      # checks the .deb
  help2man     # the manual page, from quillvane-cli --help
  unzip        # unzip -t and zipinfo on the Windows archives
  xz-utils     # the .deb's data compression
  bash-completion  # the completion script is tried in bash by tests/dist/check-files.sh
)

. "$(dirname "$0")/lib/apt-install.sh"
apt_install_missing install-dist-deps "${PACKAGES[@]}"
