# Shared by the end-to-end scripts, which source it after setting $work (their
# temporary folder) and defining fail(). Drives the real program in a private
# X server with xdotool, as a person would.

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.2
  done
}

# The program's visible window titled exactly $1. Titles are compared as the
# window's UTF-8 name: xdotool's name search reads the legacy name through the
# locale and misses Japanese titles under LANG=C.
find_window() {
  local w
  for w in $(xdotool search --onlyvisible --class quenza 2>/dev/null); do
    if [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$1" ]; then
      echo "$w"
      return 0
    fi
  done
  return 1
}

# Starts Xvfb on a display it picks itself (so parallel runs never collide),
# points DISPLAY at it and sets $xvfb_pid. Screen size in $1.
# -noreset: a server resetting after its last client left refuses connections
# for a moment, and here clients come and go all the time.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  wait_for 20 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=":$(head -n1 "$work/display")"
  unset QT_QPA_PLATFORM WAYLAND_DISPLAY
  # The program and Qt's dialogs keep state under HOME: never the user's own.
  export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
  mkdir -p "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"
  wait_for 20 xdotool getdisplaygeometry || fail "cannot connect to the X server on $DISPLAY"
  # In a sanitizer build, a leak inside the session bus client (libdbus) is not
  # ours to fix; a leak in our own code still fails the run.
  printf 'leak:libdbus-1.so\n' >"$work/lsan.supp"
  export LSAN_OPTIONS="suppressions=$work/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
}
