#!/usr/bin/env bash
# Runs the command-line tool from each release file as it is unpacked, in a
# Japanese locale, and checks that it speaks Japanese: the catalogue it
# reads is the one packed beside it, found from where the executable lies
# (make check-dist runs it).
#
#   tests/dist/japanese-messages.sh [DIST_DIR]
#
#  - the .deb, unpacked with dpkg-deb -x into a scratch folder (not
#    installed): usr/bin/quillvane-cli with LC_ALL=ja_JP.UTF-8;
#  - each zip, unpacked into a scratch folder: quillvane-cli.exe under Wine
#    in ja_JP (scripts/wine-run.sh), the 64-bit one always, the 32-bit one
#    where this machine runs 32-bit programs.
# The tool is asked to convert a file that does not exist; its message must
# be po/ja.po's translation of "the file cannot be opened" (UTF-8, or the
# Japanese ANSI code page 932 where the Windows tool writes to a pipe in it).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dist=$(cd "${1:-$root/dist}" && pwd) || exit 1
version=$(sed -n 's/^project(Quillvane VERSION \([0-9][0-9.]*\)[ )].*/\1/p' "$root/CMakeLists.txt")
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
work=$(mktemp -d "${TMPDIR:-/tmp}/quillvane-japanese.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
failures=0

english="the file cannot be opened"
japanese=$(awk -v id="msgid \"$english\"" '$0 == id { getline; sub(/^msgstr "/, ""); sub(/"$/, ""); print; exit }' \
  "$root/po/ja.po")
[ -n "$japanese" ] || { echo "FAIL: po/ja.po has no translation of '$english'" >&2; exit 1; }
japanese_932=$(printf '%s' "$japanese" | iconv -f UTF-8 -t CP932)

# LABEL OUTPUT_FILE: the output holds the Japanese message.
check() {
  if grep -qF -- "$japanese" "$2" || grep -qF -- "$japanese_932" "$2"; then
    echo "ok: $1 says \"$japanese\""
  else
    echo "FAIL: $1 did not give the Japanese message \"$japanese\"; it said:" >&2
    sed 's/^/  /' "$2" >&2
    failures=$((failures + 1))
  fi
}

deb=$dist/quillvane-cli_${version}_${arch}.deb
if [ -f "$deb" ]; then
  mkdir -p "$work/deb" "$work/deb-run"
  dpkg-deb -x "$deb" "$work/deb"
  (cd "$work/deb-run" && LC_ALL=ja_JP.UTF-8 LANGUAGE= "$work/deb/usr/bin/quillvane-cli" convert /nonexist.jpg -o x.bmp) \
    >"$work/deb.out" 2>&1
  check "the .deb's quillvane-cli (unpacked, ja_JP.UTF-8)" "$work/deb.out"
else
  echo "FAIL: no $deb" >&2
  failures=$((failures + 1))
fi

architectures=(64)
if "$root/scripts/probe-win32.sh" >/dev/null; then architectures+=(32); fi
for bits in "${architectures[@]}"; do
  name=quillvane-$version-win$bits
  folder=$work/zip$bits
  mkdir -p "$folder" && unzip -q "$dist/$name.zip" -d "$folder" ||
    { echo "FAIL: cannot unpack $name.zip" >&2; failures=$((failures + 1)); continue; }
  if [ ! -f "$folder/$name/quillvane-cli.exe" ]; then
    echo "FAIL: $name.zip holds no quillvane-cli.exe" >&2
    failures=$((failures + 1))
    continue
  fi
  (cd "$folder/$name" && "$root/scripts/wine-run.sh" ./quillvane-cli.exe convert /nonexist.jpg -o x.bmp) \
    >"$work/win$bits.out" 2>&1
  check "$name/quillvane-cli.exe (unpacked, under Wine in ja_JP)" "$work/win$bits.out"
done

[ $failures -eq 0 ] || { echo "japanese-messages: $failures failure(s)" >&2; exit 1; }
echo "japanese-messages: every packaged tool reads its Japanese catalogue"
