# Sourced by tests/e2e/run.sh and scripts/screenshots.sh: a private Xvfb
# and a Wine prefix for one scripted session of the Windows program.
#
#   start_private_session FIRST_DISPLAY_NUMBER PREFIX [win32|win64]
#
# sets $display_number, exports what scripts/wine-run.sh needs to use them,
# and stops the display and the prefix's Wine processes when the calling
# script exits.  A display of its own means no other window can take the
# focus from the session, and a crashed run leaves nothing on anyone's
# screen.  The first free number from FIRST_DISPLAY_NUMBER up is taken; 97
# is the test suite's shared display.

start_private_session() {
  local number=$1 prefix=$2 arch=${3:-win32} _i _j
  session_xvfb_pid=""
  session_prefix=$prefix
  for _i in $(seq 30); do
    if [ "$number" != 97 ] && [ ! -e "/tmp/.X$number-lock" ] && [ ! -e "/tmp/.X11-unix/X$number" ]; then
      Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp -noreset </dev/null >/dev/null 2>&1 &
      session_xvfb_pid=$!
      for _j in $(seq 100); do
        DISPLAY=":$number" xdotool getdisplaygeometry >/dev/null 2>&1 && break
        kill -0 "$session_xvfb_pid" 2>/dev/null || break
        sleep 0.1
      done
      if DISPLAY=":$number" xdotool getdisplaygeometry >/dev/null 2>&1; then break; fi
      kill "$session_xvfb_pid" 2>/dev/null || true
      session_xvfb_pid=""
    fi
    number=$((number + 1))
  done
  if [ -z "$session_xvfb_pid" ]; then
    echo "could not start Xvfb" >&2
    return 1
  fi
  display_number=$number
  export QUILLVANE_FORCE_XVFB=1 QUILLVANE_XVFB_DISPLAY=$number QUILLVANE_WINEPREFIX=$prefix
  export QUILLVANE_WINESERVER_PERSIST=30
  trap stop_private_session EXIT
  # Wine's desktop process belongs to one display: Wine left from an earlier
  # session in this prefix goes first.
  if [ -d "$prefix" ]; then WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true; fi
  "$root/scripts/wine-prefix.sh" --arch "$arch" >/dev/null
}

stop_private_session() {
  WINEPREFIX=$session_prefix wineserver -k >/dev/null 2>&1 || true
  if [ -n "$session_xvfb_pid" ]; then kill "$session_xvfb_pid" 2>/dev/null || true; fi
  wait 2>/dev/null || true
}
