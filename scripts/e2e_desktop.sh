#!/usr/bin/env bash
# The real program as a desktop window in a private X server: it carries its
# icon (_NET_WM_ICON), a window stored far off the screen opens on it, the
# first window fits a screen scaled by 2, and the font dialog opens from the
# View menu (a screenshot shows it for a person to look at), and a file named
# on the command line opens at start.
#
# usage: e2e_desktop.sh QUENZA_EXECUTABLE [SCREENSHOT.png]
# The executable is copied into a temporary folder first, so the run never
# touches the settings file of a build. Exits 77 (skipped) without the X tools.
set -euo pipefail

exe=${1:?usage: $0 QUENZA_EXECUTABLE [SCREENSHOT.png]}
shot=${2:-}
source "$(dirname "$0")/e2e_lib.sh"
require_tools Xvfb xdotool xprop import

e2e_start

screen_w=1024
screen_h=768
start_xvfb "${screen_w}x${screen_h}x24"
mkdir -p "$work/app"
cp "$exe" "$work/app/quenza"
ini="$work/app/quenza.ini"

# Starts the program (extra environment in "$@") and sets $main to its window.
start_program() {
  env "$@" "$work/app/quenza" >"$work/quenza.log" 2>&1 &
  app_pid=$!
  wait_for 30 find_window Quenza || fail "main window did not appear: $(cat "$work/quenza.log")"
  main=$(find_window Quenza)
  sleep 0.5
}

# Closes the program with Ctrl+Q and waits for it to end.
quit_program() {
  xdotool windowfocus --sync "$main"
  xdotool key --clearmodifiers ctrl+q
  for _ in $(seq 1 100); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$app_pid" 2>/dev/null && fail "program did not exit"
  local status=0
  wait "$app_pid" || status=$?
  app_pid=""
  [ "$status" -eq 0 ] || fail "program exited with $status: $(cat "$work/quenza.log")"
}

# Sets x, y, w, h to the window's position and size on the screen.
geometry() {
  eval "$(xdotool getwindowgeometry --shell "$1" | sed -n 's/^\(X\|Y\|WIDTH\|HEIGHT\)=/\1=/p')"
  x=$X y=$Y w=$WIDTH h=$HEIGHT
}

# 1. A window stored at 5000,3000 opens on the screen, with its size, and carries the icon.
printf '[POS]\r\nTop=3000\r\nLeft=5000\r\nHeight=400\r\nWidth=600\r\n\r\n' >"$ini"
start_program
geometry "$main"
echo "stored at 5000,3000: opened at $x,$y size ${w}x$h"
[ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le $screen_w ] && [ $((y + 30)) -le $screen_h ] ||
  fail "window at $x,$y ${w}x$h is not on the ${screen_w}x$screen_h screen"
[ "$w" -eq 600 ] && [ "$h" -eq 400 ] || fail "window size changed to ${w}x$h"
icon=$(xprop -id "$main" _NET_WM_ICON)
grep -q '^_NET_WM_ICON(CARDINAL) = ' <<<"$icon" || fail "no window icon: ${icon:0:200}"
echo "_NET_WM_ICON sizes:" $(grep -o 'Icon ([0-9]* x [0-9]*)' <<<"$icon")

# 2. The font dialog from the View menu (Alt+V, F), on the view's face.
xdotool windowfocus --sync "$main"
xdotool key --clearmodifiers alt+v
sleep 0.5
xdotool key f
wait_for 15 find_window フォント || fail "font dialog did not appear"
sleep 1
if [ -n "$shot" ]; then import -window root "$shot" || fail "screenshot failed"; fi
dialog=$(find_window フォント)
xdotool windowfocus --sync "$dialog"
xdotool key Escape
dialog_gone() { ! find_window フォント; }
wait_for 10 dialog_gone || fail "font dialog did not close"
quit_program
left=$(tr -d '\r' <"$ini" | sed -n 's/^Left=//p')
[ "$left" -lt $screen_w ] || fail "Left=$left written back"

# 3. First start at a scale factor of 2: the designed 600x400 would be
#    1200x800 on this screen, so it is fitted instead.
rm -f "$ini"
start_program QT_SCALE_FACTOR=2
geometry "$main"
echo "first start at scale 2: opened at $x,$y size ${w}x$h"
[ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le $screen_w ] && [ $((y + h)) -le $screen_h ] ||
  fail "scaled window at $x,$y ${w}x$h does not fit the ${screen_w}x$screen_h screen"
quit_program

# 4. Started with a file, as the desktop's "open with" does: the UTF-8 file
#    opens converted and is the current file, so Ctrl+S writes the view to it
#    as Shift_JIS. Two files are refused with the usage.
opened="$work/opened.log"
printf 'desktop \xe3\x83\xad\xe3\x82\xb0\n' >"$opened"
"$work/app/quenza" "$opened" >"$work/quenza.log" 2>&1 &
app_pid=$!
wait_for 30 find_window Quenza || fail "main window did not appear: $(cat "$work/quenza.log")"
main=$(find_window Quenza)
xdotool windowfocus --sync "$main"
xdotool key --clearmodifiers ctrl+End
xdotool type --delay 30 'typed'
xdotool key --clearmodifiers ctrl+s
saved() { cmp -s "$opened" <(printf 'desktop \x83\x8d\x83\x4f\r\ntyped'); }
wait_for 10 saved || fail "quenza FILE then Ctrl+S wrote: $(od -c "$opened" | head -5)"
echo "quenza FILE: opened as UTF-8, saved back as Shift_JIS with CR LF"
quit_program
status=0
"$work/app/quenza" "$opened" "$opened" >/dev/null 2>"$work/two.err" || status=$?
[ "$status" -eq 2 ] || fail "two files: exit $status"
grep -q 'Usage' "$work/two.err" || fail "two files: no usage: $(cat "$work/two.err")"
echo "PASS"
