#!/usr/bin/env bash
# Checks what `make dist` put into dist/ (make check-dist runs it):
#
#   tests/dist/check-files.sh [DIST_DIR]
#
#  - SHA256SUMS lists every other file and each sum is right;
#  - each zip holds exactly one folder with quillvane.exe (and, where the
#    tree builds it for Windows, quillvane-cli.exe with its catalogue), the
#    README(s), LICENSE.txt and THIRD-PARTY-NOTICES.txt; each program is the
#    right PE architecture, has no link time, and the program's version
#    resource says the project's version; the texts have CRLF line ends and
#    say what the tree's files say; the notices carry the IJG statement, the
#    MIT licence and the licence of every library the link maps name (and,
#    for quillvane-cli.exe, the GPL's terms), and a library without a known
#    licence stops notices.py;
#  - the source archive holds every file of the tree and the complete
#    Debian sources of the Windows libraries, with one owner and one time;
#  - the .deb is named and versioned after the project, depends on the
#    libraries the tool links, installs the tool, its manual page, bash
#    completion, copyright and notices; the copyright file names every
#    package the tool links and the GPL's terms; the tool from it answers
#    --version and converts a picture; apt-get would install it (simulated);
#    lintian reports no errors; the completion completes.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dist=$(cd "${1:-$root/dist}" && pwd) || exit 1
version=$(sed -n 's/^project(Quillvane VERSION \([0-9][0-9.]*\)[ )].*/\1/p' "$root/CMakeLists.txt")
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
work=$(mktemp -d "${TMPDIR:-/tmp}/quillvane-check-dist.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

deb=quillvane-cli_${version}_${arch}.deb
source_archive=quillvane-$version-src.tar.gz
expected=("quillvane-$version-win32.zip" "quillvane-$version-win64.zip" "$deb" "$source_archive" SHA256SUMS)
actual=$(cd "$dist" && ls -1 | LC_ALL=C sort | tr '\n' ' ')
wanted=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort | tr '\n' ' ')
[ "$actual" = "$wanted" ] && pass "dist holds $wanted" || fail "dist holds '$actual', expected '$wanted'"

listed=$(awk '{ print $2 }' "$dist/SHA256SUMS" | LC_ALL=C sort | tr '\n' ' ')
others=$(cd "$dist" && ls -1 | grep -vx SHA256SUMS | LC_ALL=C sort | tr '\n' ' ')
[ "$listed" = "$others" ] || fail "SHA256SUMS lists '$listed', the folder holds '$others'"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) && pass "SHA256SUMS" || fail "a checksum in SHA256SUMS is wrong"

# ---- the Windows zips ---------------------------------------------------------
readmes=()
for readme in README.ja.md README.md; do [ -f "$root/$readme" ] && readmes+=("$readme"); done
for bits in 32 64; do
  name=quillvane-$version-win$bits
  zip=$dist/$name.zip
  [ -f "$zip" ] || continue
  unzip -tq "$zip" >/dev/null || fail "$name.zip does not test clean"
  members=$(zipinfo -1 "$zip" | LC_ALL=C sort | tr '\n' ' ')
  # The command-line tool and its catalogues where the tree builds it for Windows.
  programs=(quillvane.exe)
  tool=()
  if [ -f "$root/build/dist-win$bits/quillvane-cli.exe" ]; then
    programs+=(quillvane-cli.exe)
    tool=(quillvane-cli.exe locale/ locale/ja/ locale/ja/LC_MESSAGES/ locale/ja/LC_MESSAGES/quillvane-cli.mo)
  fi
  want=$(printf '%s\n' "$name/" "$name/quillvane.exe" "$name/THIRD-PARTY-NOTICES.txt" "$name/LICENSE.txt" \
           "${readmes[@]/#/$name/}" "${tool[@]/#/$name/}" | LC_ALL=C sort | tr '\n' ' ')
  [ "$members" = "$want" ] && pass "$name.zip holds $want" || fail "$name.zip holds '$members', expected '$want'"
  mkdir -p "$work/$bits" && unzip -q -o "$zip" -d "$work/$bits" || { fail "cannot unpack $name.zip"; continue; }
  folder=$work/$bits/$name

  for program in "${programs[@]}"; do
  python3 - "$folder/$program" "$bits" "$version" <<'PY' && pass "$name: $program is $bits-bit, no link time, version $version" || fail "$name: $program (above)"
