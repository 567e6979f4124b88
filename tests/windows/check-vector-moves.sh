#!/usr/bin/env bash
# Fails when a Windows program holds an aligned 256-bit (or wider) move to
# or from the stack.  GCC cannot realign a Windows function's stack, so
# such a move to a spill slot may fault at random; the build assembles
# every aligned vector move as an unaligned one (CMakeLists.txt), and this
# checks that the programs came out that way.
#
#   check-vector-moves.sh OBJDUMP program.exe...
set -uo pipefail

if [ $# -lt 2 ]; then
  echo "usage: check-vector-moves.sh OBJDUMP program.exe..." >&2
  exit 2
fi
objdump=$1
shift
status=0
for program in "$@"; do
  listing=$("$objdump" -d --no-show-raw-insn "$program") || { echo "cannot disassemble $program" >&2; exit 1; }
  vector=$(grep -cE '\s(vmov|vpmov)[a-z0-9]*\s.*%[yz]mm' <<<"$listing")
  # libjpeg-turbo's AVX2 routines (jsimd_*, hand-written) align their own
  # frames to 32 bytes first; everything GCC compiled must have none.
  found=$(awk '/^[0-9a-f]+ <.*>:$/ { own = $2 !~ /^<_?jsimd_/ }
    own && /[ \t]vmov(aps|apd|dqa|dqa32|dqa64|ntps|ntpd|ntdq)[ \t]/ && /%[yz]mm/ && /\(%(rsp|rbp|esp|ebp)\)/' <<<"$listing")
  if [ -n "$found" ]; then
    echo "$program: aligned 256-bit moves on the stack:" >&2
    head -20 <<<"$found" >&2
    status=1
  else
    echo "$program: $vector 256-bit moves, none of them an aligned one on the stack"
  fi
done
exit $status
