#!/usr/bin/env bash
# quillvane-cli on a full disk: every save that cannot be completed exits 1
# with a message, keeps the existing output byte for byte and leaves no
# temporary or half-written file.
set -u
CLI=$(realpath "${1:?usage: write_failures.sh PATH-TO-quillvane-cli}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0

# A 200 x 150 picture of noise: every output, JPEG too, is well over 4 KiB.
python3 - "$work/in.bmp" <<'PY'
import struct, sys
import random
w, h = 200, 150
rng = random.Random(6)
rows = bytes(rng.randrange(256) for _ in range(w * h * 3))
info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(rows), 0, 0, 0, 0)
open(sys.argv[1], 'wb').write(b'BM' + struct.pack('<IHHI', 54 + len(rows), 0, 0, 54) + info + rows)
PY

for args in "--bmp-depth 16 -o out.bmp" "--bmp-depth 24 -o out.bmp" "--bmp-depth 32 -o out.bmp" \
            "-o out.jpg" "--progressive --quality 100 -o out.jpg"; do
  for blocks in 0 1 2 3; do
    out=${args##*-o }
    printf 'old output' > "$work/$out"
    # ulimit -f counts 1024-byte blocks; the signal is ignored so that the
    # write fails as on a full disk instead of killing the program.  The
    # messages go through a pipe, which the limit does not touch.
    (cd "$work" && trap '' XFSZ && ulimit -f "$blocks" && exec "$CLI" convert in.bmp $args) 2>&1 >/dev/null \
      | cat > "$work/err"
    status=${PIPESTATUS[0]}
    if [ "$status" -ne 1 ]; then
      echo "FAIL: convert $args with $blocks KiB of room: exit $status, expected 1"; fail=1
    fi
    if ! cmp -s "$work/$out" <(printf 'old output'); then
      echo "FAIL: convert $args with $blocks KiB of room changed the existing output"; fail=1
    fi
    if ! grep -q "quillvane-cli: $out:" "$work/err"; then
      echo "FAIL: convert $args with $blocks KiB of room: no message naming $out:"; cat "$work/err"; fail=1
    fi
    leftovers=$(cd "$work" && ls | grep -v -x -e in.bmp -e err -e out.bmp -e out.jpg)
    if [ -n "$leftovers" ]; then
      echo "FAIL: convert $args with $blocks KiB of room left: $leftovers"; fail=1
    fi
    rm -f "$work/out.bmp" "$work/out.jpg"
  done
  # Without an existing output nothing at all may appear.
  out=${args##*-o }
  (cd "$work" && trap '' XFSZ && ulimit -f 1 && exec "$CLI" convert in.bmp $args) 2>/dev/null
  if [ -e "$work/$out" ]; then
    echo "FAIL: convert $args on a full disk left a half-written $out"; fail=1
  fi
done
[ "$fail" -eq 0 ] && echo "write failures: all cases passed"
exit "$fail"
