#!/usr/bin/env bash
# Builds `make dist` twice from the commit at HEAD, in two fresh clones at
# different paths, and compares the results byte for byte (make check-dist
# runs it; it takes as long as two release builds):
#
#   tests/dist/reproducible.sh [WORK_DIR]        (default build/dist-repro)
#
# Compared: every file in dist/ (the zips, the .deb, the source archive,
# SHA256SUMS) and the programs themselves (both quillvane.exe, both
# quillvane-cli.exe and the .deb's quillvane-cli); neither clone's
# path may appear in any program.  On a difference the first differing bytes
# are shown, and for the archives the members that differ.
#
# The Windows libraries (scripts/windows-deps.versions) take about 12
# CPU-minutes to build for both architectures.  By default each clone starts with a copy of this
# tree's build/deps/mingw-* when they are there; QUILLVANE_REPRO_FRESH_DEPS=1
# makes each clone build its own with scripts/build-windows-deps.sh, which
# then checks those too.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=${1:-$root/build/dist-repro}
mkdir -p "$work" && work=$(cd "$work" && pwd)
commit=$(git -C "$root" rev-parse HEAD) || exit 1
if [ -n "$(git -C "$root" status --porcelain --untracked-files=no)" ]; then
  echo "reproducible: note: uncommitted changes are not part of this check; it builds $commit" >&2
fi

# Two paths of different lengths, so a path that leaks into a file shows.
trees=("$work/a" "$work/second-tree")
for tree in "${trees[@]}"; do
  rm -rf "$tree"
  git clone -q --no-checkout "$root" "$tree" && git -C "$tree" checkout -q --detach "$commit" || exit 1
  if [ "${QUILLVANE_REPRO_FRESH_DEPS:-0}" != 1 ]; then
    for deps in "$root"/build/deps/mingw-*; do
      [ -f "$deps/lib/libjpeg.a" ] || continue
      mkdir -p "$tree/build/deps" && cp -a "$deps" "$tree/build/deps/"
    done
  fi
  # The Debian source packages (checked against their .dsc when used), so
  # that each clone does not fetch them again.
  if [ -d "$root/build/dist-sources" ]; then
    mkdir -p "$tree/build" && cp -a "$root/build/dist-sources" "$tree/build/"
    rm -f "$tree/build/dist-sources/list.txt"
  fi
  echo "reproducible: make dist in $tree"
  start=$(date +%s)
  if ! make -C "$tree" dist JOBS="${JOBS:-2}" >"$tree.log" 2>&1; then
    tail -n 40 "$tree.log" >&2
    echo "reproducible: make dist failed in $tree (log: $tree.log)" >&2
    exit 1
  fi
  echo "reproducible: done in $(( $(date +%s) - start )) s"
done

a=${trees[0]} b=${trees[1]}
differences=0
compare() {
  local label=$1 one=$2 two=$3
  if cmp -s "$one" "$two"; then
    echo "same: $label ($(stat -c %s "$one") bytes)"
  else
    echo "DIFFERENT: $label" >&2
    cmp "$one" "$two" >&2
    cmp -l "$one" "$two" 2>/dev/null | head -n 8 >&2
    differences=$((differences + 1))
  fi
}
files_a=$(cd "$a/dist" && ls -1 | tr '\n' ' ')
files_b=$(cd "$b/dist" && ls -1 | tr '\n' ' ')
if [ "$files_a" != "$files_b" ]; then
  echo "DIFFERENT: dist holds '$files_a' in one and '$files_b' in the other" >&2
  differences=$((differences + 1))
fi
for file in $files_a; do
  compare "dist/$file" "$a/dist/$file" "$b/dist/$file"
  case "$file" in
    *.zip)
      if ! cmp -s "$a/dist/$file" "$b/dist/$file"; then
        diff <(zipinfo -v "$a/dist/$file" | grep -E '^ *(file|32-bit CRC|file last modified|compressed size)') \
             <(zipinfo -v "$b/dist/$file" | grep -E '^ *(file|32-bit CRC|file last modified|compressed size)') >&2
      fi ;;
    *.tar.gz)
      if ! cmp -s "$a/dist/$file" "$b/dist/$file"; then
        diff <(tar -tvzf "$a/dist/$file") <(tar -tvzf "$b/dist/$file") >&2
      fi ;;
    *.deb)
      if ! cmp -s "$a/dist/$file" "$b/dist/$file"; then
        diff <(dpkg-deb -c "$a/dist/$file"; dpkg-deb -I "$a/dist/$file") \
             <(dpkg-deb -c "$b/dist/$file"; dpkg-deb -I "$b/dist/$file") >&2
      fi ;;
  esac
done
programs=(build/dist-win32/quillvane.exe build/dist-win64/quillvane.exe build/dist-linux/deb/usr/bin/quillvane-cli)
for bits in 32 64; do
  [ -f "$a/build/dist-win$bits/quillvane-cli.exe" ] && programs+=("build/dist-win$bits/quillvane-cli.exe")
done
for program in "${programs[@]}"; do
  compare "$program" "$a/$program" "$b/$program"
  for tree in "${trees[@]}"; do
    if grep -q -a -F "$tree" "$tree/$program"; then
      echo "DIFFERENT: $tree/$program holds its build path" >&2
      differences=$((differences + 1))
    fi
  done
done

if [ $differences -gt 0 ]; then
  echo "reproducible: $differences difference(s) between two builds of $commit" >&2
  exit 1
fi
echo "reproducible: two builds of ${commit:0:12} in two folders are byte-identical"
