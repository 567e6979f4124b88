#!/usr/bin/env bash
# Creates the Wine prefix the Windows programs and their tests run in, and
# prints its path on stdout.  Fast when the prefix is already there: a stamp
# file records what it was made with, so a changed recipe (bump
# PREFIX_VERSION) rebuilds it.  A prefix that cannot be made is reported with
# Wine's own words and a non-zero exit status.
#
#   scripts/wine-prefix.sh                 build/wine-prefix-win32, with the test printer
#   scripts/wine-prefix.sh --arch win64    build/wine-prefix-win64 (for x86-64 programs)
#   scripts/wine-prefix.sh --no-printer    build/wine-prefix-ARCH-noprinter, no printer at all
#   scripts/wine-prefix.sh --dpi 144       the same prefix with a screen of 144 dpi
#                                          (folder name ending in -dpi144; 96 is the default)
#   scripts/wine-prefix.sh --force         rebuild even if the stamp matches
#
# Environment: QUILLVANE_WINEPREFIX / QUILLVANE_WINEPREFIX_NOPRINTER choose
# the folders; QUILLVANE_PRINTER_OUTPUT the Unix file the test printer writes
# (default <prefix>/printer-output.ps).
#
# What the prefix holds, and why:
#  - a Japanese set-up: created under ja_JP.UTF-8 (ANSI code page 932), the
#    Japanese face names mapped to the IPA fonts, and fonts-wine's TrueType
#    files copied in (Debian's Wine does not find them by itself);
#  - X11 Driver Managed=N, Decorated=N: under a bare Xvfb without a window
#    manager Wine then draws captions and frames and handles focus itself;
#  - WineDbg ShowCrashDialog=0: a crash ends the program with a backtrace
#    on stderr rather than a dialog nobody will close;
#  - "Quillvane Test Printer": Wine's PostScript driver with the generic PPD
#    that Wine's own winspool.drv carries, print processor winprint, on a
#    port that HKCU\Software\Wine\Printing\Spooler maps to a Unix file.  Each
#    job replaces the file.  It is the default printer, so PrintDlg with
#    PD_RETURNDEFAULT finds it.  Without it (--no-printer) Wine, built without
#    a CUPS printer here, has no printer at all.  The driver is registered
#    for the prefix's own environment ("Windows NT x86" with its files under
#    drivers/w32x86 in a win32 prefix, "Windows x64" and drivers/x64 in a
#    win64 one): a driver registered for the other one is not found when a
#    program opens the printer;
#  - with --dpi N: HKCU\Control Panel\Desktop LogPixels = N, the screen
#    resolution Wine 8 gives every program (it also reads LogPixels under
#    HKLM\...\Hardware Profiles\Current\Software\Fonts, but the user's
#    value wins).  Wine reads it when a program starts.
set -euo pipefail

PREFIX_VERSION=3
PRINTER_NAME="Quillvane Test Printer"
PRINTER_PORT="QVFILE:"
PPD_NAME="quillvane-test.ppd"

root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib/wine-arch.sh"
with_printer=1
force=0
arch=win32
dpi=96
while [ $# -gt 0 ]; do
  case "$1" in
    --no-printer) with_printer=0 ;;
    --force) force=1 ;;
    --arch)
      [ $# -ge 2 ] || { echo "wine-prefix.sh: --arch needs win32 or win64" >&2; exit 2; }
      arch=$2; shift ;;
    --dpi)
      [ $# -ge 2 ] && [[ $2 =~ ^[1-9][0-9]{1,2}$ ]] && [ "$2" -ge 96 ] && [ "$2" -le 480 ] ||
        { echo "wine-prefix.sh: --dpi needs a resolution from 96 to 480" >&2; exit 2; }
      dpi=$2; shift ;;
    -h|--help) sed -n '2,18p' "$0"; exit 0 ;;
    *) echo "wine-prefix.sh: unknown option '$1'" >&2; exit 2 ;;
  esac
  shift
done
case "$arch" in
  win32) environment="Windows NT x86"; driver_subdir=w32x86; dll_dir=i386-windows ;;
  win64) environment="Windows x64"; driver_subdir=x64; dll_dir=x86_64-windows ;;
  *) echo "wine-prefix.sh: unknown architecture '$arch' (win32 or win64)" >&2; exit 2 ;;
