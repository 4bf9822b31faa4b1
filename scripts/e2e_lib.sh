# Shared by the end-to-end scripts, which source it first, then call
# require_tools and e2e_start. Drives the real program in a private X server
# with xdotool, as a person would.

# Exits 77 (skipped) when one of the named tools is missing.
require_tools() {
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "skipped: $tool is not installed"
      exit 77
    fi
  done
}

# A temporary folder in $work; at exit the processes in $sender_pid, $app_pid
# and $xvfb_pid are ended (only these: they are the run's own) and the folder
# removed.
e2e_start() {
  work=$(mktemp -d)
  sender_pid=""
  app_pid=""
  xvfb_pid=""
  trap e2e_cleanup EXIT
}
e2e_cleanup() {
  local pid
  for pid in "$sender_pid" "$app_pid" "$xvfb_pid"; do
    if [ -n "$pid" ]; then
      kill "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
    fi
  done
  rm -rf "$work"
}

# Ends the run as failed, with what helps to see why: whether the X server
# died, a screenshot (beside $shot, else in /tmp under the script's name), the
# last saved text and the program's output.
fail() {
  echo "FAIL: $*" >&2
  if [ -n "${xvfb_pid:-}" ] && ! kill -0 "$xvfb_pid" 2>/dev/null; then
    echo "the X server has exited: $(cat "$work/xvfb.log" 2>/dev/null)" >&2
  fi
  if [ -n "${DISPLAY:-}" ]; then
    import -window root "${shot:-/tmp/$(basename "$0" .sh).png}.failure.png" 2>/dev/null || true
  fi
  local file
  for file in saved.txt quenza.log; do
    if [ -s "$work/$file" ]; then
      echo "--- $file" >&2
      cat "$work/$file" >&2
    fi
  done
  exit 1
}

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

# Driving the program: it runs from $work/bin/quenza (a copy, with its settings
# file beside it), its output in $work/quenza.log; $port is the port capture
# uses. start_program sets $app_pid and $main (the main window), quit_program
# clears $app_pid. Failures go through fail().

window_shown() { find_window "$1" >/dev/null; }
window_gone() { ! find_window "$1" >/dev/null; }

# The first visible window titled exactly $1, focused; its id in $focused.
focus_window() {
  wait_for 30 window_shown "$1" || fail "window '$1' did not appear"
  focused=$(find_window "$1")
  # No window manager here: focus the window directly instead of activating it.
  xdotool windowfocus --sync "$focused"
  wait_for 10 sh -c "[ \"\$(xdotool getwindowfocus)\" = '$focused' ]" || fail "window '$1' did not take the focus"
}

# The receiver binds every local address, dual-stack (udp6) or, without IPv6,
# IPv4 only (udp); /proc lists the port in hex.
port_bound() {
  awk -v p=":$(printf '%04X' "$port")\$" '$2 ~ p { found = 1 } END { exit !found }' /proc/net/udp /proc/net/udp6
}
port_free() { ! port_bound; }
# Nothing waits in the program's UDP socket (ss: Recv-Q).
socket_empty() { [ "$(ss -ulnH "sport = :$port" | awk '{ print $2; exit }')" = 0 ]; }

start_program() {
  "$work/bin/quenza" >>"$work/quenza.log" 2>&1 &
  app_pid=$!
  focus_window Quenza
  main=$focused
}

# Sends key $1 to the main window until the command after it succeeds (7 s
# each time, three times). A key sent while the focus is still on its way back
# from a closing dialog can go nowhere on a loaded machine; sent again once the
# command has run, the key does nothing.
press_until() {
  local key=$1 attempt
  shift
  for attempt in 1 2 3; do
    xdotool windowfocus --sync "$main"
    xdotool key --clearmodifiers "$key"
    wait_for 7 "$@" && return 0
  done
  return 1
}

begin_log() { press_until ctrl+b port_bound || fail "capture did not start on port $port"; }
end_log() { press_until ctrl+e port_free || fail "capture did not stop"; }

# Ctrl+Q; a question on the way (the unsaved text is a 警告, others a 確認)
# is answered Yes with Enter.
quit_program() {
  xdotool windowfocus --sync "$main"
  xdotool key --clearmodifiers ctrl+q
  local deadline=$((SECONDS + 30)) title
  while kill -0 "$app_pid" 2>/dev/null; do
    for title in 確認 警告; do
      if window_shown "$title"; then
        focus_window "$title"
        xdotool key Return
      fi
    done
    [ $SECONDS -ge $deadline ] && fail "program did not exit"
    sleep 0.2
  done
  local status=0
  wait "$app_pid" || status=$?
  app_pid=""
  [ "$status" -eq 0 ] || fail "program exited with status $status"
}

# Types a full path into the focused file dialog and accepts it.
answer_file_dialog() {
  focus_window "$1"
  xdotool key ctrl+a
  xdotool type --delay 20 "$2"
  sleep 0.3
  xdotool key Return
  wait_for 20 window_gone "$1" || fail "dialog '$1' did not close"
  xdotool windowfocus --sync "$main"
}

no_error_dialog() {
  if window_shown エラー; then fail "an error dialog is open"; fi
}

# Saving the view and checking its lines. The caller sets $log (the file),
# $today (a date pattern) and $main, and lists the lines it expects with
# expect / expect_re; each must appear once, after the date, the time and the
# sender's address ($line_address_re, 127.0.0.1 unless set).
# Saves with Ctrl+S and reads the file back (UTF-8, no CR) into $work/saved.txt,
# until every expected line is there. A datagram may still be on its way to
# the view when the key arrives, so an incomplete file is saved again.
save_until_complete() {
  local deadline=$((SECONDS + 40)) first=$1
  while :; do
    xdotool windowfocus --sync "$main"
    local before
    before=$(stat -c %i "$log" 2>/dev/null || echo none)
    xdotool key --clearmodifiers ctrl+s
    if [ "$first" = yes ]; then
      answer_file_dialog 名前を付けて保存 "$log"
      first=no
    elif window_shown 名前を付けて保存; then
      fail "Ctrl+S asked for a name although a file is current"
    fi
    wait_for 10 sh -c "[ -s '$log' ] && [ \"\$(stat -c %i '$log')\" != '$before' ]" || true
    if [ -s "$log" ]; then
      if ! iconv -f CP932 -t UTF-8 "$log" >/dev/null 2>&1; then
        iconv -c -f CP932 -t UTF-8 "$log" | tr -d '\r' >"$work/saved.txt"
        fail "saved file is not valid Shift_JIS; lines not as expected: $(missing_lines || true)"
      fi
      iconv -f CP932 -t UTF-8 "$log" | tr -d '\r' >"$work/saved.txt"
      missing_lines || return 0
    fi
    [ $SECONDS -ge $deadline ] && fail "lines missing from the saved view: $(missing_lines || true)"
    no_error_dialog
    sleep 0.5
  done
}

# Lines still expected: "date address rest", rest matched literally.
expected=()
expect() { expected+=("$1"); }
expect_re() { expected+=("re:$1"); }
escape_re() { printf '%s' "$1" | sed 's/[][\.*^$(){}?+|/]/\\&/g'; }
missing_lines() {
  local e re n any=1
  for e in "${expected[@]}"; do
    if [[ $e == re:* ]]; then re=${e#re:}; else re=$(escape_re "$e"); fi
    n=$(grep -cEx "($today) [0-9:]{8} ${line_address_re:-127\\.0\\.0\\.1} $re" "$work/saved.txt" || true)
    if [ "$n" != 1 ]; then
      echo "[$n times] $e"
      any=0
    fi
  done
  return $any
}
