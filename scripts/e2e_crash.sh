#!/usr/bin/env bash
# Automatic log files survive a crash: the real program in a private X server
# captures 20,000 numbered datagrams a second with LOGFILE Enable on, and is
# killed with SIGKILL in the middle, while its file is still growing. The
# day's files must hold lines 1 to N in order, with no gap and no broken line
# but possibly the very last, where N is at least what the files held just
# before the kill and no more than had been sent by then.
#
# usage: e2e_crash.sh QUENZA_EXECUTABLE INGEST_SENDER_EXECUTABLE SEND_DATAGRAM_EXECUTABLE
# Exits 77 (skipped) without the X tools.
set -euo pipefail

usage="usage: $0 QUENZA_EXECUTABLE INGEST_SENDER_EXECUTABLE SEND_DATAGRAM_EXECUTABLE"
exe=${1:?$usage}
sender=${2:?$usage}
send_datagram=${3:?$usage}
source "$(dirname "$0")/e2e_lib.sh"
require_tools Xvfb xdotool iconv

e2e_start

start_xvfb 1024x768x24
mkdir "$work/bin"
cp "$exe" "$work/bin/quenza"
port=$("$send_datagram" --free-port) || fail "no free port"
printf '[SYSLOG]\r\nPort=%s\r\n[LOGFILE]\r\nEnable=1\r\nFolder=%s\r\n' "$port" "$work/logs" >"$work/bin/quenza.ini"

start_program
begin_log

rate=20000
start=$(date +%s.%N)
"$sender" "$port" $((rate * 30)) "$rate" >"$work/sender.log" 2>&1 &
sender_pid=$!

# Complete lines in the day's files so far: a line still being written has no LF yet.
lines_in_files() { cat "$work"/logs/quenza-*.log 2>/dev/null | wc -l; }
files_hold_more_than() { [ "$(lines_in_files)" -gt "$1" ]; }

wait_for 30 files_hold_more_than 0 || fail "no line reached the day's file"
sleep 3
kill -0 "$app_pid" || fail "the program ended by itself"
# What the program had received is measured by what it had written, not by
# what the sender had sent: how far the program lags behind the sender is not
# ours to bound (under ASan on a busy machine it was over a second, with lines
# waiting in the socket and in the program's queues), but a line in the file
# must survive the kill. So: let the file grow once more, so that the kill
# lands while the writer is at work, count its lines, and kill at once.
before=$(lines_in_files)
wait_for 30 files_hold_more_than "$before" || fail "the file stopped growing at $before lines while datagrams kept coming"
seen=$(lines_in_files)
killed=$(date +%s.%N)
kill -9 "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=""
kill "$sender_pid" 2>/dev/null || true
wait "$sender_pid" 2>/dev/null || true
sender_pid=""

files=("$work"/logs/quenza-*.log)
[ -e "${files[0]}" ] || fail "no log file in $work/logs"
cat "${files[@]}" >"$work/all.log"
# Each line: date time address label, then the sender's text with its number.
iconv -c -f CP932 -t UTF-8 "$work/all.log" >"$work/all.txt"
total=$(wc -l <"$work/all.txt")
complete_re='^[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9:]{8} 127\.0\.0\.1 \[USER/NOTICE\] Dec  7 21:00:00 host app\[123\]: message number [0-9]{7} [a-z]+'$'\r''$'
broken=$(head -n $((total > 0 ? total - 1 : 0)) "$work/all.txt" | grep -cvE "$complete_re" || true)
[ "$broken" -eq 0 ] || fail "$broken broken lines before the last: $(grep -vE "$complete_re" "$work/all.txt" | head -n 3)"
# The numbers run 1, 2, 3 ... with no gap.
numbers=$(grep -oE 'message number [0-9]{7}' "$work/all.txt" | awk '{ print $3 + 0 }')
last=$(printf '%s\n' "$numbers" | awk 'BEGIN { n = 0 } { if ($1 != n + 1) { print "gap after " n; exit 1 } n = $1 } END { print n }') ||
  fail "lines out of order or missing: $last"
# The sender is paced from its start, which came after $start: by the kill it
# can have sent no more than this (a batch and a tenth of a second of margin
# for the moments between reading the clock and the kill).
sent=$(awk -v s="$start" -v k="$killed" -v r="$rate" 'BEGIN { print int((k - s) * r + 64 + r / 10) }')
echo "killed after $(awk -v s="$start" -v k="$killed" 'BEGIN { printf "%.2f", k - s }') s; the file held $seen lines just before the kill and holds lines 1 to $last after it; sent by then: at most $sent"
[ "$last" -ge "$seen" ] || fail "the file ends at line $last, but it held $seen lines just before the kill"
[ "$last" -le "$sent" ] || fail "the file ends at line $last, but at most $sent had been sent"
echo "PASS"
