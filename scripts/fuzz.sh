#!/bin/bash
# Runs the libFuzzer targets (built by the 'fuzz' preset, or 'fuzz-coverage'
# for the report).  Each target starts from its seeds (scripts/make-fuzz-
# corpus.py) and from the corpus kept in tests/fuzz/corpus/TARGET.
#
#   scripts/fuzz.sh smoke SECONDS          every target for SECONDS; stops at the first failure
#   scripts/fuzz.sh long SECONDS [RUNS]    every target for SECONDS (or RUNS inputs, whichever
#                                          comes first), then its corpus minimised back into
#                                          tests/fuzz/corpus; figures in build/fuzz/long/summary.txt
#   scripts/fuzz.sh coverage               every target once over its corpus with source-based
#                                          coverage; the report of the readers and writers in
#                                          build/fuzz-coverage/report (index.html, summary.txt)
#
# FUZZ_TARGETS="bmp_reader jpeg_reader" picks targets.  Runs are niced.
set -euo pipefail
cd "$(dirname "$0")/.."

# Everything runs from main, read whole before it starts: a long run does
# not trip over an edit of this file.
main() {
mode=${1:?usage: scripts/fuzz.sh smoke|long|coverage ...}
# target:seed-kind
ALL="bmp_reader:bmp jpeg_reader:jpeg round_trip:trip cli_options:cli png_reader:png webp_reader:webp metadata_copy:meta text_mark:text"
LIMITS=(-rss_limit_mb=2048 -malloc_limit_mb=1200 -timeout=10)
KEPT=tests/fuzz/corpus

selected() {
  local pair
  for pair in $ALL; do
    if [ -z "${FUZZ_TARGETS:-}" ] || [[ " $FUZZ_TARGETS " == *" ${pair%%:*} "* ]]; then
      echo "$pair"
    fi
  done
}

seeds() {  # build-dir; one writer at a time when runs go in parallel
  mkdir -p "$1"
  flock "$1/.seeds.lock" python3 scripts/make-fuzz-corpus.py "$1/corpus" \
    --jpeg-tool "$1/tests/fuzz/make_jpeg_seeds" >/dev/null
}

# A fresh working corpus for one target: seeds and kept corpus.
prepare() {  # build-dir name kind run-dir
  rm -rf "$4"
  mkdir -p "$4/corpus" "$4/crashes"
  flock "$1/.seeds.lock" cp "$1/corpus/$3/"* "$4/corpus/"
  if [ -d "$KEPT/$2" ]; then cp "$KEPT/$2/"* "$4/corpus/" 2>/dev/null || true; fi
}

case $mode in
smoke)
  seconds=${2:?seconds}
  build=build/fuzz
  seeds $build
  for pair in $(selected); do
    name=${pair%%:*}; kind=${pair##*:}; run=$build/run-$name
    prepare $build "$name" "$kind" "$run"
    echo "fuzz-smoke: fuzz_$name for $seconds s"
    if ! nice -n 19 $build/tests/fuzz/fuzz_$name -max_total_time="$seconds" "${LIMITS[@]}" \
        -dict=$build/corpus/$kind.dict -artifact_prefix="$run/crashes/" -print_final_stats=1 \
        "$run/corpus" > "$run/log.txt" 2>&1; then
      tail -n 60 "$run/log.txt"
      echo "fuzz-smoke: fuzz_$name failed; input in $run/crashes" >&2
      exit 1
    fi
    grep -E '^#[0-9]+' "$run/log.txt" | tail -n 1
  done
  ;;
long)
  seconds=${2:?seconds}
  runs=${3:--1}
  build=build/fuzz
  out=$build/long
  mkdir -p $out
  seeds $build
  for pair in $(selected); do
    name=${pair%%:*}; kind=${pair##*:}; run=$out/$name
    prepare $build "$name" "$kind" "$run"
    mkdir -p "$run/new"
    started=$(date -u '+%Y-%m-%d %H:%M UTC')
    status=0
    nice -n 19 $build/tests/fuzz/fuzz_$name -max_total_time="$seconds" -runs="$runs" "${LIMITS[@]}" \
      -dict=$build/corpus/$kind.dict -artifact_prefix="$run/crashes/" -print_final_stats=1 \
      "$run/new" "$run/corpus" > "$run/log.txt" 2>&1 || status=$?
    inputs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$run/log.txt")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$run/log.txt")
    crashes=$(find "$run/crashes" -name 'crash-*' | wc -l)
    leaks=$(find "$run/crashes" -name 'leak-*' | wc -l)
    timeouts=$(find "$run/crashes" -name 'timeout-*' -o -name 'slow-unit-*' | wc -l)
    ooms=$(find "$run/crashes" -name 'oom-*' | wc -l)
    # Minimise: the inputs that give the run's whole coverage, kept in the
    # tree; not the parser's, whose corpus grows large and its seeds reach.
    if [ "$name" != cli_options ]; then
      rm -rf "$run/merged"; mkdir -p "$run/merged" "$KEPT/$name"
      nice -n 19 $build/tests/fuzz/fuzz_$name -merge=1 "${LIMITS[@]}" "$run/merged" "$KEPT/$name" "$run/new" \
        > "$run/merge.txt" 2>&1 || true
      if [ "$(ls "$run/merged" | wc -l)" -gt 0 ]; then
        rm -rf "$KEPT/$name"; cp -r "$run/merged" "$KEPT/$name"
      fi
    fi
    line="$started fuzz_$name: ${inputs:-?} inputs (${rate:-?}/s), exit $status, $crashes crashes, $leaks leaks, $timeouts timeouts, $ooms out of memory, corpus kept: $(ls "$KEPT/$name" 2>/dev/null | wc -l) files"
    echo "$line" | tee -a $out/summary.txt
  done
  ;;
