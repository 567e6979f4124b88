#!/usr/bin/env bash
# Every text the command-line tool marks for translation has a Japanese
# translation in po/ja.po, so no message falls back to English there after
# a text changed in the sources.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
template=$(mktemp "${TMPDIR:-/tmp}/quillvane-catalogue.XXXXXX")
trap 'rm -f "$template"' EXIT
xgettext --language=C++ --from-code=UTF-8 --keyword=_ --keyword=N_ --keyword=TranslatePlural:1,2 --omit-header -o "$template" "$root"/cli/*.cpp
msgcmp "$root/po/ja.po" "$template"
echo "catalogue: every marked text of cli/ is translated in po/ja.po"
