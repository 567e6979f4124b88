#!/usr/bin/env bash
# Builds the release files into dist/ (make dist runs it after installing
# what it needs):
#
#   quillvane-VERSION-win32.zip   the 32-bit program and command-line tool (with
#                                 its catalogues), README(s), LICENSE.txt and
#                                 THIRD-PARTY-NOTICES.txt
#   quillvane-VERSION-win64.zip   the same, 64-bit
#   quillvane-cli_VERSION_ARCH.deb   the command-line tool for Debian
#   quillvane-VERSION-src.tar.gz  the sources: the project's at HEAD and the
#                                 Debian source packages of the libraries in
#                                 the Windows programs
#   SHA256SUMS                    the checksums of the files above
#
# VERSION is project(VERSION) in CMakeLists.txt.  Where a release tag
# (vX.Y.Z) is on the commit it must say the same; a version older than the
# last tag stops the build too.  Every build from the same commit gives the
# same bytes: the time in every file is the commit's (SOURCE_DATE_EPOCH),
# and the dist-* presets build without build paths or link times
# (QUILLVANE_DIST in CMakeLists.txt).  The builds go to build/dist-linux,
# build/dist-win32 and build/dist-win64; the developers' trees are left alone.
#
# Environment: JOBS (default 2); SOURCE_DATE_EPOCH overrides the commit's time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=${JOBS:-2}
out=$root/dist

version=$(sed -n 's/^project(Quillvane VERSION \([0-9][0-9.]*\)[ )].*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "dist: no project(Quillvane VERSION x.y.z) in CMakeLists.txt" >&2; exit 1; }

if [ -d .git ] || [ -f .git ]; then
  if tag=$(git describe --tags --abbrev=0 --match 'v[0-9]*' 2>/dev/null); then
    tagged=${tag#v}
    if git describe --tags --exact-match --match 'v[0-9]*' >/dev/null 2>&1 && [ "$tagged" != "$version" ]; then
      echo "dist: this commit is tagged $tag but CMakeLists.txt says version $version" >&2
      exit 1
    fi
    if [ "$(printf '%s\n%s\n' "$tagged" "$version" | sort -V | head -n 1)" != "$tagged" ]; then
      echo "dist: version $version in CMakeLists.txt is older than the last release tag $tag" >&2
      exit 1
    fi
    if [ "$tagged" = "$version" ] && ! git describe --tags --exact-match --match 'v[0-9]*' >/dev/null 2>&1; then
      echo "dist: note: $(git describe --tags --match 'v[0-9]*') is past release $tag; the files still say $version" >&2
    fi
  fi
  : "${SOURCE_DATE_EPOCH:=$(git log -1 --format=%ct)}"
  if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "dist: note: the tree has uncommitted changes; the files are built from them" >&2
  fi
fi
: "${SOURCE_DATE_EPOCH:?dist: not a git checkout: set SOURCE_DATE_EPOCH}"
export SOURCE_DATE_EPOCH
export TZ=UTC LC_ALL=C.UTF-8
umask 022

# The splash picture shows the version too; it is drawn by
# scripts/make-resources.py and committed, so it must be the current one.
resources=$(mktemp -d "${TMPDIR:-/tmp}/quillvane-resources.XXXXXX")
python3 scripts/make-resources.py --out "$resources"
if ! cmp -s "$resources/splash.bmp" resources/splash.bmp; then
  rm -rf "$resources"
  echo "dist: resources/splash.bmp does not show version $version: run python3 scripts/make-resources.py" >&2
  exit 1
fi
rm -rf "$resources"

echo "dist: Quillvane $version, files dated $(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S UTC')"
for preset in dist-linux dist-win32 dist-win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

answer=$(build/dist-linux/quillvane-cli --version)
[ "$answer" = "quillvane-cli $version" ] ||
  { echo "dist: quillvane-cli --version says '$answer', not $version" >&2; exit 1; }

# The Debian source packages of the Windows programs' libraries: their
# licence texts go into the notices, the packages into the source archive.
sources=build/dist-sources/list.txt
scripts/dist/windows-sources.sh build/dist-sources >"$sources.part"
mv "$sources.part" "$sources"

rm -rf "$out"
mkdir -p "$out"
readmes=()
for readme in README.ja.md README.md; do
  [ -f "$readme" ] && readmes+=("$readme")
done
for bits in 32 64; do
  build=build/dist-win$bits
  # quillvane-cli.exe beside quillvane.exe, its message catalogues beside
  # it in locale/LANG/LC_MESSAGES, where it looks for them.
  programs=(quillvane.exe)
  [ -f "$build/quillvane-cli.exe" ] && programs+=(quillvane-cli.exe)
  maps=() binaries=() catalogues=()
  for program in "${programs[@]}"; do
    maps+=("$program=$build/${program%.exe}.map")
    binaries+=("$build/$program")
  done
  if [ -f "$build/quillvane-cli.exe" ]; then
    while read -r mo; do
      catalogues+=("$build/$mo=$mo")
    done < <(cd "$build" && find locale -name quillvane-cli.mo | LC_ALL=C sort)
    [ ${#catalogues[@]} -gt 0 ] || { echo "dist: $build has quillvane-cli.exe but no locale/*/LC_MESSAGES/quillvane-cli.mo" >&2; exit 1; }
  fi
  python3 scripts/dist/notices.py windows "$version" "$bits-bit" "$sources" \
    "$build/THIRD-PARTY-NOTICES.txt" "${maps[@]}"
  name=quillvane-$version-win$bits
  python3 scripts/dist/make_zip.py "$out/$name.zip" "$name" \
    --binary "${binaries[@]}" "${catalogues[@]}" \
    --text "${readmes[@]}" LICENSE=LICENSE.txt "$build/THIRD-PARTY-NOTICES.txt"
done
scripts/dist/make-deb.sh build/dist-linux "$version" "$out" >/dev/null
scripts/dist/make-source-archive.sh "$out/quillvane-$version-src.tar.gz" "$version" "$sources"

(cd "$out" && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%f\n' | LC_ALL=C sort |
   xargs sha256sum >SHA256SUMS)
echo "dist: in $out:"
(cd "$out" && ls -l --time-style=+ | tail -n +2 | awk '{ printf "  %10d  %s\n", $5, $NF }')
