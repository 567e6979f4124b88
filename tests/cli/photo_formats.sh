#!/usr/bin/env bash
# quillvane-cli with PNG and WebP files, transparency, metadata, EXIF
# orientation and the --size/--gravity/--margin placement, through the real
# executable, checked byte for byte against pictures and references made
# without the program's code (tests/cli/pictures.py, ImageMagick, dwebp,
# exiv2).  $1 is the executable.
set -u

CLI=${1:?usage: photo_formats.sh PATH-TO-quillvane-cli}
case $CLI in /*) ;; *) CLI=$PWD/$CLI ;; esac
PICTURES="python3 $(cd "$(dirname "$0")" && pwd)/pictures.py"
RESIZE=${QUILLVANE_TEST_TOOLS:-$(dirname "$CLI")/tests}/resize_watermark
. "$(cd "$(dirname "$0")" && pwd)/lib/common.sh" photo
# rgba FILE OUT: the file's pixels as 8-bit RGBA (ImageMagick; dwebp for WebP).
rgba() {
    case $1 in
    *.webp) dwebp -quiet -pam "$1" -o "$2.pam" && tail -c "$(($(identify -format '%w*%h*4' "$1")))" "$2.pam" >"$2" ;;
    *) convert "$1" -depth 8 rgba:"$2" ;;
    esac
}
same() { cmp -s "$1" "$2" || fail "$3: $(cmp "$1" "$2" 2>&1 | head -1)"; }

# ---- PNG reading: every depth and colour type, transparency chunks, interlacing ----
# Each case is written to PNG (RGBA where the file has transparency) and
# read back: the pixels must be the 8-bit RGBA the file means (16-bit: the
# high byte).
while read -r name ctype depth extra; do
    $PICTURES png "$name.png" "$ctype" "$depth" 13 7 "${#name}" $extra
    run convert "$name.png" -o "$name-out.png"
    expect_rc 0 "PNG $name"
    rgba "$name-out.png" "$name-out.rgba" && same "$name.png.rgba" "$name-out.rgba" "PNG $name read back"
done <<'CASES'
grey1 0 1
grey2 0 2
grey4 0 4
grey8 0 8
grey16 0 16
grey8-key 0 8 trns
palette1 3 1
palette2 3 2
palette4 3 4
palette8 3 8 trns
rgb8 2 8
rgb16 2 16
rgb8-key 2 8 trns
greyalpha8 4 8
greyalpha16 4 16
rgba8 6 8
rgba16 6 16 interlace
rgb8-interlaced 2 8 interlace
CASES
# Opaque pictures are written as RGB, transparent ones as RGBA.
[ "$(identify -format '%[channels]' rgb8-out.png)" = "srgb" ] || fail "an opaque PNG was not written as RGB"

# ---- WebP: lossless keeps every byte (alpha and colour under it); lossy keeps alpha ----
$PICTURES rgba photo.png 61 37 7 1
rgba photo.png photo.rgba
run convert photo.png -o lossless.webp --lossless
expect_rc 0 "lossless WebP"
rgba lossless.webp lossless.rgba && same photo.rgba lossless.rgba "lossless WebP round trip"
run convert lossless.webp -o back.png
rgba back.png back.rgba && same photo.rgba back.rgba "WebP read back to PNG"
run convert photo.png -o lossy.webp --quality 90
expect_rc 0 "lossy WebP"
rgba lossy.webp lossy.rgba
cmp -s <(od -An -v -tu1 -w4 photo.rgba | awk '{print $4}') <(od -An -v -tu1 -w4 lossy.rgba | awk '{print $4}') ||
    fail "lossy WebP changed the alpha"

# ---- a photo's alpha: kept through processing, refused for JPEG/BMP without --background ----
run effect --kind negative photo.png -o negative.png
expect_rc 0 "negative of a transparent PNG"
rgba negative.png negative.rgba
cmp -s <(od -An -v -tu1 -w4 photo.rgba | awk '{print 255-$1, 255-$2, 255-$3, $4}') \
    <(od -An -v -tu1 -w4 negative.rgba | awk '{print $1, $2, $3, $4}') ||
    fail "negative of a transparent PNG: colour not negated or alpha not kept"
for out in flat.jpg flat.bmp; do
    run convert photo.png -o "$out"
    expect_rc 1 "transparent picture to $out without --background"
    grep -q -- '--background' err.txt || fail "$out: the message does not name --background"
    [ ! -e "$out" ] || fail "$out was written without --background"
done
run convert photo.png -o flat.bmp --background '#102030'
expect_rc 0 "--background"
$PICTURES over photo.rgba 16 32 48 over.rgb
convert flat.bmp -depth 8 rgb:flat.rgb
same over.rgb flat.rgb "composite over --background"

# ---- a watermark's alpha is its height: a coloured logo = a grey one of its alpha ----
$PICTURES rgba logo.png 23 17 11 1
$PICTURES grey-of-alpha logo.png logo-grey.png
$PICTURES rgba base.png 97 61 5 0
run bump base.png --watermark logo.png --no-enlarge --offset 30,20 --strength 120 -o by-alpha.bmp
expect_rc 0 "bump with a transparent watermark"
run bump base.png --watermark logo-grey.png --no-enlarge --offset 30,20 --strength 120 -o by-grey.bmp
same by-alpha.bmp by-grey.bmp "a transparent watermark against the grey picture of its alpha"
cmp -s by-alpha.bmp <("$CLI" convert base.png -o /dev/stdout --format bmp 2>/dev/null) &&
    fail "the transparent watermark left no relief"

# ---- --size/--gravity/--margin = --no-enlarge --offset with the resized watermark ----
# round(v) = floor(v + 0.5); the area is the whole picture or the region.
round() { python3 -c "import math,sys; print(math.floor(eval(sys.argv[1]) + 0.5))" "$1"; }
while read -r size gravity margin region; do
    aw=97 ah=61 args=()
    if [ "$region" != "-" ]; then
        IFS=, read -r l t r b <<<"$region"
        aw=$((r - l + 1)) ah=$((b - t + 1)) args=(--region "$region")
    fi
    case $size in
    *%) w=$(round "$aw*${size%\%}/100") ;;
    *px) w=${size%px} ;;
    -) w=23 ;;
    esac
    h=$(round "17*$w/23"); [ "$h" -ge 1 ] || h=1
    IFS=, read -r mx my <<<"$margin"
    case $mx in *%) mx=$(round "$aw*${mx%\%}/100") ;; esac
    case $my in *%) my=$(round "$ah*${my%\%}/100") ;; esac
    case $gravity in *w) x=$mx ;; *e) x=$((aw - w - mx)) ;; *) x=$(((aw - w) / 2)) ;; esac
    case $gravity in n*) y=$my ;; s*) y=$((ah - h - my)) ;; *) y=$(((ah - h) / 2)) ;; esac
    placement=(--gravity "$gravity" --margin "$margin")
    [ "$size" = "-" ] || placement+=(--size "$size")
    run bump base.png --watermark logo.png "${placement[@]}" "${args[@]}" --strength 90 -o sized.bmp
    expect_rc 0 "placement $size $gravity $margin $region"
    if [ "$size" = "-" ]; then cp logo-grey.png mark.png; else "$RESIZE" logo.png "$w" "$h" mark.png; fi
    run bump base.png --watermark mark.png --no-enlarge --offset "$x,$y" "${args[@]}" --strength 90 -o explicit.bmp
    expect_rc 0 "explicit placement $x,$y for $size $gravity $margin $region"
    same sized.bmp explicit.bmp "--size $size --gravity $gravity --margin $margin (region $region) = --offset $x,$y"
done <<'CASES'
20% se 2%,2% -
40% nw 0,0 -
33.3% center 5,5 -
10px sw 3,4 -
50% n 1%,10% -
25% e 0,7% 10,5,80,50
- s 4,4 -
CASES
run bump base.png --watermark logo.png --size 90% --gravity se --margin 10%,0 -o nofit.bmp
expect_rc 1 "a watermark that does not fit with its margins"
grep -q 'base.png: .*does not fit' err.txt || fail "no-fit: the message does not name the file"
[ ! -e nofit.bmp ] || fail "no-fit: a file was written"

# ---- metadata: EXIF, XMP, IPTC, ICC carried over; thumbnail removed; dimensions follow ----
$PICTURES icc meta.icc
convert -size 160x120 xc:gray60 thumb-src.bmp 2>/dev/null
"$CLI" convert base.png -o meta.jpg 2>/dev/null
"$CLI" convert thumb-src.bmp -o meta-thumb.jpg 2>/dev/null
exiv2 -q -M"set Exif.Image.Make Quillvane Test" -M"set Exif.Image.Orientation 1" \
    -M"set Exif.Photo.PixelXDimension 4000" -M"set Exif.Photo.PixelYDimension 3000" \
    -M"set Exif.Photo.UserComment charset=Ascii kept comment" \
    -M"set Xmp.dc.creator Tester" -M"set Xmp.tiff.ImageWidth 4000" \
    -M"set Iptc.Application2.Caption A caption" -M"set Exif.GPSInfo.GPSLatitudeRef N" meta.jpg
exiv2 -q -it meta.jpg && exiv2 -q -iC meta.jpg
exiv2 -pt meta.jpg 2>/dev/null | grep -q '^Exif.Thumbnail' || fail "metadata test: no thumbnail was inserted"
tags() {  # the tags that must survive, with the dimensions written
    exiv2 -q -Pkv -pa "$1" 2>/dev/null | grep -v '^Exif.Thumbnail\|^Exif.Image.ExifTag\|^Exif.Image.GPSTag' | sort
}
for out in meta-out.jpg meta-out.png meta-out.webp; do
    run bump meta.jpg --strength 40 -o "$out"
    expect_rc 0 "metadata into $out"
    expected=$(tags meta.jpg | sed 's/^\(Exif.Photo.PixelXDimension *\).*/\197/; s/^\(Exif.Photo.PixelYDimension *\).*/\161/; s/^\(Xmp.tiff.ImageWidth *\).*/\197/')
    actual=$(tags "$out")
    case $out in *.webp)  # no IPTC block in WebP: the caption goes into XMP
        expected=$(grep -v '^Iptc' <<<"$expected")
        grep -q '^Xmp.dc.description.*A caption' <<<"$actual" || fail "$out: the IPTC caption is not in XMP"
        actual=$(grep -v '^Iptc\|^Xmp.dc.description\|^Xmp.photoshop\|^Xmp.iptc' <<<"$actual") ;;
    esac
    [ "$expected" = "$actual" ] || { fail "$out: metadata differs"; diff <(echo "$expected") <(echo "$actual") | head >&2; }
    exiv2 -pt "$out" 2>/dev/null | grep -q '^Exif.Thumbnail' && fail "$out: the EXIF thumbnail was kept"
    exiv2 -q -pC "$out" >icc-out.bin 2>/dev/null
    same meta.icc icc-out.bin "$out: ICC profile bytes"
