#!/usr/bin/env bash
# Proves that the committed generated files are what their generators draw
# today: the icon and splash picture (scripts/make-resources.py) and the
# demo watermark (scripts/make-watermark.py).  Both generators are
# deterministic; a difference means a generator or a committed file changed
# without the other.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/quillvane-generated.XXXXXX")
trap 'rm -rf "$work"' EXIT

python3 "$root/scripts/make-resources.py" --out "$work" >/dev/null
python3 "$root/scripts/make-watermark.py" "$work/watermark.bmp" >/dev/null
status=0
for pair in quillvane.ico:resources/quillvane.ico splash.bmp:resources/splash.bmp watermark.bmp:demo/watermark.bmp; do
  made=$work/${pair%%:*}
  committed=$root/${pair#*:}
  if ! cmp -s "$made" "$committed"; then
    echo "check-generated: ${pair#*:} differs from what its generator draws now" >&2
    status=1
  fi
done
[ $status -eq 0 ] && echo "check-generated: icon, splash and demo watermark match their generators"
exit $status
