#!/usr/bin/env bash
# Installs what the Windows program needs on Debian 12: the mingw-w64 cross
# toolchain, Wine (32-bit) with Xvfb to run and test it, Japanese locale and
# fonts, and the source of Debian's libjpeg-turbo (built for Windows by
# scripts/build-windows-deps.sh).  Safe to run again: it only installs what
# is missing.
set -euo pipefail

packages=(g++-mingw-w64-i686-posix mingw-w64-tools wine wine32:i386 xvfb xdotool x11-apps
          fonts-ipafont-gothic fonts-wine locales nasm dpkg-dev imagemagick)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
APT=(apt-get -o DPkg::Lock::Timeout=600 -y -q)

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
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
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  $SUDO "${APT[@]}" update
fi
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO "${APT[@]}" install --no-install-recommends "${missing[@]}"
fi

# Wine takes its ANSI code page from the locale: Japanese needs ja_JP.UTF-8.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
  $SUDO sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