esac

if [ $with_printer -eq 1 ]; then
  prefix=${QUILLVANE_WINEPREFIX:-$root/build/wine-prefix-$arch}
else
  prefix=${QUILLVANE_WINEPREFIX_NOPRINTER:-$root/build/wine-prefix-$arch-noprinter}
fi
if [ "$dpi" != 96 ]; then prefix=$prefix-dpi$dpi; fi
mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")
output=${QUILLVANE_PRINTER_OUTPUT:-$prefix/printer-output.ps}
stamp=$prefix/.quillvane-prefix
recipe="version=$PREFIX_VERSION arch=$arch printer=$with_printer output=$output"
if [ "$dpi" != 96 ]; then recipe="$recipe dpi=$dpi"; fi

up_to_date() { [ $force -eq 0 ] && [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$recipe" ]; }

if up_to_date; then
  echo "$prefix"
  exit 0
fi

# Parallel test runs may all arrive here at once: one builds, the others wait.
exec 9>"$prefix.lock"
flock 9
if up_to_date; then
  echo "$prefix"
  exit 0
fi
force=0

loader=$(wine_loader "$arch") || { echo "wine-prefix.sh: cannot make a $arch prefix" >&2; exit 1; }
for tool in wineserver iconv; do
  command -v "$tool" >/dev/null || { echo "wine-prefix.sh: '$tool' is missing (run scripts/install-windows-deps.sh)" >&2; exit 1; }
done
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "wine-prefix.sh: the ja_JP.UTF-8 locale is not generated (run scripts/install-windows-deps.sh)" >&2
  exit 1
fi

echo "Creating the $arch Wine prefix $prefix ..." >&2
started=$(date +%s)
if [ -d "$prefix" ]; then
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
fi

export WINEPREFIX="$prefix" WINEARCH=$arch WINELOADER=$loader WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=ja_JP.UTF-8 LANG=ja_JP.UTF-8
# No window may open on the user's desktop while the prefix is made.
unset DISPLAY WAYLAND_DISPLAY
# Wine's helper processes outlive wineboot: they must not hold the caller's
# pipes open, so its words are kept in a file and shown when it fails.
log=$(dirname "$prefix")/$(basename "$prefix").log
fail() {
  echo "wine-prefix.sh: $1" >&2
  if [ -s "$log" ]; then echo "--- Wine said (last lines of $log):" >&2; tail -n 15 "$log" >&2; fi
  exit 1
}
"$loader" wineboot -i </dev/null >"$log" 2>&1 || fail "'$loader wineboot -i' failed (exit status $?) in $prefix"
wineserver -w
[ -f "$prefix/system.reg" ] && [ -d "$prefix/drive_c/windows/system32" ] ||
  fail "wineboot made no usable prefix in $prefix"

windir=$prefix/drive_c/windows
cp /usr/share/wine/fonts/*.ttf "$windir/Fonts/" || fail "cannot copy /usr/share/wine/fonts into $windir/Fonts"

reg_utf8=$prefix/quillvane-setup.reg.txt
reg_file=$prefix/quillvane-setup.reg
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n'
  printf '"Managed"="N"\r\n"Decorated"="N"\r\n\r\n'
  # A crashing program ends with a backtrace on stderr instead of waiting
  # in Wine's crash dialog for someone to close it.
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]\r\n"ShowCrashDialog"=dword:00000000\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  printf '"ＭＳ Ｐゴシック"="IPAPGothic"\r\n'
  printf '"MS UI Gothic"="IPAPGothic"\r\n'
  printf '"ＭＳ ゴシック"="IPAGothic"\r\n'
  printf '"MS Shell Dlg"="IPAPGothic"\r\n'
  printf '"MS Shell Dlg 2"="IPAPGothic"\r\n\r\n'
  if [ "$dpi" != 96 ]; then
    printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"LogPixels"=dword:%08x\r\n\r\n' "$dpi"
  fi
  if [ $with_printer -eq 1 ]; then
    win_output=$(printf '%s' "$output" | sed 's/\\/\\\\/g; s/"/\\"/g')
    driver_key="HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Print\\Environments\\$environment\\Drivers\\Version-3"
    printf '[%s\\%s]\r\n' "$driver_key" "$PRINTER_NAME"
    printf '"Configuration File"="wineps.drv"\r\n"Data File"="%s"\r\n"Driver"="wineps.drv"\r\n' "$PPD_NAME"
    printf '"Datatype"="RAW"\r\n"Help File"=""\r\n"Monitor"=""\r\n"Version"=dword:00000003\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Print\\Printers\\%s]\r\n' "$PRINTER_NAME"
    printf '"Name"="%s"\r\n"Port"="%s"\r\n"Printer Driver"="%s"\r\n' "$PRINTER_NAME" "$PRINTER_PORT" "$PRINTER_NAME"
    printf '"Print Processor"="winprint"\r\n"Datatype"="RAW"\r\n'
    # PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_DEFAULT
    printf '"Attributes"=dword:00000044\r\n"Priority"=dword:00000001\r\n"Default Priority"=dword:00000000\r\n'
    printf '"Status"=dword:00000000\r\n"Description"="PostScript to a file"\r\n"Location"=""\r\n'
    printf '"Parameters"=""\r\n"Share Name"=""\r\n"Separator File"=""\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Printing\\Spooler]\r\n'
    printf '"%s"="%s"\r\n\r\n' "$PRINTER_PORT" "$win_output"
    printf '[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows]\r\n'
    printf '"Device"="%s,WINEPS.DRV,%s"\r\n\r\n' "$PRINTER_NAME" "$PRINTER_PORT"
    printf '[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Devices]\r\n'
    printf '"%s"="WINEPS.DRV,%s"\r\n\r\n' "$PRINTER_NAME" "$PRINTER_PORT"
    printf '[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\PrinterPorts]\r\n'
    printf '"%s"="WINEPS.DRV,%s,15,45"\r\n\r\n' "$PRINTER_NAME" "$PRINTER_PORT"
  fi
} >"$reg_utf8"
# regedit reads non-ASCII names only from a UTF-16 file with a byte order mark.
{ printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$reg_utf8"; } >"$reg_file"
rm -f "$reg_utf8"

if [ $with_printer -eq 1 ]; then
  # The generic PostScript PPD is a resource of Wine's own winspool.drv
  # (what Wine gives a CUPS printer without a PPD); it ends at the first NUL.
  winspool=""
  for dir in /usr/lib/i386-linux-gnu/wine/$dll_dir /usr/lib/x86_64-linux-gnu/wine/$dll_dir /usr/lib/wine/$dll_dir /usr/lib32/wine/$dll_dir; do
    if [ -f "$dir/winspool.drv" ]; then winspool=$dir/winspool.drv; break; fi
  done
  [ -n "$winspool" ] || fail "Wine's $dll_dir winspool.drv not found"
  offset=$(LC_ALL=C grep -abo -m1 '\*PPD-Adobe' "$winspool" | head -n 1 | cut -d: -f1)
  [ -n "$offset" ] || fail "no PPD inside $winspool"
  driver_dir=$windir/system32/spool/drivers/$driver_subdir/3
  mkdir -p "$driver_dir"
  tail -c +"$((offset + 1))" "$winspool" | tr '\000' '\001' |
    LC_ALL=C awk 'done { next } { i = index($0, "\001"); if (i) { printf "%s", substr($0, 1, i - 1); done = 1 } else print }' \
    >"$driver_dir/$PPD_NAME"
  grep -q '^\*PageSize A4' "$driver_dir/$PPD_NAME" || fail "the PPD taken from $winspool looks wrong"
  mkdir -p "$(dirname "$output")"
fi

"$loader" regedit /S "$reg_file" </dev/null >>"$log" 2>&1 || fail "'regedit /S $reg_file' failed (exit status $?)"
wineserver -w
grep -q 'IPAPGothic' "$prefix/user.reg" || fail "the settings in $reg_file did not reach the registry"
if [ "$dpi" != 96 ]; then
  grep -qi "^\"LogPixels\"=dword:$(printf %08x "$dpi")" "$prefix/user.reg" ||
    fail "the screen resolution $dpi in $reg_file did not reach the registry"
fi

echo "$recipe" >"$stamp"
echo "Wine prefix ready in $(( $(date +%s) - started )) s" >&2
echo "$prefix"
