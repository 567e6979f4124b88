#!/usr/bin/env bash
# Finds the Debian source packages the shipped Windows programs were built
# from, fetching what is missing, and prints one line for each:
#
#   scripts/dist/windows-sources.sh CACHE_DIR
#     -> LIBRARY SOURCE_PACKAGE VERSION FOLDER [same-upstream:PACKAGE=VERSION]
#
# FOLDER holds the package's .dsc and the files it names (the .orig and
# .debian tarballs), each checked against the .dsc's SHA-256 sums.
#
# The libraries are those of scripts/windows-deps.versions the programs
# link (GoogleTest only serves the tests), at the revision each was built
# from: the first line of its stamp in build/deps/mingw-ARCH/share/
# quillvane-deps, the same for both architectures.  The mingw-w64 runtime
# and winpthreads, linked into every program, come with the installed
# mingw-w64 packages.  A source already fetched by
# scripts/build-windows-deps.sh (build/deps/work/src/PACKAGE_VERSION) is
# taken from there; anything else is fetched with apt-get source
# --download-only into CACHE_DIR/PACKAGE_VERSION.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
[ $# -eq 1 ] || { echo "usage: windows-sources.sh CACHE_DIR" >&2; exit 2; }
mkdir -p "$1"
cache=$(cd "$1" && pwd)
versions_file=$root/scripts/windows-deps.versions
deps=$root/build/deps
test_only=" googletest "

die() { echo "windows-sources: $*" >&2; exit 1; }

stamped_version() {  # LIBRARY: the Debian revision it was built from
  local arch line version=
  for arch in i686 x86_64; do
    line=$(head -n 1 "$deps/mingw-$arch/share/quillvane-deps/$1" 2>/dev/null) ||
      die "$1 is not built for $arch (run scripts/build-windows-deps.sh)"
    [ "${line%% *}" = "$1" ] || die "the stamp of $1 ($arch) begins '$line'"
    [ -z "$version" ] || [ "$version" = "${line#* }" ] ||
      die "$1 was built from $version for one architecture and ${line#* } for the other"
    version=${line#* }
  done
  echo "$version"
}
source_of() {  # INSTALLED_PACKAGE: its source package and version
  dpkg-query -W -f='${source:Package} ${source:Version}\n' "$1" 2>/dev/null ||
    die "the package $1 is not installed"
}

# The .dsc's files are all there and have the sums it gives.
complete() {  # FOLDER DSC
  local folder=$1 dsc=$2
  [ -f "$folder/$dsc" ] || return 1
  awk '/^Checksums-Sha256:/ { on = 1; next } /^[^ ]/ { on = 0 } on && NF == 3 { print $1 "  " $3 }' \
    "$folder/$dsc" >"$folder/.sums"
  [ -s "$folder/.sums" ] && (cd "$folder" && sha256sum --quiet --status -c .sums 2>/dev/null)
  local status=$?
  rm -f "$folder/.sums"
  return $status
}
# Where the source of PACKAGE VERSION is, fetched if needed; fails when
# the archive does not give it.
locate() {  # PACKAGE VERSION
  local package=$1 version=$2 plain=${2#*:} folder
  local dsc=${package}_${plain}.dsc
  for folder in "$deps/work/src/${package}_${version//:/%}" "$cache/${package}_${plain}"; do
    complete "$folder" "$dsc" && { echo "$folder"; return 0; }
  done
  folder=$cache/${package}_${plain}
  rm -rf "$folder" && mkdir -p "$folder"
  echo "windows-sources: fetching the source of $package $version" >&2
  if (cd "$folder" && apt-get source -q --download-only "$package=$version") >"$folder.log" 2>&1 &&
     complete "$folder" "$dsc"; then
    rm -f "$folder.log"
    echo "$folder"
    return 0
  fi
  tail -n 3 "$folder.log" | sed 's/^/  /' >&2
  rm -rf "$folder" "$folder.log"
  return 1
}

# A library taken from Debian's own mingw-w64 build (zlib) whose source
# has left the archive: the source of the native package it follows, at
# the same upstream version, stands in, and is marked so (the fourth word
# is then "same-upstream:PACKAGE").
while read -r library _ native kind name _; do
  case "$library" in ''|'#'*) continue ;; esac
  case "$test_only" in *" $library "*) continue ;; esac
  version=$(stamped_version "$library")
  case "$kind" in
    source|source~) package=$name ;;
    package)
      read -r package source_version < <(source_of "$name")
      [ "$source_version" = "$version" ] || die "$library was built from $name $version, but $source_version is installed" ;;
    *) die "$library: the Windows programs link it, but it comes from '$kind', which has no Debian source package" ;;
  esac
  if folder=$(locate "$package" "$version"); then
    echo "$library $package $version $folder"
  elif [ "$kind" = package ] && read -r stand_in stand_in_version < <(source_of "$native") &&
       folder=$(locate "$stand_in" "$stand_in_version"); then
    echo "windows-sources: the archive has no source of $package $version; $stand_in $stand_in_version (upstream ${version%%[+-]*} too) stands in" >&2
    echo "$library $stand_in $stand_in_version $folder same-upstream:$package=$version"
  else
    die "apt-get source $package=$version failed (is there a deb-src line, and has apt-get update run?)"
  fi
done <"$versions_file"

read -r package version < <(source_of mingw-w64-x86-64-dev)
[ "$(source_of mingw-w64-i686-dev)" = "$package $version" ] ||
  die "mingw-w64-i686-dev and mingw-w64-x86-64-dev come from different sources"
folder=$(locate "$package" "$version") || die "apt-get source $package=$version failed"
echo "mingw-w64 $package $version $folder"
