#!/usr/bin/env bash
# quillvane-cli through the real executable: exit codes, what is written
# and what is not, messages, file layouts.  $1 is the executable.
set -u

CLI=${1:?usage: cli_commands.sh PATH-TO-quillvane-cli}
case $CLI in /*) ;; *) CLI=$PWD/$CLI ;; esac
WORK=$(mktemp -d "${TMPDIR:-/tmp}/qv-cli.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1

FAILURES=0
fail() { echo "FAIL: $*" >&2; FAILURES=$((FAILURES + 1)); }

# Runs the CLI, keeping its exit status in RC and standard error in err.txt.
run() { "$CLI" "$@" >out.txt 2>err.txt; RC=$?; }

expect_rc() {  # expected-status description
    [ "$RC" -eq "$1" ] || { fail "$2: exit $RC, expected $1"; sed 's/^/    /' err.txt >&2; }
}

expect_err() {  # grep-pattern description
    grep -q -- "$1" err.txt || { fail "$2: standard error lacks '$1'"; sed 's/^/    /' err.txt >&2; }
}

# Little-endian bytes as printf escapes.
le16() { printf '\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)); }
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) $((($1 >> 16) & 255)) $((($1 >> 24) & 255)); }

# make_bmp24 FILE W H SEED: a 24-bit bottom-up BMP with a varied pattern.
make_bmp24() {
    local file=$1 w=$2 h=$3 seed=$4
    local stride=$(((w * 3 + 3) / 4 * 4)) pad x y
    local size=$((54 + stride * h))
    local data="BM$(le32 $size)$(le32 0)$(le32 54)$(le32 40)$(le32 "$w")$(le32 "$h")$(le16 1)$(le16 24)"
    data+="$(le32 0)$(le32 $((stride * h)))$(le32 2835)$(le32 2835)$(le32 0)$(le32 0)"
    for ((y = 0; y < h; y++)); do
        for ((x = 0; x < w; x++)); do
            data+=$(printf '\\x%02x\\x%02x\\x%02x' $(((x * 37 + y * 11 + seed) & 255)) \
                $(((x * 13 + y * 53 + seed * 3) & 255)) $(((x * y * 7 + 20 + seed) & 255)))
        done
        for ((pad = w * 3; pad < stride; pad++)); do data+='\x00'; done
    done
    printf "$data" >"$file"
}

size_of() { stat -c %s "$1"; }

# Bytes of a file as " xx xx xx ... ".
hex_of() { od -An -tx1 -v "$1" | tr -s ' \n' ' '; }

# u32 FILE OFFSET: a little-endian 32-bit field.
u32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }

# pixel24 FILE X Y: "b g r" of screen pixel (x, y) of a 24-bit bottom-up BMP.
pixel24() {
    local w h stride off
    w=$(u32 "$1" 18); h=$(u32 "$1" 22); off=$(u32 "$1" 10)
    stride=$(((w * 3 + 3) / 4 * 4))
    od -An -tu1 -j $((off + (h - 1 - $3) * stride + $2 * 3)) -N3 "$1" | tr -s ' ' | sed 's/^ //'
}

# The pixel rows of a BMP file (everything from bfOffBits on).
pixel_rows() { tail -c +$(($(u32 "$1" 10) + 1)) "$1"; }

make_bmp24 photo.bmp 16 12 0
make_bmp24 small.bmp 5 4 90
make_bmp24 mark.bmp 4 4 200
printf 'this is no picture at all\n' >notes.bmp
printf 'neither is this\n' >broken.jpg

# ---- help and version ----------------------------------------------------------
run --help
expect_rc 0 "--help"
grep -q '^Usage: quillvane-cli COMMAND' out.txt || fail "--help prints the usage on standard output"
run bump --help
expect_rc 0 "bump --help"
run --version
expect_rc 0 "--version"
grep -Eq '^quillvane-cli [0-9]+\.[0-9]+' out.txt || fail "--version prints the version: $(cat out.txt)"

# ---- bad usage: exit 2, one line and a hint, nothing written ------------------------
usage_case() {  # description, then the arguments
    local what=$1
    shift
    rm -rf u.bmp u.jpg udir
    run "$@"
    expect_rc 2 "$what"
    head -n1 err.txt | grep -q '^quillvane-cli: ' || fail "$what: message starts with the program's name"
    grep -q -- '--help' err.txt || fail "$what: hint to --help"
    [ ! -e u.bmp ] && [ ! -e u.jpg ] || fail "$what: something was written"
}
usage_case "no arguments"
usage_case "unknown command" paint photo.bmp -o u.bmp
usage_case "unknown option" bump --sparkle photo.bmp -o u.bmp
usage_case "option of another command" filter --tile photo.bmp -o u.bmp
usage_case "missing value" bump photo.bmp -o u.bmp --strength
usage_case "not a number" bump --strength x photo.bmp -o u.bmp
usage_case "out of range" bump --strength 201 photo.bmp -o u.bmp
usage_case "out of range quality" convert --quality 101 photo.bmp -o u.jpg
usage_case "bad kernel entry" filter --kernel 1,1,1,1,-10,1,1,1,1 photo.bmp -o u.bmp
usage_case "crossed bounds" effect --bounds 9,8,0,255,0,255 photo.bmp -o u.bmp
usage_case "empty region" effect --region 3,3,3,9 photo.bmp -o u.bmp
usage_case "no output" convert photo.bmp
usage_case "unknown output type" convert photo.bmp -o u.tif
usage_case "several inputs, output no directory" convert photo.bmp small.bmp -o u.bmp
mkdir udir
usage_case "several inputs, missing directory" convert photo.bmp small.bmp -o udir/nothere/

# ---- files that cannot be read or written: exit 1, the file named, nothing left ----
cp small.bmp keep.bmp
run convert missing.bmp -o keep.bmp
expect_rc 1 "missing input"
expect_err 'quillvane-cli: missing.bmp: the file cannot be opened' "missing input is named"
# The readers' messages in the user's language: Japanese where the locale is.
LANG=ja_JP.UTF-8 LC_ALL= run convert missing.bmp -o keep.bmp
expect_rc 1 "missing input, Japanese"
expect_err 'quillvane-cli: missing.bmp: ファイルのオープンに失敗しました' "missing input is named in Japanese"
cmp -s small.bmp keep.bmp || fail "a failed run changed the existing output"
run convert notes.bmp -o keep.bmp
expect_rc 1 "text file named .bmp"
expect_err 'quillvane-cli: notes.bmp: not a bitmap' "non-bitmap .bmp"
LANG=ja_JP.UTF-8 LC_ALL= run convert notes.bmp -o keep.bmp
expect_err 'quillvane-cli: notes.bmp: ビットマップではありません' "non-bitmap .bmp in Japanese"
cmp -s small.bmp keep.bmp || fail "a failed read changed the existing output"
run convert broken.jpg -o keep.bmp
expect_rc 1 "damaged JPEG"
expect_err '^quillvane-cli: broken.jpg: ' "damaged JPEG is named"
cmp -s small.bmp keep.bmp || fail "a failed JPEG read changed the existing output"
run convert photo.bmp -o no/such/dir/out.bmp
expect_rc 1 "output directory missing"
expect_err '^quillvane-cli: no/such/dir/out.bmp: ' "unwritable output is named"

# ---- convert ------------------------------------------------------------------------
run convert small.bmp -o same.bmp
expect_rc 0 "convert BMP to BMP"
[ "$(size_of same.bmp)" -eq 118 ] || fail "24-bit 5x4 file is $(size_of same.bmp) bytes, expected 118"
cmp -s <(pixel_rows small.bmp) <(pixel_rows same.bmp) || fail "24-bit round trip changed pixel bytes"
cmp -s <(head -c 54 small.bmp | tail -c +19 | head -c 8) <(head -c 54 same.bmp | tail -c +19 | head -c 8) ||
    fail "24-bit round trip changed the size"

run convert small.bmp --bmp-depth 16 -o d16.bmp
expect_rc 0 "16-bit save"
[ "$(size_of d16.bmp)" -eq 102 ] || fail "16-bit 5x4 file is $(size_of d16.bmp) bytes, expected 102"
run convert small.bmp --bmp-depth=32 -o d32.bmp
expect_rc 0 "32-bit save"
[ "$(size_of d32.bmp)" -eq 150 ] || fail "32-bit 5x4 file is $(size_of d32.bmp) bytes, expected 150"
run convert d32.bmp -o back24.bmp
expect_rc 0 "32-bit read"
cmp -s <(pixel_rows small.bmp) <(pixel_rows back24.bmp) || fail "32-bit round trip changed pixels"

run convert photo.bmp -o plain.jpg
expect_rc 0 "baseline JPEG"
case $(hex_of plain.jpg) in
" ff d8 "*" ff c0 "*) ;;
*) fail "baseline JPEG lacks SOF0" ;;
esac
[[ $(hex_of plain.jpg) == *" ff c2 "* ]] && fail "baseline JPEG has a progressive frame"
run convert photo.bmp --progressive --quality 95 -o prog.JPEG
expect_rc 0 "progressive JPEG"
[[ $(hex_of prog.JPEG) == *" ff c2 "* ]] || fail "--progressive wrote no SOF2 marker"
run convert photo.bmp --format jpeg -o named.bmp
expect_rc 0 "--format over the extension"
[[ $(hex_of named.bmp) == " ff d8 "* ]] || fail "--format jpeg did not write a JPEG named .bmp"
run convert plain.jpg -o fromjpeg.bmp
expect_rc 0 "JPEG to BMP"
[ "$(u32 fromjpeg.bmp 18)" -eq 16 ] && [ "$(u32 fromjpeg.bmp 22)" -eq 12 ] || fail "JPEG to BMP size"

# ---- the processing commands --------------------------------------------------------
run effect --kind negative --region 1,1,3,2 small.bmp -o neg.bmp
expect_rc 0 "effect on a region"
for xy in "0 0" "4 0" "0 3" "4 3" "1 0" "4 1" "2 3"; do
    [ "$(pixel24 neg.bmp $xy)" = "$(pixel24 small.bmp $xy)" ] || fail "pixel ($xy) outside the region changed"
done
for xy in "1 1" "2 1" "3 1" "1 2" "3 2"; do
    read -r b g r <<<"$(pixel24 small.bmp $xy)"
    [ "$(pixel24 neg.bmp $xy)" = "$((255 - b)) $((255 - g)) $((255 - r))" ] ||
        fail "pixel ($xy) inside the region is not negated"
done
run effect --kind negative --region=-9,-9,2,1 small.bmp -o negcorner.bmp
expect_rc 0 "region starting left of and above the picture"
read -r b g r <<<"$(pixel24 small.bmp 2 1)"
[ "$(pixel24 negcorner.bmp 2 1)" = "$((255 - b)) $((255 - g)) $((255 - r))" ] || fail "clipped region misses (2,1)"
[ "$(pixel24 negcorner.bmp 3 1)" = "$(pixel24 small.bmp 3 1)" ] || fail "clipped region reaches (3,1)"

cp small.bmp keep.bmp
for region in 5,0,9,3 0,4,4,9 -9,-9,-1,3 0,-9,4,-1; do
    run effect --region "$region" small.bmp -o keep.bmp
    expect_rc 1 "--region $region wholly outside"
    expect_err 'small.bmp: --region .* outside the picture (5 x 4)' "--region $region message"
    cmp -s small.bmp keep.bmp || fail "--region $region outside changed the output"
done

run effect --kind contrast small.bmp -o contrast.bmp
expect_rc 0 "contrast with measured bounds"
run filter --kind sharpen --strength 10 photo.bmp -o sharp.bmp
expect_rc 0 "sharpen"
run filter small.bmp -o unfiltered.bmp
expect_rc 0 "filter at start-up settings"
cmp -s <(pixel_rows small.bmp) <(pixel_rows unfiltered.bmp) || fail "sharpen at strength 0 changed pixels"
run filter --kernel 0,0,0,0,1,0,0,0,0 --strength 10 photo.bmp -o custom.bmp
expect_rc 0 "custom kernel"
# Only the entry above the centre, as written on screen: each channel adds
# the pixel above it (screen row y - 1).
run filter --kernel 0,1,0,0,0,0,0,0,0 --strength 10 small.bmp -o above.bmp
expect_rc 0 "one-entry kernel"
read -r b g r <<<"$(pixel24 small.bmp 2 2)"
read -r ab ag ar <<<"$(pixel24 small.bmp 2 1)"
clamp() { echo $(($1 > 255 ? 255 : $1)); }
[ "$(pixel24 above.bmp 2 2)" = "$(clamp $((b + ab))) $(clamp $((g + ag))) $(clamp $((r + ar)))" ] ||
    fail "--kernel rows are not taken top row first as seen on screen"

run effect --kind posterize --levels 128 photo.bmp -o poster.bmp
expect_rc 0 "posterize"
for xy in "0 0" "3 5" "15 11" "9 2"; do
    for v in $(pixel24 poster.bmp $xy); do
        [ "$v" -eq 0 ] || [ "$v" -eq 128 ] || fail "--levels 128 gave $v at ($xy)"
    done
done
run effect --bounds 0,255,0,255,100,100 photo.bmp -o bounds.bmp
expect_rc 0 "contrast with given bounds"
for xy in "0 0" "3 5" "15 11"; do
    read -r b g r <<<"$(pixel24 photo.bmp $xy)"
    read -r nb ng nr <<<"$(pixel24 bounds.bmp $xy)"
    [ "$nb $ng $nr" = "$b $g 100" ] || fail "--bounds order (blue, green, red) at ($xy): $b $g $r -> $nb $ng $nr"
done

run ysh --saturation -100 photo.bmp -o grey.bmp
expect_rc 0 "ysh without saturation"
for xy in "0 0" "3 5" "15 11"; do
    read -r b g r <<<"$(pixel24 grey.bmp $xy)"
    [ "$b" = "$g" ] && [ "$g" = "$r" ] || fail "--saturation -100 left colour at ($xy): $b $g $r"
done
run ysh --luminance 20 --saturation -30 --hue 45 photo.bmp -o ysh.jpg
expect_rc 0 "ysh"
run ysh --cmyk photo.bmp -o cmyk.bmp
expect_rc 0 "cmyk"

run bump photo.bmp -o bumped.bmp
expect_rc 0 "bump with the picture as its own watermark"
cmp -s <(pixel_rows photo.bmp) <(pixel_rows bumped.bmp) && fail "bump changed nothing"
run bump --watermark mark.bmp --no-enlarge --offset 12,8 --light -0.6,0.3,0.74 photo.bmp -o placed.bmp
expect_rc 0 "watermark at the far corner"
for xy in "0 0" "11 7" "11 11" "15 7"; do
    [ "$(pixel24 placed.bmp $xy)" = "$(pixel24 photo.bmp $xy)" ] || fail "bump outside the watermark changed ($xy)"
done
cp small.bmp keep.bmp
run bump --watermark mark.bmp --no-enlarge --offset 13,0 photo.bmp -o keep.bmp
expect_rc 1 "offset beyond the position bar"
expect_err 'photo.bmp: --offset 13,0 is outside' "offset message"
cmp -s small.bmp keep.bmp || fail "a refused offset changed the output"
run bump --watermark mark.bmp --offset 1,0 photo.bmp -o keep.bmp
expect_rc 1 "offset where the watermark is stretched over everything"
run bump --watermark missing.bmp photo.bmp -o keep.bmp
expect_rc 1 "missing watermark"
expect_err 'quillvane-cli: missing.bmp: ' "missing watermark is named"
cmp -s small.bmp keep.bmp || fail "a missing watermark changed the output"

# ---- several inputs into a directory --------------------------------------------------
mkdir outdir
run filter --kind soft --strength 1 small.bmp broken.jpg photo.bmp plain.jpg -o outdir
expect_rc 1 "several inputs, one bad"
for name in small.bmp photo.bmp plain.jpg; do
    [ -s "outdir/$name" ] || fail "outdir/$name was not written"
done
[ "$(ls outdir | wc -l)" -eq 3 ] || fail "directory holds more than the three results: $(ls outdir)"
expected_order=$'[1/4] small.bmp\n[2/4] broken.jpg\nquillvane-cli: broken.jpg: \n[3/4] photo.bmp\n[4/4] plain.jpg'
actual_order=$(sed 's/^\(quillvane-cli: broken.jpg: \).*/\1/' err.txt | sed '/ done, .* skipped, .* failed in /,$d')
[ "$actual_order" = "$expected_order" ] || { fail "progress and errors out of order"; cat err.txt >&2; }
[[ $(hex_of outdir/plain.jpg) == " ff d8 "* ]] || fail "a JPEG input keeps its type in a directory"

mkdir outdir2
run convert --format jpeg small.bmp photo.bmp -o outdir2/
expect_rc 0 "--format for a directory"
[ -s outdir2/small.jpg ] && [ -s outdir2/photo.jpg ] || fail "--format jpeg names results .jpg: $(ls outdir2)"
cp plain.jpg small.jpg
run convert --format bmp small.bmp small.jpg -o outdir2
expect_rc 1 "two inputs with the same result name"
expect_err 'small.jpg: .*would replace' "result name clash"

if [ "$FAILURES" -ne 0 ]; then
    echo "$FAILURES check(s) failed" >&2
    exit 1
fi
echo "all quillvane-cli checks passed"
