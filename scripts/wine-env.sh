#!/usr/bin/env bash
# Runs a command with a Wine of the build's own: a private WINEPREFIX inside the build tree and
# an Xvfb display (Wine's console has no screen buffer without one). Starts what is not running
# and stops exactly what it started.
#   scripts/wine-env.sh BUILD_DIR COMMAND [ARG...]
set -u
build=$(cd "$1" && pwd); shift

export WINEPREFIX="$build/wineprefix"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No debugger on a crash: a crashed test must end, not wait for one. No menu builder: it would
# put menu and file-type folders into the home folder when the prefix is made, and a run may
# touch nothing outside the build tree.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d;winemenubuilder.exe=d}"

# A display number of this build's own, so that two builds or a desktop do not collide.
num=$(( 100 + $(printf '%s' "$build" | cksum | cut -d' ' -f1) % 400 ))
started_x=
if [ -z "${ZARNITH_DISPLAY:-}" ]; then
  # A display whose server is gone (its lock names no live process) leaves its socket behind.
  lock="/tmp/.X$num-lock"
  if [ -e "$lock" ] && ! kill -0 "$(tr -d ' ' < "$lock")" 2>/dev/null; then
    rm -f "$lock" "/tmp/.X11-unix/X$num"
  fi
  if ! [ -e "/tmp/.X11-unix/X$num" ]; then
    Xvfb ":$num" -screen 0 1024x768x24 -nolisten tcp > "$build/xvfb.log" 2>&1 &
    started_x=$!
    for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X$num" ] && break; sleep 0.1; done
  fi
  export DISPLAY=":$num"
else
  export DISPLAY="$ZARNITH_DISPLAY"
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i > "$build/wineboot.log" 2>&1
  wineserver -w
fi

"$@"
rc=$?

wineserver -k > /dev/null 2>&1 || true
if [ -n "$started_x" ]; then kill "$started_x" 2>/dev/null; wait "$started_x" 2>/dev/null; fi
exit $rc
