#!/usr/bin/env bash
# A flood end to end, as a person would see it: the real program in a private
# X server, Begin log with Ctrl+B, a few util-linux logger lines, then 200,000
# numbered datagrams at full speed from IngestSender and one more logger line.
# Once the status bar's counters stop changing, a screenshot shows them and
# Ctrl+S saves the view. The saved file must hold the logger lines around the
# flood and the flood's lines in the order they were sent, each once; any
# number missing must be exactly what the system dropped on the program's
# socket (the drop counter ss reads from the kernel, which the status bar
# shows as 欠落); nothing may be lost anywhere else. The status bar itself is
# a picture here: the screenshot is left for a person to read.
#
# usage: e2e_flood.sh QUENZA_EXECUTABLE SEND_DATAGRAM_EXECUTABLE INGEST_SENDER_EXECUTABLE [SCREENSHOT.png]
# The executable runs from a copy in a temporary folder, so a build's own
# settings file is never touched. Exits 77 (skipped) without the tools.
set -euo pipefail

usage="usage: $0 QUENZA_EXECUTABLE SEND_DATAGRAM_EXECUTABLE INGEST_SENDER_EXECUTABLE [SCREENSHOT.png]"
exe=${1:?$usage}
send_datagram=${2:?$usage}
flood_sender=${3:?$usage}
shot=${4:-}
source "$(dirname "$0")/e2e_lib.sh"
require_tools Xvfb xdotool logger import iconv ss md5sum
if ! logger --help 2>&1 | grep -q -- '--rfc3164'; then
  echo "skipped: logger is not util-linux's (no --rfc3164)"
  exit 77
fi

flood=200000

e2e_start

# The status bar: the bottom strip of the main window, as an image.
status_bar_shot() {
  local X Y WIDTH HEIGHT WINDOW SCREEN
  eval "$(xdotool getwindowgeometry --shell "$main")"
  import -window root -crop "${WIDTH}x26+${X}+$((Y + HEIGHT - 26))" +repage "$1"
}

# Waits until the status bar has looked the same for 3 s (it is refreshed
# four times a second while capture is on).
wait_status_steady() {
  local deadline=$((SECONDS + 90)) last="" same=0 now
  while [ $same -lt 6 ]; do
    [ $SECONDS -ge $deadline ] && fail "the status bar kept changing"
    no_error_dialog
    sleep 0.5
    status_bar_shot "$work/status.png"
    now=$(md5sum <"$work/status.png")
    if [ "$now" = "$last" ]; then same=$((same + 1)); else same=0; fi
    last=$now
  done
}

# The saved file $1 is complete (the file is replaced whole when saved).
saved_after_line() { [ -s "$1" ] && tail -c 200 "$1" | iconv -c -f CP932 -t UTF-8 | grep -q 'e2e: after the flood'; }


# What the system dropped on the program's socket so far (ss: skmem's d).
kernel_drops() {
  ss -ulmnH "sport = :$port" | grep -o 'skmem:([^)]*)' | sed -E 's/.*,d([0-9]+)\).*/\1/' | head -n1
}

start_xvfb 1280x800x24

mkdir "$work/bin"
cp "$exe" "$work/bin/quenza"
port=$("$send_datagram" --free-port) || fail "no free port"
# Default options but the port; wide enough for the status bar's whole text.
printf '[POS]\r\nTop=40\r\nLeft=20\r\nWidth=1220\r\nHeight=600\r\n[SYSLOG]\r\nPort=%s\r\n' "$port" >"$work/bin/quenza.ini"
today="$(date +%Y/%m/%d)|$(date -d tomorrow +%Y/%m/%d)"

send_logger() { logger --udp --server 127.0.0.1 --port "$port" --tag e2e --rfc3164 --priority user.notice "$@"; }

