#!/usr/bin/env bash
# Times resizing against ImageMagick and the cost of keeping the metadata,
# and writes them as the section "Resizing and metadata" of bench/RESULTS.md
# (replacing that section, leaving the rest as bench/compare.sh wrote it).
#
#   bench/focused.sh [--reps N]
#
#   --reps N   runs of each command (default 7); every figure is the best
#              of them, the two commands of a row taking turns
#
# The photograph is compare.sh's: Debian's Blue Marble made 6000 x 4000
# (JPEG quality 90, build/bench-compare/photo.jpg).  The metadata rows use
# a copy of it carrying 40 KB of EXIF (a 30 KB comment, GPS tags, a
# thumbnail), XMP, IPTC and an ICC profile.  On a shared machine the best
# of several runs is what the other load left alone; the load average is
# written beside the figures.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
REPS=7
while [ $# -gt 0 ]; do
    case $1 in
    --reps) REPS=${2:?--reps needs a number}; shift ;;
    -h | --help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "focused.sh: unknown argument '$1' (try --help)" >&2; exit 2 ;;
    esac
    shift
done
case $REPS in '' | *[!0-9]* | 0) echo "focused.sh: --reps must be a positive number" >&2; exit 2 ;; esac

WORK=$ROOT/build/bench-compare
LOG=$WORK/focused.log
RESULTS=$ROOT/bench/RESULTS.md
IM=/usr/bin/convert   # Debian's ImageMagick itself, whatever else is on PATH
PHOTO=$WORK/photo.jpg
META=$WORK/meta.jpg
OUT=$WORK/out-focused
say() { echo "focused.sh: $*" >&2; }
die() { say "$*"; say "log: $LOG"; exit 1; }
mkdir -p "$WORK" "$OUT" || exit 1
: >"$LOG"

bash "$ROOT/scripts/install-bench-deps.sh" >>"$LOG" 2>&1 || die "installing the tools failed"
for tool in "$IM" exiv2 perf valgrind; do
    command -v "$tool" >/dev/null 2>&1 || die "$tool is missing after the install"
done
say "building (log: $LOG)"
{ (cd "$ROOT" && cmake --preset native) && cmake --build "$ROOT/build/native" -j 2 --target quillvane-cli quillvane_bench; } \
    >>"$LOG" 2>&1 || die "the build failed"
CLI=$ROOT/build/native/quillvane-cli
BENCH=$ROOT/build/native/bench/quillvane_bench

if [ ! -s "$PHOTO" ]; then
    "$IM" /usr/share/xplanet/images/earth.jpg -resize '6000x4000!' -quality 90 "$PHOTO" >>"$LOG" 2>&1 ||
        die "making the photograph failed"
fi
if [ ! -s "$META" ]; then
    # exiv2 takes the thumbnail and the profile from beside the file:
    # NAME-thumb.jpg and NAME.icc.
    rm -rf "$WORK/meta-make" && mkdir -p "$WORK/meta-make" && cp "$PHOTO" "$WORK/meta-make/meta.jpg" &&
        python3 "$ROOT/tests/cli/pictures.py" icc "$WORK/meta-make/meta.icc" &&
        "$IM" "$PHOTO" -resize 160x120 "$WORK/meta-make/meta-thumb.jpg" &&
        exiv2 -q -M"set Exif.Image.Make Quillvane bench" -M"set Exif.Image.Model Bench 1" \
            -M"set Exif.Photo.PixelXDimension 6000" -M"set Exif.Photo.PixelYDimension 4000" \
            -M"set Exif.Photo.DateTimeOriginal 2026:12:09 08:00:00" \
            -M"set Exif.Photo.UserComment charset=Ascii $(printf 'x%.0s' $(seq 30000))" \
            -M"set Exif.GPSInfo.GPSLatitude 35/1 40/1 0/1" -M"set Exif.GPSInfo.GPSLatitudeRef N" \
            -M"set Xmp.dc.creator Bench" -M"set Xmp.dc.description Blue Marble" "$WORK/meta-make/meta.jpg" &&
        exiv2 -q -it "$WORK/meta-make/meta.jpg" && exiv2 -q -iC "$WORK/meta-make/meta.jpg" &&
        mv "$WORK/meta-make/meta.jpg" "$META" >>"$LOG" 2>&1 || die "making the photograph with metadata failed"
fi

# timed FILE CMD...: runs CMD, appends "wall_s cpu_s" to FILE (cpu: user +
# system time of every process of it, from perf stat's task clock).
timed() {
    local file=$1 start stop cpu
    shift
    start=$(date +%s%N)
    perf stat -x, -e task-clock -o "$OUT/perf.txt" "$@" >>"$LOG" 2>&1 || return 1
    stop=$(date +%s%N)
    cpu=$(awk -F, '$3 == "task-clock" { print $1 / 1000 }' "$OUT/perf.txt")
    echo "$(awk -v n=$((stop - start)) 'BEGIN { printf "%.3f", n / 1e9 }') ${cpu:-0}" >>"$file"
}
best() { sort -n -k"$2" "$1" | head -1 | awk -v k="$2" '{ printf "%.3f", $k }'; }