import struct, sys
path, bits, version = sys.argv[1], sys.argv[2], sys.argv[3]
# Only the Windows program carries a version resource.
resource = path.endswith("/quillvane.exe")
data = open(path, "rb").read()
problems = []
pe = struct.unpack_from("<I", data, 0x3C)[0]
if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
    sys.exit("not a PE file")
machine, _, stamp = struct.unpack_from("<HHI", data, pe + 4)
if machine != {"32": 0x014C, "64": 0x8664}[bits]:
    problems.append("machine 0x%04x" % machine)
if stamp != 0:
    problems.append("link time %d in the header" % stamp)
for key in ("FileVersion", "ProductVersion") if resource else ():
    # VS_VERSIONINFO String: key, NUL, padding to 4 bytes, value (UTF-16).
    at = data.find(key.encode("utf-16-le") + b"\0\0")
    if at < 0:
        problems.append("no %s in the version resource" % key)
        continue
    value_at = at + 2 * len(key) + 2
    value_at += (-value_at) % 4
    value = data[value_at:value_at + 64].decode("utf-16-le", "replace").split("\0")[0]
    if value != version:
        problems.append("%s is %r" % (key, value))
major, minor, patch = (int(n) for n in version.split("."))
fixed = struct.pack("<IIII", 0xFEEF04BD, 0x10000, (major << 16) | minor, patch << 16)
if resource and fixed not in data:
    problems.append("the fixed file version is not %s.0" % version)
for path_piece in (b"/work/", b"/tmp/", b"/home/", b"CMakeFiles"):
    if path_piece in data:
        problems.append("a build path (%r) in the program" % path_piece)
if problems:
    sys.exit("; ".join(problems))
PY
  done

  for text in "${readmes[@]}" THIRD-PARTY-NOTICES.txt LICENSE.txt; do
    file=$folder/$text
    python3 - "$file" <<'PY' || fail "$name/$text: line ends (above)"
import sys
data = open(sys.argv[1], "rb").read()
if data.count(b"\n") != data.count(b"\r\n") or data.count(b"\r") != data.count(b"\r\n"):
    sys.exit("%s: lone LF or CR line ends" % sys.argv[1])
PY
  done
  for text in "${readmes[@]}" LICENSE.txt; do
    python3 - "$folder/$text" "$root/${text%.txt}" <<'PY' && pass "$name/$text: the tree's text with CRLF" || fail "$name/$text differs from the tree's ${text%.txt}"
import sys
shipped = open(sys.argv[1], "rb").read()
if shipped.startswith(b"\xef\xbb\xbf"):
    shipped = shipped[3:]