# The flood lines in $1 (the saved file as UTF-8): every line is a logger
# line or a flood line; the flood's numbers rise with no repeat; the logger
# lines stand before and after the flood, in order. Prints how many flood
# lines there are, or what is wrong.
# (awk here may be mawk, which knows no {n} repeats.)
count_flood_lines() {
  local d='[0-9]'
  local stamp="^($today) $d$d:$d$d:$d$d 127\\.0\\.0\\.1 \\[USER/NOTICE\\] "
  awk -v stamp="$stamp" -v flood="$flood" -v d="$d" '
    function bad(why) { print "line " NR ": " why ": " substr($0, 1, 160); failed = 1; exit }
    $0 ~ stamp "Dec  7 21:00:00 host app\\[123\\]: message number " d d d d d d d " [a-z]+$" {
      match($0, /message number [0-9]+/)
      n = substr($0, RSTART + 15, RLENGTH - 15) + 0
      if (n <= last) bad("number " n " after " last)
      if (n > flood) bad("number " n " was never sent")
      if (after) bad("a flood line after the last logger line")
      if (before != 3) bad("a flood line before the logger lines")
      last = n; lines++
      next
    }
    $0 ~ stamp "[A-Z][a-z][a-z] [ 0-9][0-9] [0-9:]+ [^ ]+ e2e: before the flood [1-3]$" {
      if (lines > 0 || $NF != before + 1) bad("logger line out of order")
      before++
      next
    }
    $0 ~ stamp "[A-Z][a-z][a-z] [ 0-9][0-9] [0-9:]+ [^ ]+ e2e: after the flood$" {
      if (after) bad("logger line twice")
      after = 1
      next
    }
    { bad("not a line that was sent") }
    END {
      if (failed) exit 1
      if (before != 3 || !after) { print "logger lines missing: " before " before, " after " after"; exit 1 }
      print lines
    }' "$1"
}

# One run of the program: logger lines, the flood, a logger line; a
# screenshot ($2) once the status bar is steady; Ctrl+S to $work/$1.log;
# End log, quit, and the file checked. With $3 = stall, the program is held
# still (SIGSTOP) while the flood is sent, so the system must drop most of it.
# Sets $missing.
flood_run() {
  local name=$1 picture=$2 stall=${3:-} log="$work/$1.log" sent seconds drops lines
  start_program
  begin_log
  for i in 1 2 3; do send_logger "before the flood $i"; done
  [ -n "$stall" ] && kill -STOP "$app_pid"
  "$flood_sender" "$port" "$flood" 0 >"$work/sender.txt" || fail "$name: the flood sender failed"
  [ -n "$stall" ] && kill -CONT "$app_pid"
  # Once the program has read everything off its socket, the last line cannot
  # be dropped there, so only the flood can lose anything.
  wait_for 60 socket_empty || fail "$name: the program stopped reading its socket"
  send_logger "after the flood"
  read -r _ sent _ seconds _ <"$work/sender.txt"
  [ "$sent" = "$flood" ] || fail "$name: the sender sent $sent of $flood"
  echo "$name: sent $flood datagrams in $seconds s"

  # The last line sent is the last to arrive: once the saved file holds it,
  # it holds everything that was not dropped. A file saved too early (a
  # pause on a loaded machine can look steady) is saved again.
  wait_status_steady
  xdotool windowfocus --sync "$main"
  xdotool key --clearmodifiers ctrl+s
  answer_file_dialog 名前を付けて保存 "$log"
  wait_for 60 test -s "$log" || fail "$name: nothing was saved"
  local deadline=$((SECONDS + 90)) before
  until saved_after_line "$log"; do
    [ $SECONDS -ge $deadline ] && fail "$name: the last logger line never reached the saved file"
    wait_status_steady
    before=$(stat -c %i "$log")
    xdotool windowfocus --sync "$main"
    xdotool key --clearmodifiers ctrl+s
    if window_shown 名前を付けて保存; then fail "$name: Ctrl+S asked for a name although a file is current"; fi
    wait_for 60 sh -c "[ \"\$(stat -c %i '$log')\" != '$before' ]" || true
  done
  drops=$(kernel_drops)
  [ -n "$drops" ] || fail "$name: ss does not show the program's socket on port $port"
  if [ -n "$picture" ]; then
    import -window root "$picture" || fail "screenshot failed"
    status_bar_shot "${picture%.png}.status.png"
  fi
  no_error_dialog
  end_log
  quit_program

  iconv -f CP932 -t UTF-8 "$log" | tr -d '\r' >"$work/saved.txt" || fail "$name: the saved file is not Shift_JIS"
  lines=$(count_flood_lines "$work/saved.txt") || fail "$name: saved file: $lines"
  missing=$((flood - lines))
  echo "$name: saved 4 logger lines and $lines of $flood flood lines in order; missing $missing; the system dropped $drops"
  [ "$missing" -eq "$drops" ] || fail "$name: $missing flood lines missing, but the system dropped $drops on the socket"
  if [ "$missing" -gt 0 ]; then
    echo "$name: LOST $missing datagrams, dropped by the system before the program could read them (欠落 $missing)"
  fi
}

flood_run flood "$shot"
# The loss path, whatever the machine's load: the socket's queue holds a few
# thousand datagrams at most, so a program held still must lose most of the flood.
flood_run stalled "${shot:+${shot%.png}.stalled.png}" stall
[ "$missing" -gt 0 ] || fail "stalled: nothing was lost although the program was held still"
echo "PASS"
