# Sourced by the Wine scripts: which Wine runs which Windows program.
#
#   pe_arch FILE          prints win32 (i386) or win64 (x86-64), read from
#                         the PE header's machine field; fails on anything else
#   wine_loader ARCH      prints the Wine loader for a win32 or win64 prefix
#
# Debian's /usr/bin/wine picks the 32-bit loader whenever it is installed,
# even where the kernel cannot run it, so the loaders are called by name.

pe_arch() {
  local file=$1 offset machine
  [ -r "$file" ] || { echo "pe_arch: cannot read $file" >&2; return 1; }
  [ "$(head -c 2 "$file")" = MZ ] || { echo "pe_arch: $file is not a Windows program" >&2; return 1; }
  offset=$(od -An -tu4 -j60 -N4 "$file" | tr -d ' ')
  [ "$(od -An -c -j"$offset" -N2 "$file" | tr -d ' ')" = PE ] || { echo "pe_arch: $file has no PE header" >&2; return 1; }
  machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$file" | tr -d ' ')
  case "$machine" in
    014c) echo win32 ;;
    8664) echo win64 ;;
    *) echo "pe_arch: $file is for machine 0x$machine, neither i386 nor x86-64" >&2; return 1 ;;
  esac
}

wine_loader() {
  local candidate
  case "$1" in
    win32)
      for candidate in /usr/lib/wine/wine /usr/lib/i386-linux-gnu/wine/wine; do
        [ -x "$candidate" ] && { echo "$candidate"; return 0; }
      done
      echo "Wine's 32-bit loader is not installed (wine32:i386; scripts/probe-win32.sh tells whether it can run here)" >&2
      return 1 ;;
    win64)
      for candidate in /usr/lib/wine/wine64 /usr/lib/x86_64-linux-gnu/wine/wine64; do
        [ -x "$candidate" ] && { echo "$candidate"; return 0; }
      done
      echo "Wine's 64-bit loader is not installed (wine64; run scripts/install-windows-deps.sh)" >&2
      return 1 ;;
    *) echo "wine_loader: unknown architecture '$1'" >&2; return 1 ;;
  esac
}
