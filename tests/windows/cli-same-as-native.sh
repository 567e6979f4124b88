#!/usr/bin/env bash
# quillvane-cli.exe under Wine against the native tool: both run the same
# commands on the same inputs, in folders of their own, and every result
# must be the same bytes.  Covered: conversions between the four types,
# bump with a transparent PNG watermark and --size/--gravity/--margin,
# metadata kept and stripped, --auto-orient, a text mark drawn with
# --font PATH, placeholders filled from EXIF, the file name and its time,
# -r into a folder with --jobs, --preset, --in-place, a
# non-ASCII file name, Windows paths (drive letter and '\'), and the
# Japanese messages of the catalogue beside the .exe.
#   cli-same-as-native.sh quillvane-cli.exe NATIVE-quillvane-cli
# Exit 77 (skipped) when the native tool has not been built.
set -u
EXE=$(realpath "${1:?usage: cli-same-as-native.sh quillvane-cli.exe NATIVE-quillvane-cli}")
NATIVE=${2:?}
[ -x "$NATIVE" ] || { echo "cli-same-as-native: no native tool at $NATIVE (build the native preset): skipped"; exit 77; }
NATIVE=$(realpath "$NATIVE")
here=$(cd "$(dirname "$0")" && pwd)
WINE_CLI="$here/cli-under-wine.sh $EXE"
PICTURES="python3 $here/../cli/pictures.py"
. "$here/../cli/lib/common.sh" same-as-native

# ---- inputs, made by the native tool and tests/cli/pictures.py ----
mkdir -p in/sub
$PICTURES rgba in/photo.png 97 61 1 0
$PICTURES rgba logo.png 23 17 2 1
"$NATIVE" convert in/photo.png -o in/photo.jpg --quality 90 2>/dev/null
"$NATIVE" convert in/photo.png -o in/sub/photo.bmp 2>/dev/null
"$NATIVE" convert in/photo.png -o in/sub/photo.webp --lossless 2>/dev/null
cp in/photo.jpg "in/写真_𠮷_café.jpg"
$PICTURES icc meta.icc
cp in/photo.jpg meta.jpg
exiv2 -q -M"set Exif.Image.Make Quillvane Test" -M"set Exif.Image.Orientation 6" meta.jpg
exiv2 -q -iC meta.jpg 2>/dev/null || true
printf -- '--strength 60\n# a comment\n--azimuth 45\n' >bump.preset
FONT=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
[ -f "$FONT" ] || FONT=/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf

# Runs one command line with each tool in its own copy of the inputs (out/
# made beforehand); a status differing between them fails.  In the
# arguments, WIN{path} becomes Z:\ and '\' on Windows (the native tool gets
# the path as it is).
run_both() {
    local what=$1; shift
    local tool side status=() args
    for side in native windows; do
        rm -rf "$side"; mkdir -p "$side/out"; cp -rp in logo.png meta.jpg bump.preset "$side/"; touch "$side/.stamp"
        args=()
        for a in "$@"; do
            if [[ $a == WIN\{*\} ]]; then
                a=${a#WIN\{}; a=${a%\}}
                [ $side = windows ] && a="Z:${PWD//\//\\}\\$side\\${a//\//\\}"
            fi
            args+=("$a")
        done
        if [ $side = native ]; then tool=("$NATIVE"); else tool=($WINE_CLI); fi
        (cd "$side" && "${tool[@]}" "${args[@]}" >stdout.txt 2>stderr.txt)
        status+=($?)
    done
    [ "${status[0]}" = "${status[1]}" ] || { fail "$what: exit ${status[1]} on Windows, ${status[0]} natively"; sed 's/^/    /' windows/stderr.txt >&2; }
    [ "${status[0]}" = "${EXPECT_RC:-0}" ] || { fail "$what: exit ${status[0]}"; sed 's/^/    /' native/stderr.txt >&2; }
    local files
    written() { (cd "$1" && find . -type f -newer .stamp ! -name 'std*.txt' | sort); }
    files=$(written native)
    [ "$files" = "$(written windows)" ] || fail "$what: other files written: $(written windows | tr '\n' ' ')"
    [ -n "$files" ] || fail "$what: nothing written"
    for f in $files; do
        cmp -s "native/$f" "windows/$f" || fail "$what: $f differs"
    done
}

run_both "convert png -> jpeg" convert in/photo.png -o out/a.jpg --quality 85 --progressive
run_both "convert bmp, jpeg -> webp" convert in/sub/photo.bmp "in/写真_𠮷_café.jpg" -o out --format webp --suffix _w --jobs 1
run_both "convert webp -> bmp 16" convert in/sub/photo.webp -o out/c.bmp --bmp-depth 16
run_both "bump, transparent logo" bump in/photo.jpg --watermark logo.png --size 40% --gravity se --margin 3,5% -o out/b.png
run_both "bump with a preset, Windows paths" bump WIN{in/photo.png} --preset WIN{bump.preset} --watermark WIN{logo.png} -o WIN{out/p.png}
run_both "metadata kept" convert meta.jpg -o out/kept.png
run_both "metadata stripped" convert meta.jpg --strip -o out/stripped.jpg
run_both "--auto-orient" convert meta.jpg --auto-orient -o out/turned.jpg
run_both "text mark, --font PATH" text-mark 'Quillvane © 2026' --font "$FONT" --text-height 48 --soften 1 -o out/mark.png
run_both "bump --text" bump in/photo.png --text 'QV' --font "$FONT" --text-height 24 -o out/t.png
run_both "bump --text with placeholders" bump meta.jpg "in/写真_𠮷_café.jpg" --jobs 1 --format png \
    --text '{exif:Make|none} {filename} {date:%Y}' --font "$FONT" --text-height 24 -o out
run_both "-r into a folder, --jobs 2" effect --kind negative -r in -o out/tree --suffix _n --jobs 2
run_both "-r with Windows paths" filter --kind soft --strength 1 -r WIN{in} -o WIN{out/tree2}
run_both "a non-ASCII name" ysh "in/写真_𠮷_café.jpg" --hue 30 -o "out/写真_𠮷_café.png"
run_both "--in-place" effect --kind posterize -r in --in-place

# The same messages, in the same order (the times of the summary aside):
# inputs whose results clash make some.
EXPECT_RC=1 run_both "messages" convert in -r -o out --format png --jobs 2
sed -E 's/in [0-9.]+ s$/in T s/' native/stderr.txt >native-messages.txt
sed -E 's/in [0-9.]+ s$/in T s/' windows/stderr.txt >windows-messages.txt
cmp -s native-messages.txt windows-messages.txt || fail "messages differ: $(diff native-messages.txt windows-messages.txt | head -5)"

# Japanese from the catalogue beside the .exe, the bytes Linux prints.
mkdir -p ja
for side in native windows; do
    if [ $side = native ]; then tool=("$NATIVE"); else tool=($WINE_CLI); fi
    (cd ja && LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 "${tool[@]}" convert missing.jpg -o x.png >/dev/null 2>"$side.txt")
done
grep -q 'ファイル\|開け' ja/windows.txt || fail "no Japanese under ja_JP: $(cat ja/windows.txt)"
cmp -s ja/native.txt ja/windows.txt || fail "Japanese differs: $(cat ja/native.txt) / $(cat ja/windows.txt)"

[ "$FAILURES" -eq 0 ] || exit 1
echo "cli-same-as-native: the Windows tool wrote what the native one wrote"