# $OUT/stop-after.sh SECONDS CMD...: CMD, stopped after SECONDS as if it
# had ended (the row then marks its time as a lower bound).
printf '%s\n' '#!/bin/sh' 'limit=$1; shift' 'timeout "$limit" "$@"; status=$?' \
    '[ $status -eq 124 ] && exit 0; exit $status' >"$OUT/stop-after.sh" && chmod +x "$OUT/stop-after.sh"

# pair NAME "OURS..." "THEIRS..." [TURNS]: a warm-up of each (of ours
# alone when TURNS is given), then TURNS (default REPS) turns.
pair() {
    local name=$1 ours=$2 theirs=$3 turns=${4:-$REPS} i
    : >"$OUT/$name.ours"
    : >"$OUT/$name.theirs"
    eval "$ours" >>"$LOG" 2>&1 || die "$name: a warm-up failed"
    [ $# -ge 4 ] || eval "$theirs" >>"$LOG" 2>&1 || die "$name: a warm-up failed"
    for ((i = 0; i < turns; i++)); do
        eval "timed '$OUT/$name.ours' $ours" || die "$name: ours failed"
        eval "timed '$OUT/$name.theirs' $theirs" || die "$name: theirs failed"
    done
}

LOAD_START=$(cut -d' ' -f1-3 /proc/loadavg)
say "the engine alone"
"$BENCH" --only resize --reps "$REPS" >"$OUT/engine.txt" 2>>"$LOG" || die "the engine benchmark failed"

say "metadata kept vs --strip"
META_TURNS=$((REPS > 15 ? REPS : 15))
pair meta "'$CLI' convert '$META' --quality 80 -o '$OUT/kept.jpg'" \
    "'$CLI' convert '$META' --strip --quality 80 -o '$OUT/stripped.jpg'" "$META_TURNS"
kept_wall=$(best "$OUT/meta.ours" 1) strip_wall=$(best "$OUT/meta.theirs" 1)
kept_cpu=$(best "$OUT/meta.ours" 2) strip_cpu=$(best "$OUT/meta.theirs" 2)
cost_wall=$(awk -v k="$kept_wall" -v s="$strip_wall" 'BEGIN { printf "%.1f", 100 * (k - s) / s }')
cost_cpu=$(awk -v k="$kept_cpu" -v s="$strip_cpu" 'BEGIN { printf "%.1f", 100 * (k - s) / s }')
meta_met() { awk -v c="$1" 'BEGIN { print (c <= 3 ? "yes" : "no") }'; }
kept_bytes=$(stat -c %s "$OUT/kept.jpg") strip_bytes=$(stat -c %s "$OUT/stripped.jpg")
# Instructions executed (callgrind, one run each): the same on a busy
# machine as on an idle one.
instructions() {
    valgrind --tool=callgrind --callgrind-out-file="$OUT/callgrind.out" "$@" >>"$LOG" 2>&1 || return 1
    awk '/^totals:/ { print $2 }' "$OUT/callgrind.out"
}
say "metadata kept vs --strip: instructions"
kept_ir=$(instructions "$CLI" convert "$META" --quality 80 -o "$OUT/kept.jpg") || die "callgrind failed"
strip_ir=$(instructions "$CLI" convert "$META" --strip --quality 80 -o "$OUT/stripped.jpg") || die "callgrind failed"
cost_ir=$(awk -v k="$kept_ir" -v s="$strip_ir" 'BEGIN { printf "%.2f", 100 * (k - s) / s }')

# Enlarging to 54 MP, ImageMagick needs more than the 256 MiB its Debian
# policy allows (-limit cannot raise it) and keeps its pixels in a disk
# cache, as for any user of Debian's package: minutes a run on a busy
# machine.  So the row runs one turn, ImageMagick without a warm-up (the
# photograph is in the page cache by then) and stopped after UP_LIMIT
# seconds, which the row then gives as its time.
ROWS=() CPU_ROWS=()
TURNS_UP=1 UP_LIMIT=300
for size in 2048px 50% 150%; do
    turns=() theirs_prefix=
    case $size in
    2048px) theirs_size=2048x2048 ;;
    150%) theirs_size=$size turns=("$TURNS_UP") theirs_prefix="'$OUT/stop-after.sh' $UP_LIMIT " ;;
    *) theirs_size=$size ;;
    esac
    say "--resize $size"
    pair "resize-${size%[%x]*}" "'$CLI' convert '$PHOTO' --resize $size --quality 80 -o '$OUT/ours.jpg'" \
        "$theirs_prefix'$IM' '$PHOTO' -resize $theirs_size -quality 80 '$OUT/theirs.jpg'" "${turns[@]}"
    ours=$(best "$OUT/resize-${size%[%x]*}.ours" 1)
    theirs=$(best "$OUT/resize-${size%[%x]*}.theirs" 1)
    ratio=$(awk -v o="$ours" -v t="$theirs" 'BEGIN { printf "%.2f", (o > 0 ? t / o : 0) }')
    met=$(awk -v r="$ratio" 'BEGIN { print (r > 1 ? "yes" : "no") }')
    dims=$(identify -format '%wx%h' "$OUT/ours.jpg" 2>/dev/null)
    ours_cpu=$(best "$OUT/resize-${size%[%x]*}.ours" 2)
    theirs_cpu=$(best "$OUT/resize-${size%[%x]*}.theirs" 2)
    cpu_ratio=$(awk -v o="$ours_cpu" -v t="$theirs_cpu" 'BEGIN { printf "%.2f", (o > 0 ? t / o : 0) }')
    if [ "$size" = 150% ] && awk -v t="$theirs" -v l="$UP_LIMIT" 'BEGIN { exit !(t >= l) }'; then
        theirs="> $UP_LIMIT" ratio="> $ratio" theirs_cpu="> $theirs_cpu" cpu_ratio="> $cpu_ratio"
    fi
    CPU_ROWS+=("| \`--resize $size\` vs \`-resize $theirs_size\` | $ours_cpu s | $theirs_cpu s | ${cpu_ratio}× less |")
    ROWS+=("| \`convert --resize $size\` (to $dims) vs \`convert -resize $theirs_size\` | $ours s | $theirs s | ${ratio}× faster | faster | $met |")
