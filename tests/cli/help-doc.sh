#!/usr/bin/env bash
# docs/command-line.md quotes the tool's --help text between two marker
# lines, inside a fenced block; the quote must equal the output byte for byte.
#
#   bash tests/cli/help-doc.sh CLI            check
#   bash tests/cli/help-doc.sh CLI --write    replace the quote with the output
set -euo pipefail
CLI=${1:?usage: help-doc.sh QUILLVANE-CLI [--write]}
root=$(cd "$(dirname "$0")/../.." && pwd)
doc=$root/docs/command-line.md
begin='<!-- help:begin -->'
end='<!-- help:end -->'

work=$(mktemp -d "${TMPDIR:-/tmp}/qv-help-doc.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The English text, whatever the caller's locale.
env -u LANGUAGE LANG=C.UTF-8 LC_ALL= "$CLI" --help >"$work/help.txt"

[ "$(grep -cxF "$begin" "$doc")" = 1 ] && [ "$(grep -cxF "$end" "$doc")" = 1 ] ||
  { echo "help-doc: $doc needs one line '$begin' and one line '$end'" >&2; exit 1; }

# The lines between the markers: an opening fence, the text, a closing fence.
awk -v begin="$begin" -v end="$end" '
  $0 == end { inside = 0 }
  inside { print }
  $0 == begin { inside = 1 }
' "$doc" >"$work/block.txt"
first=$(head -n 1 "$work/block.txt")
last=$(tail -n 1 "$work/block.txt")
[[ $first == '```'* ]] && [ "$last" = '```' ] ||
  { echo "help-doc: the lines between the markers in $doc must be a \`\`\` fenced block" >&2; exit 1; }
sed '1d;$d' "$work/block.txt" >"$work/quoted.txt"

if [ "${2:-}" = --write ]; then
  awk -v begin="$begin" -v end="$end" -v fence="$first" -v help="$work/help.txt" '
    $0 == begin { print; print fence; while ((getline line < help) > 0) print line; print "```"; skip = 1; next }
    $0 == end { skip = 0 }
    !skip { print }
  ' "$doc" >"$work/doc.md"
  cat "$work/doc.md" >"$doc"
  echo "help-doc: docs/command-line.md now quotes the --help of $CLI"
  exit 0
fi

if cmp -s "$work/help.txt" "$work/quoted.txt"; then
  echo "help-doc: docs/command-line.md quotes --help exactly ($(wc -l <"$work/help.txt") lines)"
  exit 0
fi
echo "FAIL: docs/command-line.md does not quote 'quillvane-cli --help' exactly" >&2
echo "--- docs/command-line.md, +++ quillvane-cli --help:" >&2
diff -u "$work/quoted.txt" "$work/help.txt" | tail -n +3 >&2 || true
echo "To refresh the quote: bash tests/cli/help-doc.sh $CLI --write" >&2
echo "(then read the rest of docs/command-line.md against the new text)" >&2
exit 1
