#!/usr/bin/env bash
# End-to-end session of the Windows program: starts a private Xvfb, runs
# quillvane.exe under Wine and drives it with the mouse and keyboard
# (tests/e2e/session.py), then checks the files it saved; then a short pass
# under an English Windows.
#
#   tests/e2e/run.sh
#
# Environment (defaults in brackets):
#   QUILLVANE_WIN_BUILD       the Windows build tree            [build/windows]
#   QUILLVANE_CLI             native command-line tool          [build/native/quillvane-cli]
#   QUILLVANE_E2E_OUT         screenshots and saved files       [build/e2e]
#   QUILLVANE_E2E_DISPLAY     first X display number to try     [64]
#   QUILLVANE_E2E_PREFIX      Wine prefix of the session        [build/wine-prefix-e2e-ARCH]
#   QUILLVANE_E2E_PHOTO       JPEG photograph to open           [earth.jpg scaled to 800 x 400]
#   QUILLVANE_E2E_ENGLISH     1: after the session, a short pass under an
#                             English Windows (session.py --language en) [1]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"

build=$(cd "${QUILLVANE_WIN_BUILD:-$root/build/windows}" 2>/dev/null && pwd) || { echo "e2e: no Windows build (build the windows preset first)" >&2; exit 1; }
cli=${QUILLVANE_CLI:-$root/build/native/quillvane-cli}
out=${QUILLVANE_E2E_OUT:-$root/build/e2e}
exe=$build/quillvane.exe
inspector=$build/wininspect.exe

for file in "$exe" "$inspector" "$cli"; do
  [ -x "$file" ] || { echo "e2e: $file is missing (build the windows and native presets first)" >&2; exit 1; }
done
. "$root/scripts/lib/wine-arch.sh"
arch=$(pe_arch "$exe") || exit 1
prefix=${QUILLVANE_E2E_PREFIX:-$root/build/wine-prefix-e2e-$arch}
for tool in Xvfb xdotool import djpeg python3; do
  command -v "$tool" >/dev/null || { echo "e2e: '$tool' is missing (run scripts/install-windows-deps.sh)" >&2; exit 1; }
done
mkdir -p "$out"

# The photograph: the demo's Blue Marble, made small enough that the whole
# window fits on the screen.
photo=${QUILLVANE_E2E_PHOTO:-}
if [ -z "$photo" ]; then
  photo=$out/photo.jpg
  earth=/usr/share/xplanet/images/earth.jpg
  [ -r "$earth" ] || { echo "e2e: $earth is missing (run scripts/install-deps.sh)" >&2; exit 1; }
  [ -s "$photo" ] || convert "$earth" -resize 800x400! -quality 92 "$photo"
fi

. "$root/tests/e2e/display.sh"
start_private_session "${QUILLVANE_E2E_DISPLAY:-64}" "$prefix" "$arch" || exit 1

echo "e2e: $exe ($arch), display :$display_number, prefix $prefix, output $out"
status=0
python3 "$root/tests/e2e/session.py" --exe "$exe" --wininspect "$inspector" --cli "$cli" \
  --display ":$display_number" --photo "$photo" --watermark "$root/demo/watermark.bmp" --out "$out" || status=$?
# The short pass under an English Windows, screenshots in $out/en.
if [ "${QUILLVANE_E2E_ENGLISH:-1}" = 1 ]; then
  python3 "$root/tests/e2e/session.py" --exe "$exe" --wininspect "$inspector" --cli "$cli" \
    --display ":$display_number" --photo "$photo" --watermark "$root/demo/watermark.bmp" --out "$out/en" \
    --language en || status=$?
fi
exit $status
