#!/usr/bin/env bash
# Extracts quillvane-cli's texts into po/quillvane-cli.pot and merges them
# into every po/LANG.po (then translate the new or fuzzy entries there).
set -euo pipefail
cd "$(dirname "$0")/.."
xgettext --language=C++ --from-code=UTF-8 --keyword=_ --keyword=N_ --keyword=TranslatePlural:1,2 \
  --add-comments=TRANSLATORS: --package-name=quillvane-cli --msgid-bugs-address= \
  --no-location --sort-output -o po/quillvane-cli.pot \
  cli/*.cpp
for po in po/*.po; do
  msgmerge --quiet --update --backup=none --no-fuzzy-matching --no-location --sort-output "$po" po/quillvane-cli.pot
done
