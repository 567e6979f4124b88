#!/usr/bin/env bash
# Times the engines in the 64-bit Windows program under Wine beside the
# native program on the same machine, then the bump dialog's OK and what a
# user waits for (open, save, each command's OK) in the Windows program's
# real main window, and writes bench/RESULTS-windows.md.
#
#   bench/windows.sh [--runs N] [--reps N] [--size WxH] [--only TEXT] [--baseline]
#                    [--no-engines] [--no-ok] [--no-latency] [--no-batch]
#
#   --runs N     whole benchmark runs on each side; each engine keeps its best (default 3)
#   --reps N     timed repetitions per engine within a run (default 3; the run's figure is their median)
#   --size WxH   the generated picture (default 6000x4000)
#   --only TEXT  only the engines whose name contains TEXT
#   --baseline   one more column: the Windows program with its baseline loops
#                (QUILLVANE_CPU=baseline), the code it ran before run-time dispatch
#   --no-engines leave out the engines (their section of the results stays as it was)
#   --no-ok      leave out the bump dialog's OK (likewise)
#   --no-latency leave out the latencies on the 24 MP photograph (likewise)
#   --no-batch   leave out the batch window beside the tool (likewise)
#
# Builds what is missing: the 'native' preset's quillvane_bench, the
# 'windows64' preset's quillvane_bench, quillvane_bump_ok_bench and
# quillvane_latency_bench (and the 32-bit ones, built only: run where the
# machine runs 32-bit programs).  The latencies use compare.sh's 24 MP
# photograph (Debian's Blue Marble at 6000 x 4000, made with ImageMagick,
# installed by scripts/install-bench-deps.sh when missing).
# Wine runs through scripts/wine-run.sh (QUILLVANE_XVFB_DISPLAY picks its
# Xvfb).  Figures mean little on a busy machine: the load average at the
# start is written beside them.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
RUNS=3 REPS=3 SIZE=6000x4000 ONLY= BASELINE=0 ENGINES=1 OK=1 LATENCY=1 BATCH=1
while [ $# -gt 0 ]; do
    case $1 in
    --runs) RUNS=${2:?--runs needs a number}; shift ;;
    --reps) REPS=${2:?--reps needs a number}; shift ;;
    --size) SIZE=${2:?--size needs WxH}; shift ;;
    --only) ONLY=${2:?--only needs a text}; shift ;;
    --baseline) BASELINE=1 ;;
    --no-engines) ENGINES=0 ;;
    --no-ok) OK=0 ;;
    --no-latency) LATENCY=0 ;;
    --no-batch) BATCH=0 ;;
    -h | --help) sed -n '2,29p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "windows.sh: unknown argument '$1' (try --help)" >&2; exit 2 ;;
    esac
    shift
done
case $RUNS in '' | *[!0-9]* | 0) echo "windows.sh: --runs must be a positive number" >&2; exit 2 ;; esac

WORK=$ROOT/build/bench-windows
LOG=$WORK/windows.log
RESULTS=$ROOT/bench/RESULTS-windows.md
NATIVE=$ROOT/build/native/bench/quillvane_bench
WIN64=$ROOT/build/windows64/bench/quillvane_bench.exe
WIN64_OK=$ROOT/build/windows64/bench/quillvane_bump_ok_bench.exe
WIN64_LATENCY=$ROOT/build/windows64/bench/quillvane_latency_bench.exe
WIN64_BATCH=$ROOT/build/windows64/bench/quillvane_batch_bench.exe
PHOTO=$ROOT/build/bench-compare/photo.jpg
say() { echo "windows.sh: $*" >&2; }
die() { say "$*"; say "log: $LOG"; exit 1; }
mkdir -p "$WORK" || exit 1
trap 'rm -f "$RESULTS.new"' EXIT
: >"$LOG"

