#!/usr/bin/env bash
# Takes the documentation's screenshots of the Windows program: starts it
# under a private Xvfb, opens a photograph, drags a selection, opens every
# file and processing dialog as a user would (cancelling each), and saves
# one PNG per window in docs/screenshots/ (or $1).
#
#   scripts/screenshots.sh [output folder]
#
# Needs the Windows build (cmake --preset windows && cmake --build --preset
# windows) and scripts/install-windows-deps.sh.  Environment: as for
# tests/e2e/run.sh (QUILLVANE_WIN_BUILD, QUILLVANE_E2E_DISPLAY), and
# QUILLVANE_SCREENSHOTS_PREFIX for the Wine prefix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

out=${1:-$root/docs/screenshots}
build=$(cd "${QUILLVANE_WIN_BUILD:-$root/build/windows}" 2>/dev/null && pwd) || { echo "screenshots: no Windows build (build the windows preset first)" >&2; exit 1; }
# A prefix of its own: Wine remembers the last folder of the file dialogs.
prefix=${QUILLVANE_SCREENSHOTS_PREFIX:-$root/build/wine-prefix-screenshots}
work=$root/build/screenshots
exe=$build/quillvane.exe
inspector=$build/wininspect.exe
for file in "$exe" "$inspector"; do
  [ -x "$file" ] || { echo "screenshots: $file is missing (build the windows preset first)" >&2; exit 1; }
done
for tool in Xvfb xdotool import convert djpeg exiv2 python3; do
  command -v "$tool" >/dev/null || { echo "screenshots: '$tool' is missing (run scripts/install-windows-deps.sh)" >&2; exit 1; }
done
mkdir -p "$out" "$work"

photo=$work/photo.jpg
# A photograph with a camera's EXIF, so that the save settings offer its
# metadata.
if [ ! -s "$photo" ]; then
  convert /usr/share/xplanet/images/earth.jpg -resize 800x400! -quality 92 "$photo"
  exiv2 -M "set Exif.Image.Make Ascii Quillvane" -M "set Exif.Image.Model Ascii Screenshot Camera" \
    -M "set Exif.Image.Artist Ascii Quillvane" "$photo"
fi

. "$root/tests/e2e/display.sh"
. "$root/scripts/lib/wine-arch.sh"
start_private_session "${QUILLVANE_E2E_DISPLAY:-64}" "$prefix" "$(pe_arch "$exe")" || exit 1

# The file dialogs open in the current folder: the one with the photograph.
cd "$work"
python3 "$root/tests/e2e/screenshots.py" --exe "$exe" --wininspect "$inspector" --display ":$display_number" \
  --photo "$photo" --watermark "$root/demo/watermark.bmp" --out "$out" --work "$work"
echo "screenshots in $out"