done


SECTION=$(
    echo "<!-- focused.sh: the section below is written by bench/focused.sh; compare.sh keeps it -->"
    echo "## Resizing and metadata"
    echo
    echo "Written by \`bench/focused.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC'): best of $REPS runs of each command,"
    echo "the two commands of a row taking turns, at niceness $(nice); load average $LOAD_START at the start,"
    echo "$(cut -d' ' -f1-3 /proc/loadavg) at the end ($(nproc) cores). The photograph is the Blue Marble"
    echo "24 MP JPEG above; every output is JPEG quality 80. Times are wall clock."
    echo
    echo "| work | quillvane | ImageMagick | ratio | target | met |"
    echo "|---|---:|---:|---:|---|---|"
    printf '%s\n' "${ROWS[@]}"
    echo
    echo "The same rows in processor time (user + system of every process of the command, best of the runs):"
    echo
    echo "| work | quillvane | ImageMagick | ratio |"
    echo "|---|---:|---:|---:|"
    printf '%s\n' "${CPU_ROWS[@]}"
    echo
    echo
    echo "(The enlargement row: one turn; ImageMagick keeps the 54 MP result in a disk cache, its Debian policy"
    echo "allowing it 256 MiB of memory, and is stopped after $UP_LIMIT s.)"
    echo
    echo "The resize engine alone (\`quillvane_bench --only resize\`, a generated 6000 × 4000 picture, median of $REPS):"
    echo
    echo '```'
    tr -d '\r' <"$OUT/engine.txt"
    echo '```'
    echo
    echo "Keeping the metadata: \`convert --quality 80\` of the photograph with 40 KB of EXIF (a thumbnail,"
    echo "GPS tags), XMP, IPTC and an ICC profile, against the same with \`--strip\` (kept: $kept_bytes bytes"
    echo "written, stripped: $strip_bytes); processor time is user + system of the process (\`perf stat\`)."
    echo
    echo "| | metadata kept | \`--strip\` | cost | target | met |"
    echo "|---|---:|---:|---:|---|---|"
    echo "| wall time, best of $META_TURNS | $kept_wall s | $strip_wall s | $cost_wall % | ≤ 3 % | $(meta_met "$cost_wall") |"
    echo "| processor time, best of $META_TURNS | $kept_cpu s | $strip_cpu s | $cost_cpu % | ≤ 3 % | $(meta_met "$cost_cpu") |"
    echo "| instructions executed (callgrind) | $kept_ir | $strip_ir | $cost_ir % | ≤ 3 % | $(meta_met "$cost_ir") |"
    echo
    echo "The instructions are what the load of a shared machine leaves alone; the wall and processor times of a"
    echo "busy machine scatter by far more than 3 % from run to run."
)
if [ -f "$RESULTS" ]; then
    sed '/^<!-- focused.sh: /,$d' "$RESULTS" >"$RESULTS.new"
else
    echo "# Benchmark results" >"$RESULTS.new"
fi
{ [ -n "$(tail -c1 "$RESULTS.new")" ] && echo; echo; echo "$SECTION"; } >>"$RESULTS.new" && mv "$RESULTS.new" "$RESULTS"
say "wrote the section \"Resizing and metadata\" of ${RESULTS#"$ROOT"/}"
echo "$SECTION"
