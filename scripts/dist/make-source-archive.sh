#!/usr/bin/env bash
# Packs the release's source archive: the project's files at HEAD (git
# archive) and the Debian source packages the shipped Windows programs'
# libraries were built from:
#
#   scripts/dist/make-source-archive.sh OUTPUT.tar.gz VERSION SOURCES
#
# SOURCES is what scripts/dist/windows-sources.sh printed.  Everything lies
# under quillvane-VERSION/, the Debian packages under
# quillvane-VERSION/third-party/debian-sources/PACKAGE_VERSION/ (each .dsc
# with the files it names, ready for dpkg-source -x) with a README that
# says which library each one is.  The same commit gives the same bytes:
# names sorted, every time SOURCE_DATE_EPOCH, owner and group 0, fixed
# permissions, gzip without a name or time.
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: make-source-archive.sh OUTPUT.tar.gz VERSION SOURCES" >&2; exit 2; }
output=$1 version=$2 sources=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
: "${SOURCE_DATE_EPOCH:?make-source-archive.sh: SOURCE_DATE_EPOCH is not set}"

name=quillvane-$version
stage=$(mktemp -d "${TMPDIR:-/tmp}/quillvane-source.XXXXXX")
trap 'rm -rf "$stage"' EXIT
git -C "$root" archive --format=tar --prefix="$name/" HEAD | tar -x -C "$stage"

third=$stage/$name/third-party/debian-sources
mkdir -p "$third"
{
  echo "The sources of the libraries built into the Windows programs"
  echo "============================================================="
  echo
  echo "Each folder is one Debian 12 source package, as apt-get source fetched"
  echo "it: 'dpkg-source -x PACKAGE_VERSION.dsc' unpacks it with Debian's"
  echo "changes applied.  scripts/build-windows-deps.sh builds the libraries"
  echo "from them (scripts/windows-deps.versions names the revisions); zlib and"
  echo "the mingw-w64 runtime with winpthreads come built in Debian's mingw-w64"
  echo "packages, made from the sources here."
  echo
  printf '%-16s %s\n' library "Debian source package"
  while read -r library package version folder note; do
    line=$(printf '%-16s %s_%s' "$library" "$package" "${version#*:}")
    case "${note:-}" in
      same-upstream:*) line+=" (stands in for ${note#same-upstream:}, Debian's mingw-w64 build the programs link: the same upstream release, whose own Debian source could not be fetched from the archive)" ;;
    esac
    echo "$line"
  done <"$sources"
} >"$third/README"
while read -r library package version folder _; do
  plain=${version#*:}
  dsc=$folder/${package}_$plain.dsc
  target=$third/${package}_$plain
  mkdir -p "$target"
  cp "$dsc" "$target/"
  awk '/^Files:/ { on = 1; next } /^[^ ]/ { on = 0 } on && NF == 3 { print $3 }' "$dsc" |
    while read -r file; do cp "$folder/$file" "$target/"; done
done <"$sources"

tar --sort=name --format=gnu --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner \
    --mode='u=rwX,go=rX' -C "$stage" -cf - "$name" | gzip -9 -n >"$output.part"
mv "$output.part" "$output"
