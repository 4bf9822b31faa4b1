#!/usr/bin/env bash
# Reading a live stream in the real program, as a person would: capture lines
# of every severity, find a word with Ctrl+F and F3 (each match is deleted with
# the Delete key, so the saved file shows which text was selected), show only
# the ERROR lines through the filter bar (a screenshot shows it; the saved
# file still holds every line), and pause following with Scroll Lock (a key
# typed while paused lands before the line that arrived meanwhile, and after
# it once following again).
#
# usage: e2e_liveview.sh QUENZA_EXECUTABLE SEND_DATAGRAM_EXECUTABLE [SCREENSHOT.png]
# The executable runs from a copy in a temporary folder. Exits 77 (skipped)
# without the X tools.
set -euo pipefail

exe=${1:?usage: $0 QUENZA_EXECUTABLE SEND_DATAGRAM_EXECUTABLE [SCREENSHOT.png]}
sender=${2:?usage: $0 QUENZA_EXECUTABLE SEND_DATAGRAM_EXECUTABLE [SCREENSHOT.png]}
shot=${3:-}
source "$(dirname "$0")/e2e_lib.sh"
require_tools Xvfb xdotool import iconv

e2e_start

focus_main() { xdotool windowfocus --sync "$main"; }
key() { xdotool key --clearmodifiers "$@"; sleep 0.3; }

send() { printf '%s' "$1" | "$sender" "$port" || fail "send failed"; }

# Saves with Ctrl+S (the first time through the Save As dialog) and reads the
# file back, without CRs, into $work/saved.txt once it holds `$1` lines.
saved_once=no
save() {
  local want=$1 deadline=$((SECONDS + 30))
  rm -f "$log"
  while :; do
    focus_main
    key ctrl+s
    if [ "$saved_once" = no ]; then
      answer_file_dialog 名前を付けて保存 "$log"
      saved_once=yes
    fi
    wait_for 10 test -s "$log" || true
    if [ -s "$log" ]; then
      iconv -f CP932 -t UTF-8 "$log" | tr -d '\r' >"$work/saved.txt"
      [ "$(grep -c . "$work/saved.txt")" -ge "$want" ] && return 0
    fi
    [ $SECONDS -ge $deadline ] && fail "the saved file never held $want lines"
    rm -f "$log"
    sleep 0.5
  done
}

saved_line() { grep -E "$1" "$work/saved.txt" || true; }

start_xvfb 1280x800x24
mkdir "$work/bin"
cp "$exe" "$work/bin/quenza"
port=$("$sender" --free-port) || fail "no free port"
printf '[POS]\r\nTop=30\r\nLeft=20\r\nWidth=1200\r\nHeight=560\r\n[SYSLOG]\r\nPort=%s\r\n' "$port" >"$work/bin/quenza.ini"
log="$work/live.log"

start_program
sleep 0.5
begin_log

# Twelve lines; the word "target" in three of them, ERROR in three.
send '<14>alpha target first info'        # USER/INFO
send '<11>disk error on sda'               # USER/ERROR
send '<12>warning: fan speed low'          # USER/WARNING
send '<13>notice about a TARGET second'    # USER/NOTICE
send '<15>debug trace one'                 # USER/DEBUG
send '<3>kernel error in driver'           # KERNEL/ERROR
send '<14>plain info line'                 # USER/INFO
send '<14>info with target third'          # USER/INFO
send '<11>second user error'               # USER/ERROR
send '<12>another warning'                 # USER/WARNING
send '<13>a notice'                        # USER/NOTICE
send '<15>more debug'                      # USER/DEBUG
sleep 1
save 12
[ "$(saved_line '\[(USER|KERNEL)/ERROR\]' | wc -l)" -eq 3 ] || fail "expected three ERROR lines"
if [ -n "$shot" ]; then
  import -window root "${shot%.png}-colours.png" || fail "screenshot failed"
fi

# Find: Ctrl+F, type in upper case (case does not matter), Enter. Following
# put the caret at the end, so the search goes around to the first match.
focus_main
key ctrl+f
xdotool type --delay 30 "TARGET"
key Return
sleep 0.5
key Escape        # closes the bar; the view has the focus and the selection
key Delete        # the selected match goes
key F3
sleep 0.5
key Delete
save 12
saved_line 'target|TARGET' >"$work/targets.txt"
grep -q '\[USER/INFO\] alpha  first info$' "$work/saved.txt" || fail "Ctrl+F did not select 'target' in the first line"
grep -q '\[USER/NOTICE\] notice about a  second$' "$work/saved.txt" || fail "F3 did not select 'TARGET' in the second line"
grep -q '\[USER/INFO\] info with target third$' "$work/saved.txt" || fail "the third 'target' was touched"
[ "$(wc -l <"$work/targets.txt")" -eq 1 ] || fail "expected one 'target' left: $(cat "$work/targets.txt")"

# Filter: Ctrl+Shift+F, severity box (Alt+S) down to ERROR. The view shows
# only the three ERROR lines; Save still writes all twelve.
key ctrl+shift+f
key alt+s
for _ in 1 2 3 4; do key Down; done
key alt+w         # Apply
sleep 1
if [ -n "$shot" ]; then
  import -window root "$shot" || fail "screenshot failed"
fi
save 12
focus_main
key alt+l         # Clear: every line shows again
sleep 0.5
key Escape        # and the bar closes

# Scroll Lock: paused, a typed X lands before the line that came meanwhile.
key ctrl+End
key Scroll_Lock
send '<14>arrived while paused'
sleep 1
key X
key Scroll_Lock   # following again: the caret goes to the end
send '<14>arrived while following'
sleep 1
key Y
save 14
grep -q '^X[0-9]\{4\}/[0-9/]* [0-9:]* 127\.0\.0\.1 \[USER/INFO\] arrived while paused$' "$work/saved.txt" ||
  fail "X did not land before the line that arrived while paused"
[ "$(tail -n 2 "$work/saved.txt" | head -n 1 | sed 's/.*\] //')" = "arrived while following" ] ||
  fail "the line that arrived while following is not the last but one"
[ "$(tail -n 1 "$work/saved.txt")" = "Y" ] || fail "Y did not land after the last line"

end_log
quit_program
cat "$work/saved.txt"
echo "PASS"