# Only what the sections run need; the 32-bit programs with the engines.
WIN_TARGETS=()
[ "$ENGINES" -eq 1 ] && WIN_TARGETS+=(quillvane_bench)
[ "$OK" -eq 1 ] && WIN_TARGETS+=(quillvane_bump_ok_bench)
[ "$LATENCY" -eq 1 ] && WIN_TARGETS+=(quillvane_latency_bench)
[ "$BATCH" -eq 1 ] && WIN_TARGETS+=(quillvane_batch_bench)
say "building (log: $LOG)"
if [ ${#WIN_TARGETS[@]} -gt 0 ]; then
    {
        { [ "$ENGINES" -eq 0 ] || { cmake --preset native && cmake --build --preset native -j 2 --target quillvane_bench; }; } &&
            cmake --preset windows64 && cmake --build --preset windows64 -j 2 --target "${WIN_TARGETS[@]}" &&
            { [ "$ENGINES" -eq 0 ] || { cmake --preset windows &&
                cmake --build --preset windows -j 2 --target quillvane_bench quillvane_bump_ok_bench quillvane_latency_bench; }; }
    } >>"$LOG" 2>&1 || die "the build failed"
fi

LOAD=$(cut -d' ' -f1-3 /proc/loadavg)
ARGS=(--reps "$REPS" --size "$SIZE")
[ -n "$ONLY" ] && ARGS+=(--only "$ONLY")

# The results are sections, each headed by a marker line; a section not
# run this time is kept as the last run wrote it.
OLD_RESULTS=$WORK/RESULTS-windows.old.md
[ -f "$RESULTS" ] && cp "$RESULTS" "$OLD_RESULTS" || : >"$OLD_RESULTS"
marker() { echo "<!-- windows.sh: $1 -->"; }
# old_section NAME: the section as the last run wrote it (its marker first).
old_section() {
    awk -v m="$(marker "$1")" '/^<!-- windows.sh: / { on = ($0 == m) } on' "$OLD_RESULTS"
}
machine_line() {
    echo "$(nproc) cores ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')), load average $1 at the start, $(cut -d' ' -f1-3 /proc/loadavg) at the end; this script ran at niceness $(nice)"
}

# ---- the engines beside the native program ------------------------------------------

# One run's table as "name<TAB>MP/s" lines (Wine's lines end in CR).
run_table() {
    local out=$1; shift
    "$@" "${ARGS[@]}" >"$out.raw" 2>>"$LOG" || return 1
    tr -d '\r' <"$out.raw" | awk 'NR > 2 && NF >= 4 && $NF ~ /^[0-9.]+$/ {
        name = $1; for (i = 2; i <= NF - 3; ++i) name = name " " $i; print name "\t" $NF }' >"$out"
}

# Each side's runs in turn (native, Windows, native, ...), so that a load
# that comes and goes on a shared machine falls on both; each engine keeps
# its best figure of the runs of a side.
SIDES=(native win64)
[ "$BASELINE" -eq 1 ] && SIDES+=(win64-baseline)
run_side() {
    case $1 in
    native) run_table "$2" "$NATIVE" ;;
    win64) run_table "$2" "$ROOT/scripts/wine-run.sh" "$WIN64" ;;
    win64-baseline) run_table "$2" env QUILLVANE_CPU=baseline "$ROOT/scripts/wine-run.sh" "$WIN64" ;;
    esac
}
engines_section() {
    local side run
    for side in "${SIDES[@]}"; do : >"$WORK/$side.all"; done
    for run in $(seq "$RUNS"); do
        for side in "${SIDES[@]}"; do
            say "$side: run $run of $RUNS"
            run_side "$side" "$WORK/$side.$run" || die "$side: the benchmark failed"
            cat "$WORK/$side.$run" >>"$WORK/$side.all"
        done
    done
    for side in "${SIDES[@]}"; do
        awk -F'\t' '!($1 in best) { order[++n] = $1 } !($1 in best) || $2 > best[$1] { best[$1] = $2 }
            END { for (i = 1; i <= n; ++i) print order[i] "\t" best[order[i]] }' "$WORK/$side.all" >"$WORK/$side.best"
    done
    marker engines
    echo "## The engines beside the native program"
    echo
    echo "Written by \`bench/windows.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC'): $(machine_line "$LOAD")."
    echo "Picture $SIZE; each figure is the best of $RUNS runs, each run the median of $REPS repetitions after a warm-up; the sides' runs took turns."
    echo "The Windows program is the 64-bit build (mingw-w64 GCC $(x86_64-w64-mingw32-g++-posix -dumpversion 2>/dev/null)) under $(wine64 --version 2>/dev/null || echo Wine); the native one is the 'native' preset's build."
    echo
    if [ "$BASELINE" -eq 1 ]; then
        echo "| engine | native MP/s | Windows 64-bit MP/s | ratio | Windows 64-bit, baseline loops MP/s | ratio |"
        echo "|---|---:|---:|---:|---:|---:|"
    else
        echo "| engine | native MP/s | Windows 64-bit MP/s | ratio |"
        echo "|---|---:|---:|---:|"
    fi
    awk -F'\t' -v baseline="$BASELINE" '
        FILENAME ~ /native.best$/ { native[$1] = $2; order[++n] = $1; next }
        FILENAME ~ /win64.best$/ { win[$1] = $2; next }
        { base[$1] = $2 }
        END {
            for (i = 1; i <= n; ++i) {
                k = order[i]
                line = sprintf("| %s | %.1f | %s | %s |", k, native[k], k in win ? sprintf("%.1f", win[k]) : "—",
                               (k in win && native[k] > 0) ? sprintf("%.0f %%", 100 * win[k] / native[k]) : "—")
                if (baseline)
                    line = line sprintf(" %s | %s |", k in base ? sprintf("%.1f", base[k]) : "—",
                                        (k in base && native[k] > 0) ? sprintf("%.0f %%", 100 * base[k] / native[k]) : "—")
                print line
            }
        }' "$WORK/native.best" "$WORK/win64.best" $([ "$BASELINE" -eq 1 ] && echo "$WORK/win64-baseline.best")
    echo
}

