#!/usr/bin/env bash
# text-mark and bump --text through the real executable: the mark file is
# the same bytes every run (and a known checksum for one installed font,
# bevelled by default and flat with --bevel 0),
# PNG and BMP marks hold the same pixels, bump --text stamps exactly what
# text-mark + --watermark stamps, on the demo photograph, in one process and
# in workers (also beside a file that fails), and every problem is exit 2
# with nothing written.  $1 is the executable.
set -u

CLI=${1:?usage: text_mark.sh PATH-TO-quillvane-cli}
case $CLI in /*) ;; *) CLI=$PWD/$CLI ;; esac
PHOTO=/usr/share/xplanet/images/earth.jpg   # 2048 x 1024, from xplanet-images
IPA=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf
DEJAVU=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
for file in "$PHOTO" "$IPA" "$DEJAVU"; do
    [ -r "$file" ] || { echo "text_mark.sh: $file is missing (run scripts/install-deps.sh)" >&2; exit 1; }
done
. "$(cd "$(dirname "$0")" && pwd)/lib/common.sh" text

TEXT='© 2026 山田写真事務所'

# ---- the mark file -----------------------------------------------------------
run text-mark "$TEXT" --font "$IPA" --text-height 128 --soften 2 -o one.bmp
[ "$RC" -eq 0 ] || fail "text-mark: exit $RC: $(cat err.txt)"
run text-mark "$TEXT" --font "$IPA" --text-height 128 --soften 2 -o two.bmp
cmp -s one.bmp two.bmp || fail "text-mark draws different bytes on two runs"
# 24-bit BMP of 1350 x 133: the ink of this text in this font plus 7 pixels
# of padding on every side.  The checksum holds for Debian 12's FreeType
# and HarfBuzz; a change means every user's marks change.
[ "$(od -An -tu4 -j18 -N8 one.bmp | tr -s ' ')" = " 1350 133" ] ||
    fail "text-mark: size $(od -An -tu4 -j18 -N8 one.bmp)"
SUM=$(sha256sum one.bmp | cut -d' ' -f1)
[ "$SUM" = "ccfd84aadd0c5c775b0316807b918ede12b4018c64937634e2d49d462aa78d09" ] || fail "text-mark: checksum $SUM"
# The letters are bevelled by round(128 / 10) = 13 pixels unless told
# otherwise; --bevel 0 gives the flat letters text-mark drew before.
run text-mark "$TEXT" --font "$IPA" --text-height 128 --soften 2 --bevel 13 -o bevel13.bmp
cmp -s one.bmp bevel13.bmp || fail "text-mark: the default bevel of a 128-pixel text is not --bevel 13"
run text-mark "$TEXT" --font "$IPA" --text-height 128 --soften 2 --bevel 0 -o flat.bmp
SUM=$(sha256sum flat.bmp | cut -d' ' -f1)
[ "$SUM" = "7bf5aaa4c6286ed964ac9271d70c4942a7963921c25643fad36a0291b102ee9f" ] || fail "text-mark --bevel 0: checksum $SUM"
# By family name, as fontconfig finds it: the same drawing.
run text-mark "$TEXT" --font IPAGothic --text-height 128 --soften 2 -o family.bmp
cmp -s one.bmp family.bmp || fail "text-mark --font IPAGothic differs from the file $IPA"
# As PNG: the same pixels (read back by ImageMagick), 8-bit RGB.
run text-mark "$TEXT" --font "$IPA" --text-height 128 --soften 2 -o one.png
[ "$RC" -eq 0 ] || fail "text-mark -o one.png: exit $RC: $(cat err.txt)"
convert one.bmp rgb:one-bmp.rgb && convert one.png rgb:one-png.rgb
cmp -s one-bmp.rgb one-png.rgb || fail "text-mark: the PNG mark's pixels differ from the BMP mark's"
[ "$(identify -format '%wx%h %[channels]' one.png)" = "1350x133 srgb" ] ||
    fail "text-mark -o one.png: $(identify -format '%wx%h %[channels]' one.png)"

# ---- bump --text is text-mark + --watermark, bit for bit -------------------------
# Each case: the text, its options, then the bump options.
# The mark goes through a BMP file, or through the PNG file a fifth
# argument names.
equivalent() {
    local text=$1 text_options=$2 bump_options=$3 name=$4 mark_type=${5:-bmp}
    # shellcheck disable=SC2086
    "$CLI" text-mark "$text" $text_options -o "mark-$name.$mark_type" 2>err.txt ||
        { fail "$name: text-mark failed: $(cat err.txt)"; return; }
    # shellcheck disable=SC2086
    "$CLI" bump --watermark "mark-$name.$mark_type" $bump_options "$PHOTO" -o "file-$name.bmp" 2>err.txt ||
        { fail "$name: bump --watermark failed: $(cat err.txt)"; return; }
    # shellcheck disable=SC2086
    "$CLI" bump --text "$text" $text_options $bump_options "$PHOTO" -o "text-$name.bmp" 2>err.txt ||
        { fail "$name: bump --text failed: $(cat err.txt)"; return; }
    cmp -s "file-$name.bmp" "text-$name.bmp" || fail "$name: bump --text differs from text-mark + --watermark"
    cmp -s "file-$name.bmp" photo-only.bmp && fail "$name: the stamp changed nothing"
}
"$CLI" convert "$PHOTO" -o photo-only.bmp
equivalent "$TEXT" "--font $IPA --text-height 128" "--no-enlarge --offset 300,400 --strength 60" own-size
equivalent "$TEXT" "--font $IPA --text-height 64 --soften 3" "--tile --azimuth 30" tiled-soft
equivalent 'AVATAR office\nשלום © 2026' "--font $DEJAVU --align right --soften 10" \
    "--keep-aspect --region 100,100,1499,899" stretched
# The usual text mark: a third of the width in the lower right corner.
equivalent "$TEXT" "--font $IPA --soften 2" "--size 30% --gravity se --margin 2%,3% --strength 60" corner png
TWO_LINES='Quillvane\n山田写真事務所'
"$CLI" text-mark "$TWO_LINES" --align center -o lines.bmp 2>err.txt || fail "two lines: $(cat err.txt)"
"$CLI" bump --watermark lines.bmp --no-enlarge "$PHOTO" -o lines-file.bmp
"$CLI" bump --text "$TWO_LINES" --align center --no-enlarge "$PHOTO" -o lines-text.bmp
cmp -s lines-file.bmp lines-text.bmp || fail "two centred lines in the default font: bump --text differs"

# --bevel on a watermark file bevels it at its own size before --size
# resizes it, as the text mark's own bevel does.
"$CLI" text-mark "$TEXT" --font "$IPA" --text-height 96 --bevel 0 -o flat-mark.png
"$CLI" bump --watermark flat-mark.png --bevel 10 --size 40% --gravity sw "$PHOTO" -o bevel-file.bmp
"$CLI" bump --text "$TEXT" --font "$IPA" --text-height 96 --size 40% --gravity sw "$PHOTO" -o bevel-text.bmp
cmp -s bevel-file.bmp bevel-text.bmp || fail "bump --watermark --bevel 10 differs from the text's default bevel"
"$CLI" bump --watermark flat-mark.png --size 40% --gravity sw "$PHOTO" -o flat-file.bmp
cmp -s flat-file.bmp bevel-file.bmp && fail "bump --watermark --bevel 10 changed nothing"

# Several photographs in worker processes: each is what one run makes.
mkdir -p batch workers
cp "$PHOTO" batch/a.jpg
cp "$PHOTO" batch/b.jpg
printf 'no picture' >batch/c.jpg
run bump --text "$TEXT" --font "$IPA" --soften 3 --text-height 64 --tile --azimuth 30 \
    --format bmp --jobs 2 batch/a.jpg batch/b.jpg -o workers/
[ "$RC" -eq 0 ] || fail "bump --text with two workers: exit $RC: $(cat err.txt)"
for f in a b; do
    cmp -s workers/$f.bmp file-tiled-soft.bmp || fail "bump --text in a worker: $f.bmp differs"
done
run bump --text "$TEXT" --font "$IPA" --soften 2 --size 30% --gravity se --margin 2%,3% \
    --strength 60 --format bmp --jobs 2 batch/c.jpg batch/a.jpg -o workers/
[ "$RC" -eq 1 ] || fail "bump --text with a broken input in workers: exit $RC, expected 1"
cmp -s workers/a.bmp file-corner.bmp || fail "bump --text --size 30% --gravity se in a worker: a.bmp differs"

# ---- refusals: exit 2, one line naming the problem, nothing written -----------------
printf 'this is no font\n' >notes.ttf
printf 'keep me' >kept.bmp
refused() {  # message, then the arguments
    local message=$1
    shift
    run "$@"
    [ "$RC" -eq 2 ] || fail "$*: exit $RC, expected 2"
    grep -qF -- "$message" err.txt || fail "$*: standard error lacks '$message': $(cat err.txt)"
    [ "$(cat kept.bmp)" = "keep me" ] || fail "$*: the existing output was touched"
    [ -z "$(ls -A out 2>/dev/null)" ] || fail "$*: wrote $(ls out)"
}
mkdir -p out
refused "the text is empty" text-mark "" -o kept.bmp
refused "draws nothing" text-mark "   " -o kept.bmp
refused "no installed font is named 'Nonexistent Sans'" text-mark abc --font "Nonexistent Sans" -o kept.bmp
refused "'notes.ttf' is not a font file" text-mark abc --font notes.ttf -o kept.bmp
refused "has no glyph for '山' (U+5C71)" text-mark "ab山" --font "$DEJAVU" -o kept.bmp
refused "DejaVu Sans" text-mark "ab山" --font "DejaVu Sans" -o kept.bmp
refused "out of range (8..2048)" text-mark abc --text-height 100000 -o kept.bmp
refused "--bevel: 501 is out of range (0..500)" text-mark abc --bevel 501 -o kept.bmp
refused "--bevel: -1 is out of range (0..500)" bump --bevel -1 "$PHOTO" -o out/photo.jpg
refused "too large" text-mark "$(printf 'W%.0s' $(seq 1 600))" --text-height 2048 -o kept.bmp
refused "not valid UTF-8" text-mark "$(printf 'a\xc3')" -o kept.bmp
refused "JPEG would blur" text-mark abc -o out/mark.jpg
refused "name it .png or .bmp" text-mark abc -o out/mark
refused "is a directory" text-mark abc -o out
refused "has no glyph for '山'" bump --text "山" --font "$DEJAVU" "$PHOTO" -o out/photo.jpg
refused "no installed font" bump --text "abc" --font "Nonexistent Sans" "$PHOTO" -o out/photo.jpg
refused "--text and --watermark exclude" bump --text abc --watermark lines.bmp "$PHOTO" -o out/photo.jpg

if [ "$FAILURES" -ne 0 ]; then
    echo "text_mark.sh: $FAILURES failure(s)" >&2
    exit 1
fi
echo "text_mark.sh: all checks passed"