done
run bump meta.jpg --strength 40 --strip -o stripped.png
[ -z "$(exiv2 -q -pa stripped.png 2>/dev/null)" ] || fail "--strip left metadata"
[ -z "$(exiv2 -q -pC stripped.png 2>/dev/null | head -c 1)" ] || fail "--strip left the ICC profile"
run bump meta.jpg --strength 40 --metadata no-location -o noplace.webp
expect_rc 0 "--metadata no-location"
[ "$(tags noplace.webp | grep -c '^Exif.GPSInfo')$(tags noplace.webp | grep -c '^Exif.Image.Make')" = 01 ] ||
    fail "--metadata no-location: the place must go and the rest stay: $(tags noplace.webp | tr '\n' ' ')"
# Metadata the input cannot give (an eXIf chunk that is no TIFF block): the
# message names the input, not the file being written.
python3 - <<'PY'
import struct, zlib
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
rows = b"".join(b"\0" + bytes([10, 20, 30] * 4) for _ in range(3))
with open("bad-exif.png", "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 4, 3, 8, 2, 0, 0, 0)) +
            chunk(b"eXIf", b"MM\0\x2a\xff\xff\xff\xff") + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
PY
run convert bad-exif.png -o from-bad-exif.png
expect_rc 1 "unreadable metadata"
grep -q '^quillvane-cli: bad-exif.png: its metadata cannot be read' err.txt ||
    fail "unreadable metadata: the message does not name the input: $(cat err.txt)"
[ ! -e from-bad-exif.png ] || fail "unreadable metadata: a file was written"
run bump meta.jpg --strength 40 -o meta.bmp
expect_rc 0 "metadata into BMP: nothing to carry, nothing said"
[ ! -s err.txt ] || fail "BMP output said something: $(cat err.txt)"
# An EXIF block whose TIFF header points past its end: the input's
# metadata cannot be read, and the message names the input, not the output.
"$CLI" convert base.png --strip -o clean.jpg 2>/dev/null
python3 - clean.jpg badexif.jpg <<'PY'
import struct, sys
data = open(sys.argv[1], 'rb').read()
exif = b'Exif\0\0' + b'II*\0' + struct.pack('<I', 0x7FFFFFFF) + bytes(20)
open(sys.argv[2], 'wb').write(data[:2] + b'\xff\xe1' + struct.pack('>H', len(exif) + 2) + exif + data[2:])
PY
for out in unread.jpg unread.png; do
    run convert badexif.jpg -o "$out"
    expect_rc 1 "unreadable metadata into $out"
    grep -q "^quillvane-cli: badexif.jpg: its metadata cannot be read (--strip writes the picture without it)" err.txt ||
        fail "unreadable metadata into $out: the message does not name the input: $(cat err.txt)"
    [ ! -e "$out" ] || fail "unreadable metadata: $out was written"
done

# ---- --auto-orient: all eight orientations against a reference turn ----
"$CLI" convert base.png -o stored.png 2>/dev/null
rgba stored.png stored.rgba
for n in 1 2 3 4 5 6 7 8; do
    "$CLI" convert base.png -o "o$n.jpg" --strip 2>/dev/null
    exiv2 -q -M"set Exif.Image.Orientation $n" "o$n.jpg"
    "$CLI" convert "o$n.jpg" -o "o$n-stored.png" 2>/dev/null
    rgba "o$n-stored.png" "o$n-stored.rgba"
    $PICTURES orient "o$n-stored.rgba" 97 61 "$n" "o$n-ref.rgba"
    run convert "o$n.jpg" --auto-orient -o "o$n-seen.png"
    expect_rc 0 "--auto-orient $n"
    rgba "o$n-seen.png" "o$n-seen.rgba" && same "o$n-ref.rgba" "o$n-seen.rgba" "--auto-orient $n pixels"
    [ "$(exiv2 -q -K Exif.Image.Orientation -Pv "o$n-seen.png" 2>/dev/null)" = "1" ] ||
        fail "--auto-orient $n: the output's orientation is not 1"
    if [ "$n" -ge 5 ]; then size="61x97"; else size="97x61"; fi
    [ "$(identify -format '%wx%h' "o$n-seen.png")" = "$size" ] || fail "--auto-orient $n: size"
done
run convert o6.jpg -o o6-kept.png
[ "$(exiv2 -q -K Exif.Image.Orientation -Pv o6-kept.png 2>/dev/null)" = "6" ] ||
    fail "without --auto-orient the orientation tag changed"

if [ "$FAILURES" -ne 0 ]; then
    echo "$FAILURES check(s) failed" >&2
    exit 1
fi
echo "all photo format checks passed"
