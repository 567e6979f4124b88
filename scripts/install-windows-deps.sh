#!/usr/bin/env bash
# Installs what the Windows programs need on Debian 12: the mingw-w64 cross
# toolchains (i686 and x86_64), 64-bit Wine with Xvfb to run and test them,
# Japanese locale and fonts, Debian's mingw-w64 zlib, and what
# scripts/build-windows-deps.sh needs to build the other Windows libraries
# from their Debian sources (deb-src entries for apt-get source, dpkg-dev,
# nasm for libjpeg-turbo).  32-bit Wine (wine32:i386)
# is added only where this machine's kernel runs 32-bit programs
# (scripts/probe-win32.sh --kernel); elsewhere the 64-bit program carries
# every Windows test.  Safe to run again: it only installs what is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

packages=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64
          xvfb xdotool x11-apps fonts-ipafont-gothic fonts-wine locales nasm dpkg-dev imagemagick
          libz-mingw-w64-dev)
packages32=(wine32:i386)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
APT=(apt-get -o DPkg::Lock::Timeout=600 -y -q)

installed() { dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null | grep -qx installed; }

with32=0
if "$here/probe-win32.sh" --kernel >/dev/null; then with32=1; fi

need_update=0
if [ $with32 -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_update=1
fi
# apt-get source needs deb-src entries.
sources=/etc/apt/sources.list.d/debian.sources
if [ -f "$sources" ] && ! grep -q 'deb-src' "$sources"; then
  $SUDO sed -i 's/^Types: deb$/Types: deb deb-src/' "$sources"
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
missing32=()
if [ $with32 -eq 1 ]; then
  for p in "${packages32[@]}"; do installed "$p" || missing32+=("$p"); done
fi
if [ ${#missing[@]} -gt 0 ] || [ ${#missing32[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  $SUDO "${APT[@]}" update
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-windows-deps: installing ${missing[*]}"
  $SUDO "${APT[@]}" install --no-install-recommends "${missing[@]}"
fi
# 32-bit Wine is a bonus: if its packages cannot be set up here, the 64-bit
# program is tested alone and the machine is left with nothing half-installed.
if [ ${#missing32[@]} -gt 0 ]; then
  echo "install-windows-deps: installing ${missing32[*]}"
  if ! $SUDO "${APT[@]}" install --no-install-recommends "${missing32[@]}"; then
    echo "install-windows-deps: 32-bit Wine could not be installed; only the 64-bit program can be tested here" >&2
    $SUDO "${APT[@]}" purge "${missing32[@]}" >/dev/null 2>&1 || $SUDO dpkg --purge --force-all "${missing32[@]}" >/dev/null 2>&1 || true
  fi
elif [ $with32 -eq 0 ]; then
  echo "install-windows-deps: this kernel does not run 32-bit programs; 32-bit Wine is not installed"
fi

# Wine takes its ANSI code page and language from the locale: Japanese
# needs ja_JP.UTF-8, the English runs en_US.UTF-8.
for wanted in ja_JP en_US; do
  if ! locale -a 2>/dev/null | grep -qi "^$wanted.utf8\$"; then
    $SUDO sed -i "s/^# *$wanted.UTF-8 UTF-8/$wanted.UTF-8 UTF-8/" /etc/locale.gen
    grep -q "^$wanted.UTF-8 UTF-8" /etc/locale.gen || echo "$wanted.UTF-8 UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
  fi
done
