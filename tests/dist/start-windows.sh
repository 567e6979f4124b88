#!/usr/bin/env bash
# Starts the programs from the dist zips under Wine as a user would: each
# zip unpacked into a folder of its own, quillvane.exe started from there in
# a Wine prefix with no printer.  The splash window waits for a click, so
# the check is that the program is still running after a few seconds; then
# the prefix's wineserver is stopped.  Afterwards the folder holds only what
# the zip held and the prefix's registry names nothing of Quillvane's.
#
#   tests/dist/start-windows.sh [DIST_DIR]
#
# The 64-bit program always; the 32-bit one where this machine runs 32-bit
# programs (scripts/probe-win32.sh).  QUILLVANE_XVFB_DISPLAY chooses the
# Xvfb display when there is no $DISPLAY (see scripts/wine-run.sh).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dist=$(cd "${1:-$root/dist}" && pwd) || exit 1
version=$(sed -n 's/^project(Quillvane VERSION \([0-9][0-9.]*\)[ )].*/\1/p' "$root/CMakeLists.txt")
work=$(mktemp -d "${TMPDIR:-/tmp}/quillvane-start.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
seconds=${QUILLVANE_START_SECONDS:-5}

architectures=(64)
if answer=$("$root/scripts/probe-win32.sh"); then
  architectures+=(32)
else
  echo "start-windows: the 32-bit program is not started (${answer#no: })"
fi

failures=0
for bits in "${architectures[@]}"; do
  name=quillvane-$version-win$bits
  folder="$work/Downloads $bits"
  mkdir -p "$folder" && unzip -q "$dist/$name.zip" -d "$folder" || { echo "FAIL: cannot unpack $name.zip" >&2; failures=$((failures + 1)); continue; }
  before=$(cd "$folder" && find . | LC_ALL=C sort)
  export QUILLVANE_WINE_PRINTER=0 QUILLVANE_WINEPREFIX_NOPRINTER=$root/build/wine-prefix-dist-win$bits
  prefix=$("$root/scripts/wine-prefix.sh" --arch "win$bits" --no-printer) || { failures=$((failures + 1)); continue; }

  (cd "$folder/$name" && exec "$root/scripts/wine-run.sh" ./quillvane.exe) &
  pid=$!
  sleep "$seconds"
  if kill -0 "$pid" 2>/dev/null; then
    echo "ok: $name/quillvane.exe is running after $seconds s"
  else
    wait "$pid"
    echo "FAIL: $name/quillvane.exe ended within $seconds s (status $?)" >&2
    failures=$((failures + 1))
  fi
  WINEPREFIX=$prefix wineserver -k 2>/dev/null
  wait "$pid" 2>/dev/null

  after=$(cd "$folder" && find . | LC_ALL=C sort)
  [ "$before" = "$after" ] || { echo "FAIL: $name: the program left files in its folder" >&2; failures=$((failures + 1)); }
  if grep -il quillvane "$prefix"/*.reg >/dev/null 2>&1; then
    echo "FAIL: $name: the registry names Quillvane: $(grep -i quillvane "$prefix"/*.reg | head -n 3)" >&2
    failures=$((failures + 1))
  else
    echo "ok: $name: nothing written to its folder or the registry"
  fi
done
[ $failures -eq 0 ] || { echo "start-windows: $failures failure(s)" >&2; exit 1; }
echo "start-windows: the programs start from their unpacked folders"
