#!/usr/bin/env bash
# The tool finds its catalogues relative to its executable: in
# ../share/locale (the package: /usr/bin and /usr/share/locale) and in
# locale/ beside it (the Windows zip, the build tree), whatever prefix it
# was built for.  $1 is the executable; its build tree holds the catalogue.
set -u
CLI=$(realpath "${1:?usage: catalogue_lookup.sh PATH-TO-quillvane-cli}")
MO=$(dirname "$CLI")/locale/ja/LC_MESSAGES/quillvane-cli.mo
. "$(cd "$(dirname "$0")" && pwd)/lib/common.sh" catalogue-lookup
[ -f "$MO" ] || { echo "catalogue_lookup: no catalogue at $MO" >&2; exit 1; }
locale -a 2>/dev/null | grep -qi '^ja_JP.utf-\?8$' || { echo "catalogue_lookup: no ja_JP.UTF-8 locale: skipped"; exit 0; }

check() {  # TOOL WHAT: Japanese under ja_JP, English under C
    LANG=ja_JP.UTF-8 "$1" convert missing.jpg -o x.png 2>ja.txt
    grep -q '^quillvane-cli: missing.jpg: ファイルのオープンに失敗しました$' ja.txt || fail "$2: not Japanese: $(cat ja.txt)"
    LANG=C.UTF-8 "$1" convert missing.jpg -o x.png 2>en.txt
    grep -q '^quillvane-cli: missing.jpg: the file cannot be opened$' en.txt || fail "$2: not English: $(cat en.txt)"
}

mkdir -p package/bin package/share/locale/ja/LC_MESSAGES
cp "$CLI" package/bin/ && cp "$MO" package/share/locale/ja/LC_MESSAGES/
check package/bin/quillvane-cli "bin/ with share/locale"

mkdir -p zip/locale/ja/LC_MESSAGES
cp "$CLI" zip/ && cp "$MO" zip/locale/ja/LC_MESSAGES/
check zip/quillvane-cli "locale/ beside the tool"

[ "$FAILURES" -eq 0 ] || exit 1
echo "catalogue_lookup: the catalogues are found beside the tool and in ../share/locale"
