#!/usr/bin/env bash
# --crop and --resize through the real executable: the output's size, its
# pixels and alpha against the engine's own crop and resize of the same
# picture (tests/tools/resize_picture), the order crop then resize, the
# refusals, and the metadata's dimensions.  $1 is the executable.
set -u

CLI=${1:?usage: resize_crop.sh PATH-TO-quillvane-cli}
case $CLI in /*) ;; *) CLI=$PWD/$CLI ;; esac
PICTURES="python3 $(cd "$(dirname "$0")" && pwd)/pictures.py"
RESIZE=${QUILLVANE_TEST_TOOLS:-$(dirname "$CLI")/tests}/resize_picture
. "$(cd "$(dirname "$0")" && pwd)/lib/common.sh" resize
rgba() { convert "$1" -depth 8 rgba:"$2"; }
size_of() { identify -format '%wx%h' "$1"; }

$PICTURES rgba clear.png 61 37 11 1   # an opaque disc, transparent corners, a soft ring
$PICTURES rgba solid.png 61 37 12 0

# name input crop resize size-expected: shrinking and growing, with and
# without alpha, by per cent, long edge and box.
while read -r name input crop resize size; do
    run convert "$input" --crop "$crop" --resize "$resize" -o "$name.png"
    expect_rc 0 "$name"
    [ "$(size_of "$name.png")" = "$size" ] || fail "$name: $(size_of "$name.png"), expected $size"
    "$RESIZE" "$input" "$crop" "${size%x*}" "${size#*x}" "$name-ref.png" || { fail "$name: no reference"; continue; }
    rgba "$name.png" "$name.rgba" && rgba "$name-ref.png" "$name-ref.rgba"
    cmp -s "$name.rgba" "$name-ref.rgba" || fail "$name: pixels differ from the engine's"
done <<'CASES'
shrink-alpha clear.png 3,2,52,31 50% 25x15
grow-alpha clear.png 10,5,30,20 64px 64x49
box-solid solid.png 0,0,60,36 40x40 40x24
dot-solid solid.png 5,5,20,30 1px 1x1
CASES

# Any command takes them, and --size then measures the resized photo: a
# 10 % watermark of the 61-pixel photo halved is 3 pixels wide, laid in
# the lower right corner 1 pixel in.
run bump solid.png --watermark clear.png --resize 50% --size 10% --gravity se --margin 1px,1px -o bump.png
expect_rc 0 "bump --resize"
[ "$(size_of bump.png)" = 31x19 ] || fail "bump --resize: $(size_of bump.png)"

# Rectangles not wholly inside are refused before anything is written.
run convert solid.png --crop 10,10,61,20 -o outside.png
expect_rc 1 "--crop outside"
grep -qF -- "--crop 10,10,61,20 reaches outside the picture (61 x 37: columns 0..60, rows 0..36)" err.txt ||
    fail "--crop outside: message: $(cat err.txt)"
[ -e outside.png ] && fail "--crop outside: a file was written"
run convert solid.png --resize 50 -o bad.png
expect_rc 2 "--resize without a unit"
run convert solid.png --resize 1000% -o big.png
expect_rc 0 "--resize 1000%"
[ "$(size_of big.png)" = 610x370 ] || fail "--resize 1000%: $(size_of big.png)"
run convert solid.png --resize 1048576x1048576 -o huge.png
expect_rc 1 "--resize beyond the largest picture"
grep -qF "larger than the largest one allowed" err.txt || fail "--resize too large: message: $(cat err.txt)"

# The metadata's dimensions describe the saved picture.
run convert solid.png -o meta.jpg
exiv2 -q -M"set Exif.Photo.PixelXDimension 61" -M"set Exif.Photo.PixelYDimension 37" meta.jpg
run convert meta.jpg --crop 1,1,40,30 --resize 50% -o meta-half.jpg
expect_rc 0 "metadata resize"
[ "$(exiv2 -q -K Exif.Photo.PixelXDimension -Pv meta-half.jpg 2>/dev/null)x$(exiv2 -q -K Exif.Photo.PixelYDimension -Pv meta-half.jpg 2>/dev/null)" = 20x15 ] ||
    fail "the EXIF dimensions are not the saved size 20x15"

[ "$FAILURES" -eq 0 ] && echo "resize_crop: all checks passed"
[ "$FAILURES" -eq 0 ]
