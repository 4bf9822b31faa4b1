#!/usr/bin/env bash
# The log view as a person uses it after a long capture: 200,000 lines come in
# through the real program in a private X server, then the text is saved,
# scrolled, a stretch across lines selected with the mouse, copied, pasted at
# the end, and the paste undone. The file saved after the paste must be the
# first file with the selected text after it; the file saved after the undo
# must be the first file byte for byte. Screenshots show the view unwrapped,
# wrapped in a narrow window, and with a filter set; they are left for a
# person to look at.
#
# usage: e2e_view.sh QUENZA_EXECUTABLE SEND_DATAGRAM_EXECUTABLE INGEST_SENDER_EXECUTABLE [SCREENSHOT.png]
# Exits 77 (skipped) without the tools.
set -euo pipefail

usage="usage: $0 QUENZA_EXECUTABLE SEND_DATAGRAM_EXECUTABLE INGEST_SENDER_EXECUTABLE [SCREENSHOT.png]"
exe=${1:?$usage}
send_datagram=${2:?$usage}
flood_sender=${3:?$usage}
shot=${4:-}
source "$(dirname "$0")/e2e_lib.sh"
require_tools Xvfb xdotool import ss cmp

lines=200000
e2e_start

key() {
  xdotool windowfocus --sync "$main"
  xdotool key --clearmodifiers "$@"
  sleep 0.3
}
picture() { if [ -n "$shot" ]; then import -window root "${shot%.png}-$1.png" || fail "screenshot failed"; fi; }
file_lines() { tr -cd '\n' <"$1" | wc -c; }
# Ctrl+S until the file is written anew (its time changes) and complete.
save_again() {
  local before
  before=$(stat -c %Y.%s "$log" 2>/dev/null || echo none)
  key ctrl+s
  wait_for 30 sh -c "[ \"\$(stat -c %Y.%s '$log' 2>/dev/null)\" != '$before' ]" || true
  sleep 1
}

start_xvfb 1280x800x24
mkdir "$work/bin"
cp "$exe" "$work/bin/quenza"
port=$("$send_datagram" --free-port) || fail "no free port"
printf '[POS]\r\nTop=30\r\nLeft=20\r\nWidth=1200\r\nHeight=560\r\n[SYSLOG]\r\nPort=%s\r\n' "$port" >"$work/bin/quenza.ini"
log="$work/view.log"

start_program
begin_log
# Paced, so the system drops nothing and the file holds every line.
"$flood_sender" "$port" "$lines" 100000 >"$work/sender.txt" || fail "the sender failed"
wait_for 60 socket_empty || fail "the program stopped reading its socket"
end_log

key ctrl+s
answer_file_dialog 名前を付けて保存 "$log"
wait_for 30 test -s "$log" || fail "nothing saved"
sleep 1
[ "$(file_lines "$log")" -eq "$lines" ] || fail "saved $(file_lines "$log") lines of $lines"
cp "$log" "$work/original.log"

# Scroll, then drag across three lines with the mouse and copy.
key ctrl+Home
for _ in 1 2 3 4 5; do key Next; done
picture nowrap
eval "$(xdotool getwindowgeometry --shell "$main")"
# The view's text starts below the menu and tool bars; rows are 13 pixels apart.
xdotool mousemove --window "$main" 80 90 mousedown 1
xdotool mousemove --window "$main" 300 110
xdotool mousemove --window "$main" 400 130 mouseup 1
sleep 0.3
key ctrl+c
key ctrl+End
key ctrl+v
save_again
size=$(stat -c %s "$work/original.log")
[ "$(stat -c %s "$log")" -gt "$size" ] || fail "the paste added nothing"
cmp -n "$size" "$log" "$work/original.log" || fail "the paste changed the text before it"
tail -c +$((size + 1)) "$log" >"$work/pasted.bin"
[ "$(file_lines "$work/pasted.bin")" -ge 2 ] || fail "the selection did not span lines: $(cat "$work/pasted.bin")"
# A whole line of the selection is a line of the text.
sed -n 2p "$work/pasted.bin" | grep -qxF -f - "$work/original.log" || fail "the pasted lines are not the text's"
echo "pasted $(stat -c %s "$work/pasted.bin") bytes over $(file_lines "$work/pasted.bin") line breaks"

key ctrl+z
save_again
cmp "$log" "$work/original.log" || fail "after the undo the saved file differs from the first"
echo "undo: the file is the first byte for byte ($size bytes)"

# Wrapped, in a window narrower than the lines.
xdotool windowsize --sync "$main" 640 560
key alt+v
key w
sleep 0.5
picture wrap
key alt+v
key w
xdotool windowsize --sync "$main" 1200 560

# A filter on a text: only the lines numbered 0001xxx stay.
key ctrl+shift+f
xdotool type --delay 20 "message number 00012"
key Return
sleep 1
picture filter
key Escape

quit_program
echo "PASS"
