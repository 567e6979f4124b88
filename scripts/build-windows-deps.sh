#!/usr/bin/env bash
# Builds the static Windows libraries the programs and their tests link, for
# each architecture given (default: i686 and x86_64), into
# build/deps/mingw-ARCH (headers, static libraries and pkg-config files,
# which find themselves wherever the folder is copied):
#
#   libjpeg-turbo (the 6b interface, library version 62) and GoogleTest;
#   zlib (Debian's mingw-w64 build), expat, libspng, libwebp with its mux
#   library, Exiv2 (XMP and PNG support; no video, BMFF, network access or
#   translations), FreeType and HarfBuzz (on FreeType alone).
#
#   scripts/build-windows-deps.sh [i686] [x86_64]
#
# Versions: scripts/windows-deps.versions.  Each library is built from the
# Debian 12 source at the revision of the native package it follows, and
# the build stops when the installed native package and that file disagree.
# Only the libraries are built: no tools, tests, documentation or shared
# libraries.  A library is built again only when its version, its recipe
# below or a library it uses changed (stamps in build/deps/mingw-ARCH/
# share/quillvane-deps).  The architectures build side by side, sharing
# JOBS compile jobs (default: the number of processors).  A failed library
# stops the build with the last lines of its log (build/deps/work/logs).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$root/build/deps/work
sources=$work/src
logs=$work/logs
versions_file=$root/scripts/windows-deps.versions
architectures=("$@")
[ ${#architectures[@]} -gt 0 ] || architectures=(i686 x86_64)

say() { echo "build-windows-deps: $*" >&2; }
die() { say "$*"; exit 1; }

for arch in "${architectures[@]}"; do
  case "$arch" in
    i686|x86_64) ;;
    *) echo "build-windows-deps: unknown architecture '$arch' (i686 or x86_64)" >&2; exit 2 ;;
  esac
done

# Build order: each library after those it uses.
order=(zlib expat libspng libwebp freetype harfbuzz exiv2 libjpeg-turbo googletest)
declare -A uses=([libspng]="zlib" [freetype]="zlib" [harfbuzz]="freetype" [exiv2]="zlib expat")

declare -A upstream native_package origin origin_name origin_extra
while read -r library version native kind name extra; do
  case "$library" in ''|'#'*) continue ;; esac
  upstream[$library]=$version
  native_package[$library]=$native
  origin[$library]=$kind
  origin_name[$library]=$name
  origin_extra[$library]=${extra:-}
done <"$versions_file"
for library in "${order[@]}"; do
  [ -n "${upstream[$library]:-}" ] || die "$versions_file has no line for $library"
done

installed_version() {
  dpkg-query -W -f='${db:Status-Status} ${Version}\n' "$1" 2>/dev/null | awk '$1 == "installed" { print $2 }'
}
# 1:1.2.13.dfsg-1 -> 1.2.13, 2.12.1+dfsg-5+deb12u4 -> 2.12.1
upstream_of() {
  local v=${1#*:}
  v=${v%-*}
  echo "${v%%[.+~]dfsg*}"
}
# The installed version of PACKAGE, which must be at upstream version UPSTREAM.
checked_version() {
  local library=$1 package=$2 version
  version=$(installed_version "$package")
  [ -n "$version" ] || die "$library: the package $package is not installed (scripts/install-deps.sh and scripts/install-windows-deps.sh install it)"
  [ "$(upstream_of "$version")" = "${upstream[$library]}" ] ||
    die "$library: the installed $package is $version, but $versions_file says ${upstream[$library]}; bring the two together (and build both again)"
  echo "$version"
}

# ---- Which Debian revision each library is built from ----
# candidates[L]: the revisions it may be built from, the preferred first.
declare -A candidates chosen
for library in "${order[@]}"; do
  native=$(checked_version "$library" "${native_package[$library]}")
  case "${origin[$library]}" in
    source)
      candidates[$library]=$native ;;
    source~)
      others=$(apt-cache showsrc --only-source "${origin_name[$library]}" 2>/dev/null | awk '/^Version:/ { print $2 }' |
               sort -u | while read -r v; do [ "$(upstream_of "$v")" = "${upstream[$library]}" ] && [ "$v" != "$native" ] && echo "$v"; done |
               sort -r -V)
      candidates[$library]=$(echo $native $others) ;;
    package)
      chosen[$library]=$(checked_version "$library" "${origin_name[$library]}") ;;
    tree)
      version=$(installed_version "${origin_extra[$library]}")
      [ "$version" = "$native" ] && [ -d "${origin_name[$library]}" ] ||
        die "$library: ${origin_name[$library]} (package ${origin_extra[$library]} ${version:-not installed}) is not the source of the installed ${native_package[$library]} $native"
      chosen[$library]=$native ;;
    *) die "$versions_file: $library: unknown origin '${origin[$library]}'" ;;
  esac