coverage)
  build=build/fuzz-coverage
  report=$build/report
  seeds $build
  rm -rf $build/profiles "$report"; mkdir -p $build/profiles "$report"
  objects=()
  for pair in $(selected); do
    name=${pair%%:*}; kind=${pair##*:}; run=$build/run-$name
    prepare $build "$name" "$kind" "$run"
    # -runs=0: every input once, nothing new.
    LLVM_PROFILE_FILE="$PWD/$build/profiles/$name-%p.profraw" nice -n 19 $build/tests/fuzz/fuzz_$name -runs=0 \
      "${LIMITS[@]}" "$run/corpus" > "$run/log.txt" 2>&1
    objects+=(-object "$build/tests/fuzz/fuzz_$name")
  done
  llvm-profdata merge -sparse $build/profiles/*.profraw -o $build/merged.profdata
  readers=(files/bmp_reader.cpp files/jpeg_reader.cpp files/jpeg_codec.cpp files/png_file.cpp files/webp_file.cpp)
  writers=(files/bmp_writer.cpp files/jpeg_writer.cpp files/rgba_rows.cpp files/metadata_copy.cpp files/safe_replace.cpp)
  llvm-cov show -format=html -output-dir="$report" -instr-profile=$build/merged.profdata "${objects[@]:1}" \
    "${readers[@]}" "${writers[@]}" >/dev/null
  llvm-cov report -instr-profile=$build/merged.profdata "${objects[@]:1}" "${readers[@]}" "${writers[@]}" \
    | tee "$report/summary.txt"
  # The readers' own functions: the files above without their writing half.
  llvm-cov report -show-functions -instr-profile=$build/merged.profdata "${objects[@]:1}" \
    "${readers[@]}" 2>/dev/null | python3 -c '
import re, sys
lines = missed = 0
for row in sys.stdin:
    f = row.split()
    if len(f) == 10 and f[4].isdigit() and f[0] != "TOTAL" and not re.search("Encode|Write|Compress|PictureFree", f[0]):
        lines += int(f[4]); missed += int(f[5])
print("readers (their reading functions): %d lines, %d missed, %.2f%% covered" % (lines, missed, 100.0 * (lines - missed) / lines))
' | tee -a "$report/summary.txt"
  echo "fuzz-coverage: $PWD/$report/index.html"
  ;;
*)
  echo "usage: scripts/fuzz.sh smoke|long|coverage ..." >&2
  exit 2
  ;;
esac
}

main "$@"
exit
