#!/usr/bin/env bash
# Builds the Debian package of quillvane-cli from a QUILLVANE_DIST build
# (the dist-linux preset) with the Debian tools:
#
#   scripts/dist/make-deb.sh BUILD_DIR VERSION OUTPUT_DIR
#
# cmake --install lays out the program, its manual page and its bash
# completion; the control file gets its dependencies from dpkg-shlibdeps
# (the libraries the program actually links, at the versions their symbols
# need) and its size from the files; the copyright file names the packages
# whose libraries the tool links, THIRD-PARTY-NOTICES.gz holds their
# licences.  Every file and folder gets fixed permissions and the time
# SOURCE_DATE_EPOCH, and dpkg-deb writes root as owner, so the same build
# gives the same .deb.  Prints the package's path.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: make-deb.sh BUILD_DIR VERSION OUTPUT_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
version=$2
output=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
: "${SOURCE_DATE_EPOCH:?make-deb.sh: SOURCE_DATE_EPOCH is not set}"

package=quillvane-cli
maintainer="Quillvane developers <maintainers@users.noreply.c-seed-97a2c401.example>"
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
stage=$build/deb
rm -rf "$stage"
mkdir -p "$stage/DEBIAN"

DESTDIR=$stage cmake --install "$build" --prefix /usr --strip >/dev/null
test -x "$stage/usr/bin/$package" || { echo "make-deb.sh: cmake --install gave no usr/bin/$package" >&2; exit 1; }
# As dh_strip does: the compiler's notes are of no use in the package.
strip --remove-section=.comment --remove-section=.note "$stage/usr/bin/$package"
test -f "$stage/usr/share/man/man1/$package.1.gz" ||
  { echo "make-deb.sh: no manual page (is $build a QUILLVANE_DIST build?)" >&2; exit 1; }

doc=$stage/usr/share/doc/$package
mkdir -p "$doc"
# A package built from the project itself is a native package: its
# changelog is changelog.gz, in the Debian format.
{
  printf '%s (%s) unstable; urgency=medium\n\n' "$package" "$version"
  printf '  * Quillvane %s.\n\n' "$version"
  printf ' -- %s  %s\n' "$maintainer" "$(LC_ALL=C date -u -R -d "@$SOURCE_DATE_EPOCH")"
} | gzip -9 -n >"$doc/changelog.gz"

# dpkg-shlibdeps wants to run from a source tree with debian/control.
shlibs=$build/deb-shlibs
rm -rf "$shlibs" && mkdir -p "$shlibs/debian"
printf 'Source: quillvane\n\nPackage: %s\nArchitecture: any\n' "$package" >"$shlibs/debian/control"
depends=$(cd "$shlibs" && dpkg-shlibdeps -O "$stage/usr/bin/$package" | sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "make-deb.sh: dpkg-shlibdeps found no dependencies" >&2; exit 1; }
rm -rf "$shlibs"

# The copyright file names the packages whose libraries the tool links, and
# THIRD-PARTY-NOTICES.gz holds their copyright files (scripts/dist/notices.py).
linked=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/ //g' | grep -v '^$' | LC_ALL=C sort -u)
grep -qx 'libexiv2-[0-9]*' <<<"$linked" ||
  { echo "make-deb.sh: the tool does not link Exiv2; packaging/debian/copyright says it does" >&2; exit 1; }
listing=$(while read -r name; do
            printf ' - %s %s\n' "$name" "$(dpkg-query -W -f='${Version}' "$name")"
          done <<<"$linked")
awk -v maintainer="$maintainer" -v listing="$listing" \
  '{ gsub(/@MAINTAINER@/, maintainer) } $0 == "@LINKED@" { print listing; next } { print }' \
  "$root/packaging/debian/copyright" >"$doc/copyright"
# shellcheck disable=SC2086
python3 "$root/scripts/dist/notices.py" debian "$version" "$package" "$doc/THIRD-PARTY-NOTICES" $linked
gzip -9 -n "$doc/THIRD-PARTY-NOTICES"

find "$stage" -type d -exec chmod 0755 {} +
find "$stage" -type f -exec chmod 0644 {} +
chmod 0755 "$stage/usr/bin/$package"

# As dpkg-gencontrol counts it: each file in whole KiB, each folder one,
# whatever file system the stage lies on.
installed_size=$(cd "$stage" && find usr \( -type f -printf '%s\n' \) -o \( -type d -printf '1024\n' \) |
  awk '{ total += int(($1 + 1023) / 1024) } END { print total }')
sed -e "s|@VERSION@|$version|" -e "s|@ARCH@|$arch|" -e "s|@MAINTAINER@|$maintainer|" \
    -e "s|@INSTALLED_SIZE@|$installed_size|" -e "s|@DEPENDS@|$depends|" \
    "$root/packaging/debian/control.in" >"$stage/DEBIAN/control"
(cd "$stage" && find usr -type f | LC_ALL=C sort | xargs md5sum) >"$stage/DEBIAN/md5sums"
chmod 0644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"
find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

mkdir -p "$output"
deb=$output/${package}_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz -z9 --build "$stage" "$deb.part" >/dev/null
mv "$deb.part" "$deb"
echo "$deb"
