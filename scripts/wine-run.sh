#!/usr/bin/env bash
# Runs a Windows program under Wine, the way the build runs the Windows tests
# (it is the CMake cross-compiling emulator):
#
#   scripts/wine-run.sh program.exe [arguments...]
#
# stdout, stderr and the exit code are the program's own (a stderr that is
# not a terminal comes out when the program ends).  Around it:
#  - Wine by the program: its PE header says i386 or x86-64, and it runs
#    with Wine's 32-bit loader in a win32 prefix or with wine64 in a win64
#    prefix; a 32-bit program on a machine that cannot run it is refused
#    with the reason (scripts/probe-win32.sh);
#  - the Wine prefix (scripts/wine-prefix.sh) is created when missing;
#    QUILLVANE_WINE_PRINTER=0 selects the prefix without any printer;
#  - an X display: $DISPLAY when it answers, otherwise a shared Xvfb on
#    :$QUILLVANE_XVFB_DISPLAY (default 97, 1280x1024x24), started once and
#    left running for the next runs (QUILLVANE_FORCE_XVFB=1 ignores $DISPLAY);
#  - a Japanese ANSI code page (ja_JP.UTF-8 gives Wine code page 932), or
#    the locale QUILLVANE_WINE_LOCALE names (the command-line tool's tests);
#  - a wineserver kept alive for QUILLVANE_WINESERVER_PERSIST seconds
#    (default 120) after its last client, so that many short runs stay fast.
set -uo pipefail

if [ $# -lt 1 ]; then
  echo "usage: wine-run.sh program.exe [arguments...]" >&2
  exit 2
fi

root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib/wine-arch.sh"

arch=$(pe_arch "$1") || exit 1
if [ "$arch" = win32 ] && ! answer=$("$root/scripts/probe-win32.sh"); then
  echo "wine-run.sh: cannot run the 32-bit program $1 here (${answer#no: }); use the 64-bit build" >&2
  exit 1
fi
loader=$(wine_loader "$arch") || exit 1

prefix_args=(--arch "$arch")
if [ "${QUILLVANE_WINE_PRINTER:-1}" = 0 ]; then prefix_args+=(--no-printer); fi
prefix=$("$root/scripts/wine-prefix.sh" "${prefix_args[@]}") || exit 1

display_answers() { [ -n "$1" ] && DISPLAY="$1" xdotool getdisplaygeometry >/dev/null 2>&1; }

if [ "${QUILLVANE_FORCE_XVFB:-0}" = 1 ] || ! display_answers "${DISPLAY:-}"; then
  number=${QUILLVANE_XVFB_DISPLAY:-97}
  number=${number#:}
  if ! display_answers ":$number"; then
    command -v Xvfb >/dev/null || { echo "wine-run.sh: Xvfb is missing (run scripts/install-windows-deps.sh)" >&2; exit 1; }
    # Parallel runs: the first starts the server, the others wait for it.
    exec 8>"${TMPDIR:-/tmp}/quillvane-xvfb-$number.lock"
    flock 8
    if ! display_answers ":$number"; then
      # A lock file left by a dead server would stop a new one.
      lock_file=/tmp/.X$number-lock
      if [ -f "$lock_file" ]; then
        old_pid=$(tr -d ' \n' <"$lock_file" 2>/dev/null)
        if [ -z "$old_pid" ] || ! kill -0 "$old_pid" 2>/dev/null; then
          rm -f "$lock_file" "/tmp/.X11-unix/X$number"
        fi
      fi
      setsid Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp -noreset \
        </dev/null >/dev/null 2>&1 8>&- &
      for _ in $(seq 100); do
        display_answers ":$number" && break
        sleep 0.1
      done
      display_answers ":$number" || { echo "wine-run.sh: Xvfb on :$number did not start" >&2; exit 1; }
    fi
    exec 8>&-
  fi
  export DISPLAY=":$number"
fi

export WINEPREFIX="$prefix" WINEARCH=$arch WINELOADER=$loader WINEDEBUG=${QUILLVANE_WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
locale=${QUILLVANE_WINE_LOCALE:-ja_JP.UTF-8}
export LC_ALL=$locale LANG=$locale

# Whoever reads this script's output (ctest, a pipe) waits until every
# process holding it has exited.  The first Wine program of a session
# starts the wineserver and Wine's own services, which inherit its stdout
# and stay as long as the server: so a new session is started here, with
# nothing of ours attached.  The server then stays for a while after its
# last client, and the next run starts fast.
server_running() {
  local id pid
  id="server-$(stat -c %D "$prefix")-$(printf %x "$(stat -c %i "$prefix")")"
  for pid in $(pgrep -u "$(id -u)" wineserver 2>/dev/null); do
    case "$(readlink "/proc/$pid/cwd" 2>/dev/null)" in */"$id") return 0 ;; esac
  done
  return 1
}
if ! server_running; then
  wineserver -p"${QUILLVANE_WINESERVER_PERSIST:-120}" </dev/null >/dev/null 2>&1
  "$loader" cmd /c exit </dev/null >/dev/null 2>&1
fi

# Wine's desktop process (explorer.exe), started by the program's first
# window, inherits the program's stderr and lingers about a second after the
# last window closes: a reader of a piped stderr would wait for it.  So a
# piped stderr is collected in a file and passed on when the program ends.
if [ -t 2 ]; then
  exec "$loader" "$@"
fi
errors=$(mktemp "${TMPDIR:-/tmp}/quillvane-wine-stderr.XXXXXX") || exit 1
"$loader" "$@" 2>"$errors"
status=$?
cat "$errors" >&2
rm -f "$errors"
exit $status
