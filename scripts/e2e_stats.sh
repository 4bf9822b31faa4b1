#!/usr/bin/env bash
# The statistics panel end to end: the real program in a private X server,
# Begin log with Ctrl+B, the panel opened from the View menu with its access
# key (Alt+V, K), then a mixed flood from IngestSender (twelve hosts, every
# severity, some lines without a tag) at two rates. The chart must show it:
# INFO's colour (which only the chart uses) covers several times the
# legend's swatch, and the colour of lines without a severity more than it. The panel's
# visibility must be in the settings file after quitting. Screenshot: $3.
#
# usage: e2e_stats.sh QUENZA_EXECUTABLE INGEST_SENDER_EXECUTABLE SEND_DATAGRAM_EXECUTABLE [SCREENSHOT.png]
# Exits 77 (skipped) without the tools.
set -euo pipefail

usage="usage: $0 QUENZA_EXECUTABLE INGEST_SENDER_EXECUTABLE SEND_DATAGRAM_EXECUTABLE [SCREENSHOT.png]"
exe=${1:?$usage}
flood_sender=${2:?$usage}
send_datagram=${3:?$usage}
shot=${4:-}
source "$(dirname "$0")/e2e_lib.sh"
require_tools Xvfb xdotool import convert ss

e2e_start
start_xvfb 1280x800x24

mkdir "$work/bin"
cp "$exe" "$work/bin/quenza"
port=$("$send_datagram" --free-port) || fail "no free port"
printf '[POS]\r\nTop=40\r\nLeft=20\r\nWidth=1000\r\nHeight=700\r\n[SYSLOG]\r\nPort=%s\r\n' "$port" >"$work/bin/quenza.ini"

# Pixels of colour $1 in the main window now.
pixels() {
  local X Y WIDTH HEIGHT WINDOW SCREEN
  eval "$(xdotool getwindowgeometry --shell "$main")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$work/now.png"
  convert "$work/now.png" -fill black +opaque "$1" -fill white -opaque "$1" -format '%[fx:round(mean*w*h)]' info:
}
info='#4CA050'
untagged='#C8B48C'
at_least() { [ "$(pixels "$1")" -ge "$2" ]; }

start_program
begin_log
[ "$(pixels "$info")" -eq 0 ] || fail "INFO's chart colour is on the screen before the panel is open"
xdotool windowfocus --sync "$main"
xdotool key --clearmodifiers alt+v
sleep 0.5
xdotool key k
# The legend's swatch (10 x 10) says the panel is there.
wait_for 10 at_least "$info" 100 || fail "the statistics panel did not open from the View menu"
swatch=$(pixels "$info")
echo "panel open: INFO's colour on $swatch pixels (the legend's swatch)"

"$flood_sender" "$port" 12000 1000 mixed >"$work/sender1.txt" || fail "the flood sender failed"
"$flood_sender" "$port" 30000 2500 mixed >"$work/sender2.txt" || fail "the flood sender failed"
echo "flood: $(cat "$work/sender1.txt"), then $(cat "$work/sender2.txt")"
wait_for 60 socket_empty || fail "the program stopped reading its socket"
# The chart is redrawn once a second.
wait_for 10 at_least "$info" $((swatch * 3)) || fail "the chart shows no INFO lines: $(pixels "$info") pixels"
wait_for 10 at_least "$untagged" $((swatch + 20)) || fail "the chart shows no lines without a severity: $(pixels "$untagged") pixels"
sleep 1.2
echo "chart: INFO's colour on $(pixels "$info") pixels, no severity's on $(pixels "$untagged")"
if [ -n "$shot" ]; then import -window root "$shot" || fail "screenshot failed"; fi
no_error_dialog
end_log
quit_program  # the unsaved text is answered Yes
grep -q '^Statistics=1' "$work/bin/quenza.ini" || fail "the panel's visibility was not kept: $(cat "$work/bin/quenza.ini")"
echo "PASS"
