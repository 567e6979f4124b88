#!/usr/bin/env bash
# Times Quillvane against the tools a user would otherwise pick, in one run,
# and writes bench/RESULTS.md and the bar chart bench/results.png.
#
#   bench/compare.sh [--quick] [--build-dir DIR]
#
#   --quick          4 batch files and 3 repetitions: a fast check, not a result
#   --build-dir DIR  build and use DIR (configured Release if new) instead of
#                    the 'native' preset's build/native
#
# Every figure is the median of the repetitions after one warm-up run (the
# batch rows warm up on one file).  Installs what is missing from Debian
# (scripts/install-bench-deps.sh).  Pictures, outputs and the full log are
# kept in build/bench-compare.  Timings mean little on a busy machine: run
# it with nothing else going on.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QUICK=0
BUILD_DIR=
while [ $# -gt 0 ]; do
    case $1 in
    --quick) QUICK=1 ;;
    --build-dir) BUILD_DIR=${2:?--build-dir needs a directory}; shift ;;
    --build-dir=*) BUILD_DIR=${1#--build-dir=} ;;
    -h | --help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "compare: unknown argument '$1' (try --help)" >&2; exit 2 ;;
    esac
    shift
done

if [ "$QUICK" -eq 1 ]; then
    REPS=3 BATCH_FILES=4 MODE="quick (3 repetitions, 4 batch files: a check, not a result)"
else
    REPS=5 BATCH_FILES=20 MODE="full (5 repetitions, 20 batch files)"
fi

WORK=$ROOT/build/bench-compare
LOG=$WORK/compare.log
RESULTS=$ROOT/bench/RESULTS.md
CHART=$ROOT/bench/results.png
SOURCE_PHOTO=/usr/share/xplanet/images/earth.jpg
SOURCE_WATERMARK=$ROOT/demo/watermark.bmp
IM=/usr/bin/convert   # Debian's ImageMagick itself, whatever else is on PATH

say() { echo "compare: $*" >&2; }
die() { say "$*"; say "log: $LOG"; exit 1; }

mkdir -p "$WORK" || exit 1
: >"$LOG"

# ---- tools and build ---------------------------------------------------------------
bash "$ROOT/scripts/install-bench-deps.sh" >>"$LOG" 2>&1 || die "installing the tools failed"
for tool in "$IM" vips djpeg cjpeg gnuplot /usr/bin/time; do
    command -v "$tool" >/dev/null 2>&1 || die "$tool is missing after the install"
done

say "building (log: $LOG)"
if [ -n "$BUILD_DIR" ]; then
    case $BUILD_DIR in /*) ;; *) BUILD_DIR=$PWD/$BUILD_DIR ;; esac
    if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
        cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >>"$LOG" 2>&1 || die "configure failed"
    fi
else
    BUILD_DIR=$ROOT/build/native
    (cd "$ROOT" && cmake --preset native) >>"$LOG" 2>&1 || die "configure failed"
fi
cmake --build "$BUILD_DIR" -j 2 --target quillvane-cli quillvane_bench >>"$LOG" 2>&1 || die "build failed"
CLI=$BUILD_DIR/quillvane-cli
BENCH=$BUILD_DIR/bench/quillvane_bench

# ---- pictures ------------------------------------------------------------------------
# A 24-megapixel photograph from the NASA Blue Marble picture Debian ships,
# the same with the fine grain of a high-ISO camera file (Gaussian noise
# from a fixed seed, quality 92, about 19 MB: far more for the codec to
# do), and a 1200 x 1200 watermark from the demo's.  Made once, then reused.
PHOTO=$WORK/photo.jpg
GRAIN=$WORK/grain.jpg
LOGO=$WORK/logo.jpg
[ -r "$SOURCE_PHOTO" ] || die "$SOURCE_PHOTO is missing (package xplanet-images)"
if [ ! -s "$PHOTO" ]; then
    "$IM" "$SOURCE_PHOTO" -resize '6000x4000!' -quality 90 "$PHOTO" >>"$LOG" 2>&1 || die "making the photograph failed"
fi
if [ ! -s "$GRAIN" ]; then
    "$IM" "$PHOTO" -seed 2024 -attenuate 0.75 +noise Gaussian -quality 92 "$GRAIN" >>"$LOG" 2>&1 ||
        die "making the grainy photograph failed"
fi
BLUE_MARBLE=$PHOTO
if [ ! -s "$LOGO" ]; then
    "$IM" "$SOURCE_WATERMARK" -resize '1200x1200!' -quality 90 "$LOGO" >>"$LOG" 2>&1 || die "making the watermark failed"
fi

# make_batch: the batch's copies of $PHOTO (the first with EXIF, a
# thumbnail, XMP and an ICC profile, the others copies of it) and $PHOTO as
# PNG.
make_batch() {
    local name i
    rm -rf "$WORK/batch" "$WORK/out"
    mkdir -p "$WORK/batch" "$WORK/out/ours" "$WORK/out/theirs"
    BATCH=()
    for ((i = 1; i <= BATCH_FILES; i++)); do
        name=$(printf '%s/batch/photo-%02d.jpg' "$WORK" "$i")
        cp "$PHOTO" "$name"
        BATCH+=("$name")
    done
    PHOTO_PNG=${PHOTO%.jpg}.png
    if [ ! -s "$PHOTO_PNG" ]; then
        "$IM" "$PHOTO" "$PHOTO_PNG" >>"$LOG" 2>&1 || die "making the PNG photograph failed"
    fi
    if command -v exiv2 >/dev/null 2>&1; then
        python3 "$ROOT/tests/cli/pictures.py" icc "$WORK/batch/photo-01.icc"
        "$IM" "$PHOTO" -resize 160x120 "$WORK/batch/photo-01-thumb.jpg" >>"$LOG" 2>&1
        exiv2 -q -M"set Exif.Image.Make Quillvane bench" -M"set Exif.Photo.PixelXDimension 6000" \
            -M"set Exif.Photo.PixelYDimension 4000" -M"set Xmp.dc.creator Bench" "${BATCH[0]}" >>"$LOG" 2>&1
        exiv2 -q -it "${BATCH[0]}" >>"$LOG" 2>&1
        [ -s "$WORK/batch/photo-01.icc" ] && exiv2 -q -iC "${BATCH[0]}" >>"$LOG" 2>&1
        for f in "${BATCH[@]:1}"; do cp "${BATCH[0]}" "$f"; done
    fi
}

# The colour emboss at strength 10 is the picture plus this kernel (top row
# first); both other tools get exactly it.
EMBOSS_ROWS=("-1 -1 0" "-1 1 1" "0 1 1")
EMBOSS_IM="3x3: $(echo "${EMBOSS_ROWS[@]}" | tr ' ' ',')"
MATRIX=$WORK/emboss.mat
{ echo "3 3 1 0"; printf '%s\n' "${EMBOSS_ROWS[@]}"; } >"$MATRIX"

# ---- timing --------------------------------------------------------------------------
# median_of WARMUP RUN: runs WARMUP once, then RUN REPS times; prints the
# median wall time in seconds, or nothing when a run fails.
median_of() {
    local warmup=$1 run=$2 i start stop times=()
    "$warmup" >>"$LOG" 2>&1 || { say "$run: the warm-up failed"; return 1; }
    for ((i = 0; i < REPS; i++)); do
        start=$(date +%s%N)
        "$run" >>"$LOG" 2>&1 || { say "$run failed"; return 1; }
        stop=$(date +%s%N)
        times+=($((stop - start)))
    done
    printf '%s\n' "${times[@]}" | sort -n |
        awk '{ t[NR] = $1 } END { m = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2; printf "%.3f\n", m / 1e9 }'
}

# best_pair WARMUP_A RUN_A WARMUP_B RUN_B: each warm-up once, then A and B
# in turn REPS times; prints the best wall time of each in seconds ("A B"),
# or nothing when a run fails.  Two runs of the same work compared on a
# shared machine: the best of each is what the other load left alone.
best_pair() {
    local i start stop a=() b=()
    "$1" >>"$LOG" 2>&1 && "$3" >>"$LOG" 2>&1 || { say "$2 / $4: a warm-up failed"; return 1; }
    for ((i = 0; i < REPS; i++)); do
        start=$(date +%s%N); "$2" >>"$LOG" 2>&1 || { say "$2 failed"; return 1; }; stop=$(date +%s%N)
        a+=($((stop - start)))
        start=$(date +%s%N); "$4" >>"$LOG" 2>&1 || { say "$4 failed"; return 1; }; stop=$(date +%s%N)
        b+=($((stop - start)))
    done
    printf '%.3f %.3f\n' "$(printf '%s\n' "${a[@]}" | sort -n | head -1)e-9" "$(printf '%s\n' "${b[@]}" | sort -n | head -1)e-9"
}

OUT_OURS=$WORK/out/ours/out.jpg
OUT_THEIRS=$WORK/out/theirs/out.jpg

ours_convert() { "$CLI" convert "$PHOTO" --quality 80 -o "$OUT_OURS"; }
floor_convert() { djpeg "$PHOTO" >"$WORK/out/floor.ppm" && cjpeg -quality 80 "$WORK/out/floor.ppm" >"$OUT_THEIRS"; }
ours_bump() { "$CLI" bump "$PHOTO" --watermark "$LOGO" --quality 80 -o "$OUT_OURS"; }
im_bump_file() {
    "$IM" "$1" \( "$LOGO" -resize '6000x4000!' -shade 135x45 \) -compose hardlight -composite -quality 80 "$2"
}
theirs_bump() { im_bump_file "$PHOTO" "$OUT_THEIRS"; }
ours_sharpen() { "$CLI" filter --kind sharpen --strength 5 "$PHOTO" --quality 80 -o "$OUT_OURS"; }
theirs_sharpen() { "$IM" "$PHOTO" -sharpen 0x1 -quality 80 "$OUT_THEIRS"; }
ours_emboss() { "$CLI" filter --kind emboss --strength 10 "$PHOTO" --quality 80 -o "$OUT_OURS"; }
theirs_emboss() { "$IM" "$PHOTO" -morphology Convolve "$EMBOSS_IM" -quality 80 "$OUT_THEIRS"; }
ours_negate() { "$CLI" effect --kind negative "$PHOTO" --quality 80 -o "$OUT_OURS"; }
theirs_negate() { "$IM" "$PHOTO" -negate -quality 80 "$OUT_THEIRS"; }
# +10 % luminance, +30 % saturation, +30 degrees of hue (ImageMagick: 100
# is no change, 200 a half turn).
ours_ysh() { "$CLI" ysh --luminance 10 --saturation 30 --hue 30 "$PHOTO" --quality 80 -o "$OUT_OURS"; }
theirs_ysh() { "$IM" "$PHOTO" -modulate 110,130,116.67 -quality 80 "$OUT_THEIRS"; }

# --resize to a long edge of 2048 pixels against ImageMagick's -resize to
# the same 2048 x 1365 (its default filter for shrinking, Lanczos).
ours_resize() { "$CLI" convert "$PHOTO" --resize 2048px --quality 80 -o "$OUT_OURS"; }
theirs_resize() { "$IM" "$PHOTO" -resize 2048x2048 -quality 80 "$OUT_THEIRS"; }
# And to 50 % (area averaging against Lanczos) and 150 % (bilinear against
# ImageMagick's filter for enlarging, Mitchell).
ours_resize_half() { "$CLI" convert "$PHOTO" --resize 50% --quality 80 -o "$OUT_OURS"; }
theirs_resize_half() { "$IM" "$PHOTO" -resize 50% -quality 80 "$OUT_THEIRS"; }
ours_resize_up() { "$CLI" convert "$PHOTO" --resize 150% --quality 80 -o "$OUT_OURS"; }
# 54 MP needs more than the 256 MiB Debian's ImageMagick policy allows
# (-limit cannot raise it): ImageMagick keeps those pixels in a disk cache,
# as it does for any user of Debian's package.
theirs_resize_up() { "$IM" "$PHOTO" -resize 150% -quality 80 "$OUT_THEIRS"; }

# Batch: every photograph in one call (one process per core) against a
# shell loop, one file after another.
ours_batch_emboss() { "$CLI" filter --kind emboss --strength 10 --quality 80 "${BATCH[@]}" -o "$WORK/out/ours"; }
ours_batch_emboss_warmup() { "$CLI" filter --kind emboss --strength 10 --quality 80 "${BATCH[0]}" -o "$WORK/out/ours"; }
vips_conv_file() { vips conv "$1" "$2[Q=80]" "$MATRIX" --precision integer; }
theirs_batch_emboss() {
    local f
    for f in "${BATCH[@]}"; do vips_conv_file "$f" "$WORK/out/theirs/$(basename "$f")" || return 1; done
}
theirs_batch_emboss_warmup() { vips_conv_file "${BATCH[0]}" "$OUT_THEIRS"; }
ours_batch_bump() { "$CLI" bump --watermark "$LOGO" --quality 80 "${BATCH[@]}" -o "$WORK/out/ours"; }
ours_batch_bump_warmup() { "$CLI" bump --watermark "$LOGO" --quality 80 "${BATCH[0]}" -o "$WORK/out/ours"; }
theirs_batch_bump() {
    local f
    for f in "${BATCH[@]}"; do im_bump_file "$f" "$WORK/out/theirs/$(basename "$f")" || return 1; done
}
theirs_batch_bump_warmup() { theirs_bump; }

# PNG: a 24-megapixel PNG read and written, against vips copy and ImageMagick.
ours_png() { "$CLI" convert "$PHOTO_PNG" -o "$WORK/out/ours/out.png"; }
vips_png() { vips copy "$PHOTO_PNG" "$WORK/out/theirs/out.png"; }
im_png() { "$IM" "$PHOTO_PNG" "$WORK/out/theirs/out.png"; }

# A photographer's batch: a logo PNG whose alpha is the mark, 20 % of each
# photograph's width, lower right, 2 % margins, metadata kept (the batch's
# photographs carry EXIF with a thumbnail, XMP and an ICC profile) or not.
LOGO_PNG=$WORK/logo.png
if [ ! -s "$LOGO_PNG" ]; then
    "$IM" "$SOURCE_WATERMARK" \( +clone -colorspace gray \) -alpha off -compose copy_opacity -composite \
        -fill '#c02020' -colorize 100 "$LOGO_PNG" >>"$LOG" 2>&1 || die "making the logo PNG failed"
fi
PLACE=(--size 20% --gravity se --margin 2%,2%)
ours_batch_meta() { "$CLI" bump --watermark "$LOGO_PNG" "${PLACE[@]}" --quality 80 "${BATCH[@]}" -o "$WORK/out/ours"; }
ours_batch_meta_warmup() { "$CLI" bump --watermark "$LOGO_PNG" "${PLACE[@]}" --quality 80 "${BATCH[0]}" -o "$WORK/out/ours"; }
ours_batch_strip() { "$CLI" bump --watermark "$LOGO_PNG" "${PLACE[@]}" --strip --quality 80 "${BATCH[@]}" -o "$WORK/out/ours"; }
ours_batch_strip_warmup() { "$CLI" bump --watermark "$LOGO_PNG" "${PLACE[@]}" --strip --quality 80 "${BATCH[0]}" -o "$WORK/out/ours"; }
# The nearest ImageMagick does: the logo's alpha resized to 1200 pixels
# wide, shaded, laid lower right 120 x 80 pixels in, hard light.
im_place_file() {
    "$IM" "$1" \( "$LOGO_PNG" -alpha extract -resize 1200x -shade 135x45 \) -gravity southeast -geometry +120+80 \
        -compose hardlight -composite -quality 80 "$2"
}
theirs_batch_place() {
    local f
    for f in "${BATCH[@]}"; do im_place_file "$f" "$WORK/out/theirs/$(basename "$f")" || return 1; done
}
theirs_batch_place_warmup() { im_place_file "${BATCH[0]}" "$OUT_THEIRS"; }

# ---- the table -------------------------------------------------------------------------
ROW_WORK=() ROW_OURS=() ROW_THEIRS=() ROW_RATIO=() ROW_TARGET=() ROW_MET=()
CHART_TIMES=$WORK/chart-times.dat     # label, ours s, theirs s
CHART_ENGINES=$WORK/chart-engines.dat # label, per cent of the target
: >"$CHART_TIMES"
: >"$CHART_ENGINES"

add_row() {  # work ours theirs ratio target met
    ROW_WORK+=("$1") ROW_OURS+=("$2") ROW_THEIRS+=("$3") ROW_RATIO+=("$4") ROW_TARGET+=("$5") ROW_MET+=("$6")
}

yes_no() { awk -v c="$1" 'BEGIN { print (c ? "yes" : "no") }'; }

# engine_row LABEL BENCH-NAME TARGET-MP/S: a throughput row from the engine benchmark.
engine_row() {
    local label=$1 name=$2 target=$3 mps
    mps=$(awk -v n="$name" -F'\t' '$1 == n { print $3 }' "$WORK/engines.tsv")
    if [ -z "$mps" ]; then
        add_row "$label" "failed" "—" "—" "≥ $target MP/s" "no"
        return
    fi
    add_row "$label" "$mps MP/s" "—" "—" "≥ $target MP/s" "$(yes_no "$(awk -v a="$mps" -v t="$target" 'BEGIN { print (a >= t) }')")"
    printf '"%s" %s\n' "$label" "$(awk -v a="$mps" -v t="$target" 'BEGIN { printf "%.1f", 100 * a / t }')" >>"$CHART_ENGINES"
}

# preview_row LABEL BENCH-NAME: a preview re-render against 5 ms.
preview_row() {
    local label=$1 name=$2 ms
    ms=$(awk -v n="$name" -F'\t' '$1 == n { print $2 }' "$WORK/engines.tsv")
    if [ -z "$ms" ]; then
        add_row "$label" "failed" "—" "—" "≤ 5 ms" "no"
        return
    fi
    add_row "$label" "$ms ms" "—" "—" "≤ 5 ms" "$(yes_no "$(awk -v a="$ms" 'BEGIN { print (a <= 5) }')")"
    printf '"%s" %s\n' "$label" "$(awk -v a="$ms" 'BEGIN { printf "%.1f", (a > 0 ? 100 * 5 / a : 0) }')" >>"$CHART_ENGINES"
}

# versus_row LABEL OURS-FN THEIRS-FN FACTOR [WARMUPS]: ours at least FACTOR
# times faster (FACTOR 1: not slower).  A batch row names its warm-ups.
versus_row() {
    local label=$1 ours_fn=$2 theirs_fn=$3 factor=$4 ours_warm=${5:-$2} theirs_warm=${6:-$3} ours theirs
    say "$label"
    ours=$(median_of "$ours_warm" "$ours_fn")
    theirs=$(median_of "$theirs_warm" "$theirs_fn")
    local target="≥ $factor× faster"
    [ "$factor" = 1 ] && target="not slower"
    if [ -z "$ours" ] || [ -z "$theirs" ]; then
        add_row "$label" "${ours:-failed} s" "${theirs:-failed} s" "—" "$target" "no"
        return
    fi
    local ratio
    ratio=$(awk -v o="$ours" -v t="$theirs" 'BEGIN { printf "%.2f", (o > 0 ? t / o : 0) }')
    add_row "$label" "$ours s" "$theirs s" "$ratio× faster" "$target" "$(yes_no "$(awk -v r="$ratio" -v f="$factor" 'BEGIN { print (r >= f) }')")"
    printf '"%s" %s %s\n' "${label//\`/}" "$ours" "$theirs" >>"$CHART_TIMES"
}

# The engines in memory, from the engine benchmark, in one run.
say "engines in memory ($BENCH --reps $REPS)"
"$BENCH" --reps "$REPS" >"$WORK/engines.txt" 2>>"$LOG" || say "the engine benchmark reported a failure (see $WORK/engines.txt)"
cat "$WORK/engines.txt" >>"$LOG"
# name (the first 28 columns), median ms, MP/s
awk 'NR > 2 && length($0) > 28 { name = substr($0, 1, 28); sub(/ +$/, "", name); n = split(substr($0, 29), f, " ");
     if (n >= 3) printf "%s\t%s\t%s\n", name, f[1], f[3] }' "$WORK/engines.txt" >"$WORK/engines.tsv"

engine_row "negative, in memory" "effect negative" 800
engine_row "posterize, in memory" "effect posterize 64" 800
engine_row "solarize, in memory" "effect solarize 64" 800
engine_row "binarize, in memory" "effect binarize 64" 800
engine_row "contrast (measured), in memory" "effect contrast (measured)" 800
engine_row "sharpen, one pass, in memory" "filter sharpen 5" 250
engine_row "colour emboss, one pass, in memory" "filter emboss 5" 250
engine_row "custom kernel, one pass, in memory" "filter custom 1" 250
engine_row "soft, per pass, in memory" "filter soft 1" 250
engine_row "bump NoEnlarge (watermark pixels), in memory" "bump NoEnlarge (centred)" 250
engine_row "bump Tile, in memory" "bump Tile" 250
engine_row "bump Stretch, in memory" "bump Stretch" 250
engine_row "YSH adjustment, in memory" "ysh +10% +30% +30deg" 150
engine_row "CMYK round trip, in memory" "ysh cmyk round trip" 200
engine_row "ScaleDib to 6000 × 4000" "ScaleDib to picture size" 500
engine_row "resize 6000 × 4000 to 2048px (area), in memory" "resize to 2048px (area)" 250
engine_row "resize 6000 × 4000 to 150% (bilinear), in memory" "resize to 150% (bilinear)" 100
preview_row "preview re-render: bump" "preview bump Stretch"
preview_row "preview re-render: filter (soft, 10 passes)" "preview filter soft 10"
preview_row "preview re-render: filter (sharpen)" "preview filter sharpen 5"
preview_row "preview re-render: effect" "preview effect posterize"
preview_row "preview re-render: YSH" "preview ysh"

# command_rows: every command-line row on $PHOTO, labelled with $ON.
command_rows() {
    local ours floor ratio rss_ours rss_theirs last kept stripped cost
    # convert against the codec floor: ours at most 1.1 times djpeg + cjpeg.
    say "convert JPEG → JPEG vs djpeg | cjpeg$ON"
    ours=$(median_of ours_convert ours_convert)
    floor=$(median_of floor_convert floor_convert)
    if [ -n "$ours" ] && [ -n "$floor" ]; then
        ratio=$(awk -v o="$ours" -v t="$floor" 'BEGIN { printf "%.2f", (t > 0 ? o / t : 0) }')
        add_row "\`convert\` JPEG → JPEG q80 vs djpeg then cjpeg$ON" "$ours s" "$floor s" "$ratio× the floor" "≤ 1.1× the floor" \
            "$(yes_no "$(awk -v r="$ratio" 'BEGIN { print (r <= 1.1) }')")"
        printf '"%s" %s %s\n' "convert vs codec floor$ON" "$ours" "$floor" >>"$CHART_TIMES"
    else
        add_row "\`convert\` JPEG → JPEG q80 vs djpeg then cjpeg$ON" "${ours:-failed} s" "${floor:-failed} s" "—" "≤ 1.1× the floor" "no"
    fi

    versus_row "\`bump\` vs ImageMagick shade + hardlight$ON" ours_bump theirs_bump 6
    versus_row "\`filter\` sharpen vs \`convert -sharpen 0x1\`$ON" ours_sharpen theirs_sharpen 4
    versus_row "\`filter\` emboss vs \`convert -morphology Convolve\`$ON" ours_emboss theirs_emboss 2
    versus_row "\`effect --kind negative\` vs \`convert -negate\`$ON" ours_negate theirs_negate 2
    versus_row "\`ysh\` vs \`convert -modulate\`$ON" ours_ysh theirs_ysh 1
    versus_row "\`convert --resize 2048px\` vs \`convert -resize 2048x2048\`$ON" ours_resize theirs_resize 1
    versus_row "\`convert --resize 50%\` vs \`convert -resize 50%\`$ON" ours_resize_half theirs_resize_half 1
    versus_row "\`convert --resize 150%\` vs \`convert -resize 150%\`$ON" ours_resize_up theirs_resize_up 1

    # Peak memory (GNU time's maximum resident set size), one run each.
    say "peak memory of bump$ON"
    /usr/bin/time -f %M -o "$WORK/rss-ours.txt" "$CLI" bump "$PHOTO" --watermark "$LOGO" -o "$OUT_OURS" >>"$LOG" 2>&1
    /usr/bin/time -f %M -o "$WORK/rss-theirs.txt" "$IM" "$PHOTO" \( "$LOGO" -resize '6000x4000!' -shade 135x45 \) \
        -compose hardlight -composite -quality 80 "$OUT_THEIRS" >>"$LOG" 2>&1
    rss_ours=$(awk '{ printf "%.0f", $1 / 1024 }' "$WORK/rss-ours.txt" 2>/dev/null)
    rss_theirs=$(awk '{ printf "%.0f", $1 / 1024 }' "$WORK/rss-theirs.txt" 2>/dev/null)
    if [ -n "$rss_ours" ]; then
        add_row "peak memory of \`bump\` vs the ImageMagick pipeline$ON" "$rss_ours MB" "${rss_theirs:-?} MB" \
            "$(awk -v o="$rss_ours" -v t="${rss_theirs:-0}" 'BEGIN { printf "%.2f× less", (o > 0 ? t / o : 0) }')" "≤ 200 MB" \
            "$(yes_no "$(awk -v o="$rss_ours" 'BEGIN { print (o <= 200) }')")"
    else
        add_row "peak memory of \`bump\`$ON" "failed" "—" "—" "≤ 200 MB" "no"
    fi

    versus_row "batch of $BATCH_FILES: emboss vs \`vips conv\` in a loop$ON" ours_batch_emboss theirs_batch_emboss 1 \
        ours_batch_emboss_warmup theirs_batch_emboss_warmup
    # The emboss batch row's target is "less total time": not slower will not
    # do, so the row is judged on the times themselves.
    last=$((${#ROW_WORK[@]} - 1))
    ROW_TARGET[last]="less total time"
    if [ "${ROW_MET[last]}" = yes ]; then
        ROW_MET[last]=$(yes_no "$(awk -v r="${ROW_RATIO[last]%×*}" 'BEGIN { print (r > 1) }')")
    fi
    versus_row "batch of $BATCH_FILES: bump vs the ImageMagick pipeline in a loop$ON" ours_batch_bump theirs_batch_bump 5 \
        ours_batch_bump_warmup theirs_batch_bump_warmup

    versus_row "PNG 24 MP read and write: \`convert\` vs \`vips copy\`$ON" ours_png vips_png 1
    versus_row "PNG 24 MP read and write: \`convert\` vs ImageMagick$ON" ours_png im_png 1
    versus_row "batch of $BATCH_FILES: logo PNG, --size 20% --gravity se --margin 2%,2%, metadata kept, vs ImageMagick$ON" \
        ours_batch_meta theirs_batch_place 1 ours_batch_meta_warmup theirs_batch_place_warmup
    # Keeping the metadata may cost at most 3 % over --strip (the best of
    # each, run in turn).
    say "batch of $BATCH_FILES: metadata kept vs --strip$ON"
    read -r kept stripped < <(best_pair ours_batch_meta_warmup ours_batch_meta ours_batch_strip_warmup ours_batch_strip)
    if [ -n "$kept" ] && [ -n "$stripped" ]; then
        cost=$(awk -v k="$kept" -v s="$stripped" 'BEGIN { printf "%.1f", (s > 0 ? 100 * (k - s) / s : 0) }')
        add_row "batch of $BATCH_FILES: metadata kept vs \`--strip\`$ON" "$kept s" "$stripped s" "$cost % more time" "≤ 3 % more" \
            "$(yes_no "$(awk -v c="$cost" 'BEGIN { print (c <= 3) }')")"
        printf '"%s" %s %s\n' "metadata kept vs --strip$ON" "$kept" "$stripped" >>"$CHART_TIMES"
    else
        add_row "batch of $BATCH_FILES: metadata kept vs \`--strip\`$ON" "${kept:-failed} s" "${stripped:-failed} s" "—" "≤ 3 % more" "no"
    fi
}

for PHOTO in "$BLUE_MARBLE" "$GRAIN"; do
    if [ "$PHOTO" = "$GRAIN" ]; then ON=", grainy"; else ON=", Blue Marble"; fi
    make_batch
    command_rows
done

# ---- the report -----------------------------------------------------------------------
cpu=$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)
memory=$(awk '/^MemTotal/ { printf "%.1f GB", $2 / 1048576 }' /proc/meminfo)
first_line() { "$@" 2>&1 | head -n 1; }
# The section bench/focused.sh writes (resizing, metadata) stays as it is.
FOCUSED=
[ -f "$RESULTS" ] && FOCUSED=$(sed -n '/^<!-- focused.sh: /,$p' "$RESULTS")
met=0
for m in "${ROW_MET[@]}"; do [ "$m" = yes ] && met=$((met + 1)); done
{
    echo "# Benchmark results"
    echo
    echo "Written by \`bench/compare.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC'); mode: $MODE."
    echo "Each figure is the median of the repetitions after a warm-up run. In-memory rows come from"
    echo "\`quillvane_bench\` on a generated 6000 × 4000 picture; command-line rows read and write two 24 MP"
    echo "JPEG photographs (6000 × 4000): one made from Debian's xplanet-images Blue Marble (quality 90),"
    echo "and the same with fine grain from a fixed seed (quality 92, about 19 MB), with a 1200 × 1200"
    echo "watermark made from \`demo/watermark.bmp\`; every output is JPEG quality 80."
    echo "Ratios above 1 mean Quillvane is faster (for the codec floor: Quillvane's time over the floor's)."
    echo
    echo "$met of ${#ROW_WORK[@]} targets met."
    echo
    echo "| work | ours (median) | theirs (median) | ratio | target | met |"
    echo "|---|---|---|---|---|---|"
    for i in "${!ROW_WORK[@]}"; do
        echo "| ${ROW_WORK[i]} | ${ROW_OURS[i]} | ${ROW_THEIRS[i]} | ${ROW_RATIO[i]} | ${ROW_TARGET[i]} | ${ROW_MET[i]} |"
    done
    echo
    echo "![Benchmark chart](results.png)"
    echo
    echo "## Machine"
    echo
    echo "- CPU: ${cpu:-unknown}, $(nproc) cores available ($(grep -c '^processor' /proc/cpuinfo) online)"
    echo "- memory: $memory"
    echo "- system: $(. /etc/os-release 2>/dev/null && echo "$PRETTY_NAME"), kernel $(uname -r)"
    echo "- load average when the run ended: $(cut -d' ' -f1-3 /proc/loadavg)"
    echo
    echo "## Versions"
    echo
    echo "- $("$CLI" --version), build directory \`${BUILD_DIR#"$ROOT"/}\` ($(awk -F= '/^CMAKE_BUILD_TYPE:/ { print $2 }' "$BUILD_DIR/CMakeCache.txt"))"
    echo "- compiler: $(first_line "$(awk -F= '/^CMAKE_CXX_COMPILER:/ { print $2 }' "$BUILD_DIR/CMakeCache.txt")" --version)"
    echo "- ImageMagick: $(first_line "$IM" -version | sed 's/^Version: //')"
    echo "- libvips: $(first_line vips --version)"
    echo "- libjpeg-turbo: $(dpkg-query -W -f='${Version}' libjpeg-turbo-progs 2>/dev/null) (djpeg, cjpeg)"
    echo "- gnuplot: $(first_line gnuplot --version)"
    if [ -n "$FOCUSED" ]; then
        echo
        echo "$FOCUSED"
    fi
} >"$RESULTS"

# ---- the chart ---------------------------------------------------------------------------
gnuplot >>"$LOG" 2>&1 <<EOF || say "gnuplot failed; the chart was not written"
set terminal pngcairo size 1400,1000 font "DejaVu Sans,10"
set output "$CHART"
set rmargin 12
set bmargin 9
set multiplot layout 2,1 title "Quillvane benchmark ($(date -u '+%Y-%m-%d'), $(nproc) cores, $MODE)"
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.85 border -1
set boxwidth 0.9
set grid ytics
set key top left
set xtics rotate by -25 noenhanced
set logscale y
set title "Command line: median wall time, seconds (lower is better)"
set ylabel "seconds"
plot "$CHART_TIMES" using 2:xtic(1) title "quillvane-cli" lc rgb "#2a7ab0", \
     "" using 3 title "the other tool" lc rgb "#c8553d"
set title "In memory: per cent of the target (100 = target met; higher is better)"
set ylabel "% of target"
unset key
plot "$CHART_ENGINES" using 2:xtic(1) lc rgb "#2a7ab0", 100 with lines lc rgb "#333333" dt 2 notitle
unset multiplot
EOF

say "$met of ${#ROW_WORK[@]} targets met; wrote ${RESULTS#"$ROOT"/} and ${CHART#"$ROOT"/}"