done

# A source tree's folder: build/deps/work/src/PACKAGE_VERSION/PACKAGE-UPSTREAM.
source_folder() {
  local folder=$sources/${origin_name[$1]}_${2//:/%}
  find "$folder" -mindepth 1 -maxdepth 1 -type d 2>/dev/null | head -n 1
}
# Fetches the first of the library's candidate revisions the archive has
# (apt-get source unpacks it with Debian's patches applied).
fetch_source() {
  local library=$1 package=${origin_name[$1]} version folder tried=()
  for version in ${candidates[$library]}; do
    [ -n "$(source_folder "$library" "$version")" ] && { chosen[$library]=$version; return 0; }
  done
  mkdir -p "$logs"
  for version in ${candidates[$library]}; do
    folder=$sources/${package}_${version//:/%}
    rm -rf "$folder" && mkdir -p "$folder"
    say "fetching the source of $package $version"
    if (cd "$folder" && apt-get source -q "$package=$version") >"$logs/source-$library.log" 2>&1 &&
       [ -n "$(source_folder "$library" "$version")" ]; then
      chosen[$library]=$version
      [ "$version" = "${candidates[$library]%% *}" ] ||
        say "$library: the source of the native revision ${candidates[$library]%% *} is not in the archive; building $version (upstream ${upstream[$library]} too)"
      return 0
    fi
    rm -rf "$folder"
    tried+=("$version")
  done
  tail -n 5 "$logs/source-$library.log" >&2
  die "$library: apt-get source $package gave none of the revisions ${tried[*]} (the native ${native_package[$library]} is ${candidates[$library]%% *}); is there a deb-src line (scripts/install-windows-deps.sh adds one) and has apt-get update run?"
}

# ---- The recipes: each configures, builds and installs one library into
# $prefix for $arch with $jobs compile jobs, from source folder $src ----

# The libraries added for the photo formats and text are compiled as
# Debian compiles them (-O2), with SSE2 arithmetic in the 32-bit build as in
# the programs, so that both builds compute what the native one does.
library_flags() {
  local flags="-ffile-prefix-map=$work/=${*:+ $*}"
  [ "$arch" = i686 ] && flags="-msse2 -mfpmath=sse $flags"
  printf '%s\n' "-DCMAKE_C_FLAGS=$flags" "-DCMAKE_CXX_FLAGS=$flags" \
         "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG" "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG"
}
cmake_library() {  # NAME SOURCE [CMAKE ARGUMENTS...]
  local build=$work/$1-$arch
  rm -rf "$build"
  cmake -S "$2" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "${@:3}"
  cmake --build "$build" -j "$jobs"
  cmake --install "$build"
  rm -rf "$prefix/bin" "$prefix/share/doc" "$prefix/share/man"
}
# A pkg-config file that finds the library wherever the prefix is copied.
write_pc() {  # NAME VERSION LIBS [CFLAGS] [REQUIRES.PRIVATE] [LIBS.PRIVATE]
  mkdir -p "$prefix/lib/pkgconfig"
  cat >"$prefix/lib/pkgconfig/$1.pc" <<EOF
prefix=\${pcfiledir}/../..
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: $1
Description: $1, static, for Windows
Version: $2
Requires.private: ${5:-}
Libs: -L\${libdir} $3
Libs.private: ${6:-}
Cflags: -I\${includedir} ${4:-}
EOF
}
# The pkg-config files a library installed, made to find themselves.
relocate_pc() {
  local pc
  for pc in "$prefix"/lib/pkgconfig/*.pc; do
    [ -f "$pc" ] && sed -i "s|$prefix|\${pcfiledir}/../..|g" "$pc"
  done
  return 0
}
zlib_options() { printf '%s\n' "-DZLIB_LIBRARY=$prefix/lib/libz.a" "-DZLIB_INCLUDE_DIR=$prefix/include"; }

build_zlib() {
  local sysroot=/usr/$arch-w64-mingw32
  mkdir -p "$prefix/lib" "$prefix/include"
  cp "$sysroot/lib/libz.a" "$prefix/lib/"
  cp "$sysroot/include/zlib.h" "$sysroot/include/zconf.h" "$prefix/include/"
  write_pc zlib "${upstream[zlib]}" -lz
}
# Debian's patches test XML_DTD == 1, as its configure script defines it;
# expat's CMake build would define it empty.
build_expat() {
  local IFS=$'\n'
  cmake_library expat "$src/expat" $(library_flags -DXML_DTD=1) -DEXPAT_DTD=OFF -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF \
    -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_FUZZERS=OFF \
    -DEXPAT_BUILD_PKGCONFIG=ON
  relocate_pc
}
# Debian builds libspng without its SIMD filters (enable_opt=false).  Its
# CMake file cannot configure the static library alone, so only that
# target is built, and installed by hand.
build_libspng() {
  local IFS=$'\n'
  rm -rf "$work/libspng-$arch"
  cmake -S "$src" -B "$work/libspng-$arch" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release $(library_flags) $(zlib_options) -DSPNG_SHARED=ON -DSPNG_STATIC=ON \
        -DBUILD_EXAMPLES=OFF -DENABLE_OPT=OFF
  cmake --build "$work/libspng-$arch" -j "$jobs" --target spng_static
  cp "$work/libspng-$arch/libspng_static.a" "$prefix/lib/"
  cp "$src/spng/spng.h" "$prefix/include/"
  write_pc spng "${upstream[libspng]}" -lspng_static -DSPNG_STATIC zlib
}
build_libwebp() {
  local IFS=$'\n'
  cmake_library libwebp "$src" $(library_flags) -DBUILD_SHARED_LIBS=OFF -DWEBP_BUILD_ANIM_UTILS=OFF \
    -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF \
    -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF \
    -DWEBP_BUILD_LIBWEBPMUX=ON
  relocate_pc
}
# Debian's FreeType without bzip2 and HarfBuzz; PNG (colour bitmap glyphs)
# and Brotli (WOFF2) left out too.
build_freetype() {
  local IFS=$'\n'
  cmake_library freetype "$src" $(library_flags) $(zlib_options) -DBUILD_SHARED_LIBS=OFF -DFT_REQUIRE_ZLIB=ON \
    -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
  relocate_pc
}
# HarfBuzz's function checks link against FreeType, which needs zlib after it.
build_harfbuzz() {
  local IFS=$'\n'
  cmake_library harfbuzz "$src" $(library_flags) -DBUILD_SHARED_LIBS=OFF -DHB_HAVE_FREETYPE=ON \
    "-DFREETYPE_LIBRARY=$prefix/lib/libfreetype.a;$prefix/lib/libz.a" \
    "-DFREETYPE_INCLUDE_DIR_ft2build=$prefix/include/freetype2" \
    "-DFREETYPE_INCLUDE_DIR_freetype2=$prefix/include/freetype2" \
    -DHB_HAVE_GLIB=OFF -DHB_HAVE_ICU=OFF -DHB_HAVE_GRAPHITE2=OFF -DHB_HAVE_GOBJECT=OFF \
    -DHB_HAVE_INTROSPECTION=OFF -DHB_HAVE_UNISCRIBE=OFF -DHB_HAVE_GDI=OFF -DHB_HAVE_DIRECTWRITE=OFF \
    -DHB_BUILD_UTILS=OFF -DHB_BUILD_SUBSET=OFF
  relocate_pc
}
# Exiv2 0.27 marks its interface for a DLL unless exiv2lib_STATIC is defined
# (exiv2lib_export.h), in the library and in every program using it.  Its
# version.cpp holds the date and time of the build: the changelog's.
build_exiv2() {
  local IFS=$'\n' SOURCE_DATE_EPOCH
  SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l "$src/debian/changelog" -STimestamp)
  export SOURCE_DATE_EPOCH
  cmake_library exiv2 "$src" $(library_flags -Dexiv2lib_STATIC) $(zlib_options) -DBUILD_SHARED_LIBS=OFF \
    "-DEXPAT_LIBRARY=$prefix/lib/libexpat.a" "-DEXPAT_INCLUDE_DIR=$prefix/include" \
    -DEXIV2_ENABLE_XMP=ON -DEXIV2_ENABLE_EXTERNAL_XMP=OFF -DEXIV2_ENABLE_PNG=ON -DEXIV2_ENABLE_NLS=OFF \
    -DEXIV2_ENABLE_VIDEO=OFF -DEXIV2_ENABLE_BMFF=OFF -DEXIV2_ENABLE_WEBREADY=OFF -DEXIV2_ENABLE_CURL=OFF \
    -DEXIV2_ENABLE_SSH=OFF -DEXIV2_ENABLE_WIN_UNICODE=OFF -DEXIV2_BUILD_SAMPLES=OFF \
    -DEXIV2_BUILD_EXIV2_COMMAND=OFF -DEXIV2_BUILD_UNIT_TESTS=OFF -DEXIV2_BUILD_DOC=OFF \
    -DCMAKE_DISABLE_FIND_PACKAGE_Iconv=ON -DCMAKE_DISABLE_FIND_PACKAGE_Python3=ON
  rm -f "$prefix/lib/pkgconfig/exiv2.pc"
  write_pc exiv2 "${upstream[exiv2]}" -lexiv2 "-Dexiv2lib_STATIC -DWIN32_LEAN_AND_MEAN" "expat, zlib" \
    "-lexiv2-xmp -lpsapi -lws2_32 -lshell32"
}
build_libjpeg-turbo() {
  cmake_library jpeg "$src" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF \
    -DWITH_JPEG7=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=OFF
  relocate_pc
}
build_googletest() {
  cmake_library gtest "$src" -Dgtest_disable_pthreads=OFF -DBUILD_GMOCK=ON
  relocate_pc
}

# ---- What needs building ----
declare -A key
recipe_key() {  # LIBRARY: what its build depends on
  local library=$1 used
  key[$library]="$library ${chosen[$library]:-?}"$'\n'"$(declare -f "build_$library" cmake_library library_flags \
    write_pc relocate_pc zlib_options)"
  for used in ${uses[$library]:-}; do key[$library]+=$'\n'"${key[$used]}"; done
}
stamp_of() { echo "$root/build/deps/mingw-$2/share/quillvane-deps/$1"; }
needs_build() {  # LIBRARY ARCH
  [ "$(cat "$(stamp_of "$1" "$2")" 2>/dev/null)" != "${key[$1]}" ]
}
# A library already built from one of its candidate revisions keeps it.
for library in "${order[@]}"; do
  [ -z "${chosen[$library]:-}" ] || continue
  for version in ${candidates[$library]}; do
    if [ -n "$(source_folder "$library" "$version")" ] ||
       grep -qxF "$library $version" "$(stamp_of "$library" "${architectures[0]}")" 2>/dev/null; then
      chosen[$library]=$version
      break
    fi
  done
done
for library in "${order[@]}"; do recipe_key "$library"; done
for library in "${order[@]}"; do
  for arch in "${architectures[@]}"; do
    if needs_build "$library" "$arch" && [ -n "${candidates[$library]:-}" ]; then
      fetch_source "$library"
      break
    fi
  done
done
for library in "${order[@]}"; do recipe_key "$library"; done

# ---- Building, one pipeline per architecture ----
failed=$work/failed
rm -f "$failed"
build_architecture() {  # ARCH JOBS
  arch=$1 jobs=$2
  prefix=$root/build/deps/mingw-$arch
  mkdir -p "$prefix/share/quillvane-deps" "$logs"
  local library log
  for library in "${order[@]}"; do
    needs_build "$library" "$arch" || continue
    [ ! -e "$failed" ] || return 1
    case "${origin[$library]}" in
      tree) src=${origin_name[$library]} ;;
      source*) src=$(source_folder "$library" "${chosen[$library]}") ;;
      *) src= ;;
    esac
    log=$logs/$library-$arch.log
    say "building $library ${chosen[$library]} for Windows ($arch)"
    local start=$SECONDS
    # Not in a condition, so that the recipe stops at its first failure.
    set +e
    (set -e; "build_$library") >"$log" 2>&1
    local status=$?
    set -e
    if [ $status -ne 0 ]; then
      echo "$library $arch" >>"$failed"
      return 1
    fi
    echo "${key[$library]}" >"$(stamp_of "$library" "$arch")"
    say "built $library for $arch in $((SECONDS - start)) s"
  done
  say "Windows libraries ($arch) in $prefix"
}

jobs_total=${JOBS:-$(nproc)}
jobs_each=$(( jobs_total / ${#architectures[@]} ))
[ "$jobs_each" -ge 1 ] || jobs_each=1
pids=()
for arch in "${architectures[@]}"; do
  build_architecture "$arch" "$jobs_each" &
  pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
if [ $status -ne 0 ]; then
  [ -s "$failed" ] || die "a build stopped without saying why"
  while read -r library arch; do
    say "$library failed for $arch; the last lines of $logs/$library-$arch.log:"
    tail -n 40 "$logs/$library-$arch.log" >&2
  done <"$failed"
  exit 1
fi