# ---- the bump dialog's OK ---------------------------------------------------------------
ok_section() {
    local load
    load=$(cut -d' ' -f1-3 /proc/loadavg)
    say "the bump dialog's OK"
    "$ROOT/scripts/wine-run.sh" "$WIN64_OK" --size "$SIZE" --reps 5 >"$WORK/ok.raw" 2>>"$LOG" ||
        die "the bump dialog's OK benchmark failed"
    marker ok
    echo "## The bump dialog's OK"
    echo
    echo "\`quillvane_bump_ok_bench\` in the 64-bit Windows program under Wine: from the click on OK to the repainted main window"
    echo "($(date -u '+%Y-%m-%d %H:%M UTC'), $(machine_line "$load"))."
    echo
    echo '```'
    tr -d '\r' <"$WORK/ok.raw"
    echo '```'
    echo
}

# ---- what a user waits for on the photograph --------------------------------------------
make_photo() {
    if [ ! -s "$PHOTO" ]; then
        bash "$ROOT/scripts/install-bench-deps.sh" >>"$LOG" 2>&1 || die "installing the tools failed"
        mkdir -p "$(dirname "$PHOTO")" &&
            /usr/bin/convert /usr/share/xplanet/images/earth.jpg -resize '6000x4000!' -quality 90 "$PHOTO" >>"$LOG" 2>&1 ||
            die "making the photograph failed"
    fi
}

latency_section() {
    local load
    make_photo
    mkdir -p "$WORK/saved"
    load=$(cut -d' ' -f1-3 /proc/loadavg)
    say "open, save and each command's OK on the photograph"
    "$ROOT/scripts/wine-run.sh" "$WIN64_LATENCY" --photo "Z:${PHOTO//\//\\}" --out "Z:${WORK//\//\\}\\saved" \
        --reps 5 >"$WORK/latency.raw" 2>>"$LOG" || die "the latency benchmark failed"
    marker latency
    echo "## What a user waits for"
    echo
    echo "\`quillvane_latency_bench\` in the 64-bit Windows program under Wine, the real main window and dialogs driven"
    echo "as a user's clicks drive them, on the Blue Marble photograph (6000 × 4000 JPEG, $(stat -c %s "$PHOTO") bytes)"
    echo "($(date -u '+%Y-%m-%d %H:%M UTC'), $(machine_line "$load")). Open: from the file dropped on the window"
    echo "(the open dialog's read, without the dialog) to the end of the first paint. Save: from the JPEG settings' OK"
    echo "(quality as remembered, baseline) to the repainted window, the file written. Commands: from the dialog's OK"
    echo "to the repainted window. Each case 5 runs; the first open is the program's first (nothing kept yet)."
    echo
    echo '```'
    tr -d '\r' <"$WORK/latency.raw"
    echo '```'
    echo
    echo "A command keeps the picture as it was for undo. While the history grows (the first commands after an"
    echo "open, up to its cap of 512 MB: five steps of this photograph), that copy goes to memory the process has"
    echo "not touched yet, and on this machine a fresh page costs far more than the copy itself (a 96 MB copy into"
    echo "fresh memory takes about 500 ms natively on one core, 11 ms into touched memory); the copy runs on both"
    echo "cores, and those runs of a case are the slower ones. Once the history is full, its oldest step's memory"
    echo "is used again."
    echo
}

# ---- the batch window beside the tool ---------------------------------------------------
batch_section() {
    local load
    make_photo
    rm -rf "$WORK/batch"
    load=$(cut -d' ' -f1-3 /proc/loadavg)
    say "the batch window and the tool on 20 copies of the photograph"
    "$ROOT/scripts/wine-run.sh" "$WIN64_BATCH" --photo "Z:${PHOTO//\//\\}" --work "Z:${WORK//\//\\}\\batch" \
        --count 20 --runs 3 >"$WORK/batch.raw" 2>>"$LOG" || die "the batch benchmark failed"
    rm -rf "$WORK/batch"
    marker batch
    echo "## The batch window beside the tool"
    echo
    echo "\`quillvane_batch_bench\` in the 64-bit Windows program under Wine: 20 copies of the photograph above stamped"
    echo "with a 1200 × 1200 relief tiled, the bump dialog's light, the photos' own type with their metadata"
    echo "($(date -u '+%Y-%m-%d %H:%M UTC'), $(machine_line "$load")). The batch window from the click on Start to"
    echo "the summary shown; \`quillvane-cli.exe\` by hand with the same arguments and the 20 photos named at once,"
    echo "from its start to its exit. The runs take turns; each run's results are compared byte for byte."
    echo
    echo '```'
    tr -d '\r' <"$WORK/batch.raw"
    echo '```'
    echo
}

{
    echo "# The Windows program's figures"
    echo
    if [ "$ENGINES" -eq 1 ]; then engines_section; else old_section engines; fi
    if [ "$OK" -eq 1 ]; then ok_section; else old_section ok; fi
    if [ "$LATENCY" -eq 1 ]; then latency_section; else old_section latency; fi
    if [ "$BATCH" -eq 1 ]; then batch_section; else old_section batch; fi
    cat "$ROOT/bench/windows-computed.md"
} >"$RESULTS.new" && mv "$RESULTS.new" "$RESULTS"
say "wrote ${RESULTS#"$ROOT"/}"
cat "$RESULTS"