sys.exit(shipped.replace(b"\r\n", b"\n") != open(sys.argv[2], "rb").read())
PY
  done

  notices=$folder/THIRD-PARTY-NOTICES.txt
  flat=$(tr -d '\r' <"$notices" | tr -s ' \t\n' '   ')
  for phrase in "this software is based in part on the work of the Independent JPEG Group" \
                "Copyright (C)2009-2023 D. R. Commander" \
                "MinGW-w64 runtime licensing" \
                "Copyright (c) 2011 mingw-w64 project" \
                "(C) 2010 Lockless Inc." \
                "Quillvane $version, $bits-bit" \
                "Quillvane's own code is under the MIT licence (LICENSE.txt in this folder)" \
                "$source_archive"; do
    grep -qiF -- "$phrase" <<<"$flat" || fail "$name: THIRD-PARTY-NOTICES.txt lacks \"$phrase\""
  done
  pass "$name: THIRD-PARTY-NOTICES.txt names libjpeg-turbo (IJG, BSD), mingw-w64 runtime, winpthreads, the MIT licence"
  # The tool holds Exiv2 and the libraries of its file types and text marks:
  # their licences, and the GPL's terms for the tool as a whole.
  if [ ${#tool[@]} -gt 0 ]; then
    before=$failures
    for phrase in "quillvane-cli.exe contains Exiv2, which is licensed under the GNU General Public License" \
                  "quillvane-cli.exe is therefore distributed under the terms of that licence (GPL-2.0-or-later)" \
                  "GNU GENERAL PUBLIC LICENSE Version 2, June 1991" \
                  "Portions of this software are copyright © 2022 The FreeType Project" \
                  "THE FREETYPE PROJECT LICENSE" "HarfBuzz is licensed under the so-called" \
                  "Copyright (c) 2018-2022, Randy" "Copyright (c) 1998-2000 Thai Open Source Software Center Ltd" \
                  "Copyright (c) 2010, Google Inc." "(C) 1995-2022 Jean-loup Gailly and Mark Adler" \
                  "Copyright (c) 1999 - 2008, Adobe Systems Incorporated"; do
      grep -qiF -- "$phrase" <<<"$flat" || fail "$name: THIRD-PARTY-NOTICES.txt lacks \"$phrase\""
    done
    [ $failures -eq $before ] && pass "$name: THIRD-PARTY-NOTICES.txt: quillvane-cli.exe under GPL-2.0-or-later, the licences of Exiv2, XMP, zlib, Expat, libspng, libwebp, FreeType, HarfBuzz"
  fi
done

# notices.py refuses a library it knows no licence for, and leaves out what
# is not linked.
map=$root/build/dist-win64/quillvane.map
sources=$root/build/dist-sources/list.txt
if [ -f "$map" ] && [ -f "$sources" ]; then
  sed 's|^\(\S*libjpeg\.a\)(\([^)]*\))|\1(\2)\n/usr/lib/libsomething.a(thing.o)|' "$map" >"$work/unknown.map"
  if python3 "$root/scripts/dist/notices.py" windows "$version" 64-bit "$sources" "$work/unknown.txt" \
       "quillvane.exe=$work/unknown.map" 2>"$work/unknown.err"; then
    fail "notices.py accepted a library it knows no licence for"
  else
    grep -q 'libsomething.a' "$work/unknown.err" && pass "notices.py stops at a library without a known licence" ||
      fail "notices.py failed without naming the library: $(cat "$work/unknown.err")"
  fi
  grep -v 'libwinpthread_la-' "$map" >"$work/nothreads.map"
  python3 "$root/scripts/dist/notices.py" windows "$version" 64-bit "$sources" "$work/nothreads.txt" \
    "quillvane.exe=$work/nothreads.map" && ! grep -q 'Lockless' "$work/nothreads.txt" && grep -q 'Independent JPEG Group' "$work/nothreads.txt" &&
    pass "notices.py leaves out winpthreads when it is not linked" || fail "notices.py kept winpthreads' notice without winpthreads"
fi

# ---- the source archive ---------------------------------------------------------
if [ -f "$dist/$source_archive" ]; then
  top=quillvane-$version
  listing=$(tar -tvzf "$dist/$source_archive") || fail "$source_archive does not unpack"
  names=$(tar -tzf "$dist/$source_archive")
  expected_files=$(git -C "$root" ls-files | sed "s|^|$top/|" | LC_ALL=C sort)
  missing=$(LC_ALL=C comm -23 <(echo "$expected_files") <(LC_ALL=C sort <<<"$names"))
  [ -z "$missing" ] && pass "$source_archive holds every file of the tree" ||
    fail "$source_archive lacks $(head -n 3 <<<"$missing" | tr '\n' ' ')"
  awk '$2 != "0/0" { bad = 1 } END { exit bad }' <<<"$listing" || fail "$source_archive: files not owned by 0/0"
  [ "$(awk '{ print $4 " " $5 }' <<<"$listing" | sort -u | wc -l)" = 1 ] || fail "$source_archive: more than one file time"
  # Each Windows library's Debian source: its .dsc and every file it names.
  mkdir -p "$work/src"
  tar -xzf "$dist/$source_archive" -C "$work/src" "$top/third-party"
  before=$failures
  for library in libjpeg-turbo zlib expat libspng libwebp exiv2 freetype harfbuzz mingw-w64; do
    package=$(awk -v l="$library" '$1 == l { print $2 }' "$work/src/$top/third-party/debian-sources/README")
    dsc=$work/src/$top/third-party/debian-sources/$package/$package.dsc
    if [ -z "$package" ] || [ ! -f "$dsc" ]; then
      fail "$source_archive has no Debian source of $library"
      continue
    fi
    (cd "$(dirname "$dsc")" &&
     awk '/^Checksums-Sha256:/ { on = 1; next } /^[^ ]/ { on = 0 } on && NF == 3 { print $1 "  " $3 }' "$(basename "$dsc")" |
       sha256sum --quiet -c -) || fail "$source_archive: the files of $(basename "$dsc") are not all there"
  done
  [ $failures -eq $before ] && pass "$source_archive: the Debian sources of the Windows libraries, complete"
fi

# ---- the Debian package -----------------------------------------------------------
if [ -f "$dist/$deb" ]; then
  field() { dpkg-deb -f "$dist/$deb" "$1"; }
  [ "$(field Package)" = quillvane-cli ] && [ "$(field Version)" = "$version" ] && [ "$(field Architecture)" = "$arch" ] &&
    pass "$deb: quillvane-cli $version $arch" || fail "$deb: control says $(field Package) $(field Version) $(field Architecture)"
  depends=$(field Depends)
  for library in libc6 libjpeg62-turbo libstdc++6; do
    grep -q "\b$library (>= " <<<"$depends" || fail "$deb: Depends ($depends) lacks $library"
  done
  contents=$(dpkg-deb -c "$dist/$deb" | awk '{ print $6 }' | tr '\n' ' ')
  for path in ./usr/bin/quillvane-cli ./usr/share/man/man1/quillvane-cli.1.gz \
              ./usr/share/bash-completion/completions/quillvane-cli \
              ./usr/share/doc/quillvane-cli/copyright ./usr/share/doc/quillvane-cli/changelog.gz \
              ./usr/share/doc/quillvane-cli/THIRD-PARTY-NOTICES.gz; do
    grep -q " $path " <<<" $contents" || fail "$deb lacks $path"
  done
  dpkg-deb -c "$dist/$deb" | awk '$2 != "root/root" { bad = 1 } END { exit bad }' || fail "$deb: files not owned by root"
  # What apt-get install ./file.deb would do, without doing it.
  if apt-get install -s "$dist/$deb" >"$work/apt.txt" 2>&1 && grep -q '^Inst quillvane-cli ' "$work/apt.txt"; then
    pass "$deb: apt-get install resolves its dependencies"
  else
    cat "$work/apt.txt" >&2
    fail "$deb: apt-get install -s failed"
  fi
  dpkg-deb -x "$dist/$deb" "$work/deb"
  cli=$work/deb/usr/bin/quillvane-cli
  answer=$("$cli" --version)
  [ "$answer" = "quillvane-cli $version" ] && pass "$deb: quillvane-cli --version says $version" ||
    fail "$deb: quillvane-cli --version says '$answer'"
  if "$cli" convert --quality 90 "$root/demo/watermark.bmp" -o "$work/mark.jpg" &&
     [ "$(head -c 3 "$work/mark.jpg" | od -An -tx1 | tr -d ' ')" = ffd8ff ]; then
    pass "$deb: quillvane-cli converts a BMP to JPEG"
  else
    fail "$deb: quillvane-cli could not convert demo/watermark.bmp"
  fi
  grep -q -a -E '/work/|/tmp/|/home/|CMakeFiles' "$cli" && fail "$deb: a build path in quillvane-cli"
  # The copyright file: the MIT licence, every package the tool links, the
  # GPL's terms for the tool; the notices: each of those packages' copyright.
  copyright=$work/deb/usr/share/doc/quillvane-cli/copyright
  before=$failures
  for phrase in "Copyright: 2026 The Quillvane authors" "License: MIT" \
                "distributed under the terms of that licence" "(GPL-2.0-or-later;"; do
    grep -qF -- "$phrase" "$copyright" || fail "$deb: copyright lacks \"$phrase\""
  done
  notices=$(zcat "$work/deb/usr/share/doc/quillvane-cli/THIRD-PARTY-NOTICES.gz")
  for package in $(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/ //g' | grep -v '^$'); do
    grep -q "^ - $package " "$copyright" || fail "$deb: copyright does not name $package, which the tool links"
    grep -qxF "[/usr/share/doc/$package/copyright]" <<<"$notices" ||
      grep -qF "[/usr/share/doc/$package/copyright: the same as" <<<"$notices" ||
      fail "$deb: THIRD-PARTY-NOTICES.gz lacks $package's copyright"
  done
  grep -qF "quillvane-cli is therefore distributed under the terms of that licence" <<<"$(tr -s ' \n' '  ' <<<"$notices")" ||
    fail "$deb: THIRD-PARTY-NOTICES.gz does not give the GPL's terms"
  [ $failures -eq $before ] && pass "$deb: copyright (MIT, GPL-2.0-or-later through Exiv2) and notices name every linked package"
  zcat "$work/deb/usr/share/man/man1/quillvane-cli.1.gz" | grep -qF -- '\-\-watermark' ||
    fail "$deb: the manual page does not describe --watermark"
  if lintian --fail-on error "$dist/$deb" >"$work/lintian.txt" 2>&1; then
    pass "lintian: no errors$(grep -c '^[WI]:' "$work/lintian.txt" | sed 's/^0$//; s/^[1-9].*$/ (&) warnings or notes/')"
  else
    cat "$work/lintian.txt" >&2
    fail "lintian reports errors on $deb"
  fi

  # The completion as bash-completion loads it.
  if [ -f /usr/share/bash-completion/bash_completion ]; then
    cases=$'quillvane-cli fil\tfilter
quillvane-cli effect --kind po\tposterize
quillvane-cli filter --kind e\temboss
quillvane-cli bump --wat\t--watermark
quillvane-cli ysh --cm\t--cmyk
quillvane-cli convert --format j\tjpeg
quillvane-cli --ver\t--version'
    before=$failures
    while IFS=$'\t' read -r line want; do
      got=$(cd "$work" && bash -c '
        . /usr/share/bash-completion/bash_completion
        . "$1"
        COMP_LINE=$2; COMP_POINT=${#COMP_LINE}
        read -r -a COMP_WORDS <<<"$COMP_LINE"; COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _quillvane_cli quillvane-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
        printf "%s\n" "${COMPREPLY[@]}"' _ "$work/deb/usr/share/bash-completion/completions/quillvane-cli" "$line" 2>&1)
      [ "$got" = "$want" ] || fail "completion of '$line' gave '$got', expected '$want'"
    done <<<"$cases"
    [ $failures -eq $before ] && pass "bash completion: commands, options and values"
  fi
fi

if [ $failures -gt 0 ]; then
  echo "check-files: $failures failure(s)" >&2
  exit 1
fi
echo "check-files: every check passed"
