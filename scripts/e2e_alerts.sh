#!/usr/bin/env bash
# Alert rules end to end: the real program under Xvfb on a private session
# bus (dbus-run-session) with a real notification daemon (dunst), watched by
# dbus-monitor. Two rules: ERROR or graver from core-sw01, and anything that
# says "message number" from the sender named "host" (the flood sender's).
#   1. An ERROR from core-sw01 raises exactly one notification, titled with
#      the host and the severity; an ERROR from another host and an INFO from
#      core-sw01 raise none.
#   2. 1,000 matching datagrams raise at most the rate limit (5 a minute) of
#      notifications, and once the minute is over one summary ("ほか N 件").
# Then a screenshot ($3) of the window with its marked lines.
#
# usage: e2e_alerts.sh QUENZA_EXECUTABLE SEND_DATAGRAM_EXECUTABLE INGEST_SENDER [SCREENSHOT.png]
# Exits 77 (skipped) without the tools.
set -euo pipefail

exe=${1:?usage: $0 QUENZA_EXECUTABLE SEND_DATAGRAM_EXECUTABLE INGEST_SENDER [SCREENSHOT.png]}
sender=${2:?usage: $0 QUENZA_EXECUTABLE SEND_DATAGRAM_EXECUTABLE INGEST_SENDER [SCREENSHOT.png]}
flood=${3:?usage: $0 QUENZA_EXECUTABLE SEND_DATAGRAM_EXECUTABLE INGEST_SENDER [SCREENSHOT.png]}
shot=${4:-}
source "$(dirname "$0")/e2e_lib.sh"
require_tools Xvfb xdotool import dbus-run-session dbus-monitor dbus-send dunst

# A bus of our own: the desktop's notifications (if any) are never touched.
if [ -z "${QUENZA_E2E_PRIVATE_BUS:-}" ]; then
  exec dbus-run-session -- env QUENZA_E2E_PRIVATE_BUS=1 bash "$0" "$@"
fi

e2e_start
daemon_pid=""
monitor_pid=""
alerts_cleanup() {
  local pid
  for pid in "$monitor_pid" "$daemon_pid"; do
    if [ -n "$pid" ]; then
      kill "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
    fi
  done
  e2e_cleanup
}
trap alerts_cleanup EXIT

start_xvfb 1280x800x24

has_daemon() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Notifications | grep -q 'boolean true'
}
dunst >"$work/dunst.log" 2>&1 &
daemon_pid=$!
wait_for 20 has_daemon || fail "the notification daemon did not take its name: $(cat "$work/dunst.log")"
echo "daemon: $(dunst --version | head -n1)"

# Every Notify call on the bus, with its arguments.
dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" \
  >"$work/monitor.log" 2>&1 &
monitor_pid=$!
wait_for 10 grep -q 'NameAcquired' "$work/monitor.log" || sleep 1
notices() { grep -c 'member=Notify' "$work/monitor.log" || true; }
# The strings of the Notify calls, one line each: title | body.
notice_texts() {
  awk '/member=Notify/ { n = 0; next }
       /^   string "/ { n++; s = $0; sub(/^   string "/, "", s); sub(/"$/, "", s);
                        if (n == 3) title = s; if (n == 4) print title " | " s }' "$work/monitor.log"
}

mkdir "$work/bin"
cp "$exe" "$work/bin/quenza"
port=$("$sender" --free-port) || fail "no free port"
{
  printf '[POS]\r\nTop=40\r\nLeft=20\r\nWidth=1220\r\nHeight=600\r\n[SYSLOG]\r\nPort=%s\r\n' "$port"
  printf '[ALERT]\r\nCount=2\r\n'
  printf 'Rule1Severity=3\r\nRule1Host=core-sw01\r\nRule1Pattern=\r\nRule1Notify=1\r\nRule1Mark=1\r\n'
  printf 'Rule2Severity=-1\r\nRule2Host=host\r\nRule2Pattern=message number\r\nRule2Notify=1\r\nRule2Mark=1\r\n'
} >"$work/bin/quenza.ini"

start_program
begin_log

send() { printf '%s' "$1" | "$sender" "$port" || fail "send failed"; }
# 11 = user.err, 14 = user.info.
send '<11>Dec  9 10:00:00 core-sw01 kernel: disk array degraded'
send '<11>Dec  9 10:00:01 edge-sw02 kernel: disk array degraded'
send '<14>Dec  9 10:00:02 core-sw01 sshd: session opened'
wait_for 15 sh -c "[ \$(grep -c 'member=Notify' '$work/monitor.log') -ge 1 ]" || fail "no notification for the ERROR"
sleep 2  # room for a wrong second notice to show up before counting
[ "$(notices)" = 1 ] || fail "expected 1 notification, saw $(notices): $(notice_texts)"
notice_texts | grep -q '^core-sw01 (ERROR) | .*core-sw01 kernel: disk array degraded$' ||
  fail "the notification is not titled with the host and severity: $(notice_texts)"
echo "one ERROR from core-sw01: $(notices) notification: $(notice_texts)"

# The flood: 1,000 datagrams, every one matching rule 2.
flood_start=$SECONDS
"$flood" "$port" 1000 2000 >"$work/flood.log" || fail "the flood sender failed"
wait_for 30 socket_empty || fail "the flood was not taken in"
sleep 2
after_flood=$(($(notices) - 1))
echo "flood of 1000: $after_flood notifications within the minute"
[ "$after_flood" -le 5 ] || fail "more than the rate limit: $after_flood"
[ "$after_flood" -ge 1 ] || fail "the flood raised no notification"
# The summary comes once the minute that held the rest back is over.
wait_for $((75 - (SECONDS - flood_start))) sh -c "grep -q 'ほか [0-9]* 件' '$work/monitor.log'" ||
  fail "no summary after the minute: $(notice_texts)"
sleep 2
total_flood=$(($(notices) - 1))
summary=$(notice_texts | grep 'ほか' || true)
echo "after the minute: $total_flood notifications for the flood, the last: $summary"
[ "$total_flood" -le 6 ] || fail "more than the rate limit plus one summary: $total_flood"
[ "$(printf '%s\n' "$summary" | wc -l)" = 1 ] || fail "more than one summary: $summary"
echo "$summary" | grep -q "^通知ルール 2 | ほか $((1000 - after_flood)) 件$" ||
  fail "the summary does not count the rest: $summary"
echo "daemon's own count: $(dunstctl count history 2>/dev/null || echo '?') in history," \
  "$(dunstctl count displayed 2>/dev/null || echo '?') displayed, $(dunstctl count waiting 2>/dev/null || echo '?') waiting"

if [ -n "$shot" ]; then
  xdotool windowfocus --sync "$main"
  xdotool key --clearmodifiers ctrl+Home F8
  sleep 1
  import -window root "$shot"
  echo "screenshot: $shot"
fi
end_log
quit_program  # the unsaved text is answered Yes
echo "PASS"
