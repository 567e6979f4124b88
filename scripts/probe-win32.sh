#!/usr/bin/env bash
# Answers one question: can this machine run the 32-bit Windows program?
#
#   scripts/probe-win32.sh            yes when the kernel runs 32-bit x86
#                                     programs and Wine's 32-bit loader starts
#   scripts/probe-win32.sh --kernel   yes when the kernel runs 32-bit x86
#                                     programs (asked before Wine is installed)
#
# Prints "yes", or "no: <why>" on one line; exit status 0 for yes, 1 for no.
# QUILLVANE_NO_WIN32=1 makes the answer "no" (not with --kernel, which only
# decides what may be installed), so the 64-bit-only path can be tried on
# any machine.
#
# Some kernels are built without 32-bit support: every 32-bit executable
# fails with "Exec format error".  The answer comes from trying one, the
# smallest i386 ELF program there is (it only calls exit(0)), not from
# guessing from uname or a kernel configuration.
set -uo pipefail

kernel_only=0
case "${1:-}" in
  --kernel) kernel_only=1 ;;
  "") ;;
  *) echo "usage: probe-win32.sh [--kernel]" >&2; exit 2 ;;
esac

if [ $kernel_only -eq 0 ] && [ "${QUILLVANE_NO_WIN32:-0}" = 1 ]; then
  echo "no: QUILLVANE_NO_WIN32=1"
  exit 1
fi

if [ "$(uname -m)" != x86_64 ] && [ "$(uname -m)" != i686 ]; then
  echo "no: $(uname -m) is not an x86 machine"
  exit 1
fi

probe=$(mktemp "${TMPDIR:-/tmp}/quillvane-probe32.XXXXXX") || { echo "no: cannot create a temporary file"; exit 1; }
trap 'rm -f "$probe"' EXIT
# ELF header (52 bytes) and one loadable segment (32 bytes) at 0x08048000,
# then: mov eax, 1; xor ebx, ebx; int 0x80   (exit(0) through the i386 gate).
python3 - "$probe" <<'EOF'
import struct, sys
code = bytes([0xb8, 1, 0, 0, 0, 0x31, 0xdb, 0xcd, 0x80])
base = 0x08048000
size = 52 + 32 + len(code)
header = b'\x7fELF' + bytes([1, 1, 1, 0]) + bytes(8) + struct.pack(
    '<HHIIIIIHHHHHH', 2, 3, 1, base + 84, 52, 0, 0, 52, 32, 1, 0, 0, 0)
segment = struct.pack('<IIIIIIII', 1, 0, base, base, size, size, 5, 0x1000)
with open(sys.argv[1], 'wb') as f:
    f.write(header + segment + code)
EOF
chmod +x "$probe"
if ! error=$("$probe" 2>&1); then
  error=${error##*: }
  echo "no: this kernel does not run 32-bit programs (${error:-no reason given})"
  exit 1
fi
[ $kernel_only -eq 1 ] && { echo yes; exit 0; }

loader=""
for candidate in /usr/lib/wine/wine /usr/lib/i386-linux-gnu/wine/wine; do
  [ -x "$candidate" ] && { loader=$candidate; break; }
done
if [ -z "$loader" ]; then
  echo "no: Wine's 32-bit loader is not installed (wine32:i386)"
  exit 1
fi
if ! error=$("$loader" --version 2>&1); then
  echo "no: $loader does not start (${error##*: })"
  exit 1
fi
echo yes
