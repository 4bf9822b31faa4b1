#!/usr/bin/env bash
# Drives the settings dialog of the real program in a private X server, as a
# person would: View menu, Settings, a new port and date format, OK, Exit; then
# checks that the settings file beside the executable holds the new values.
#
# usage: e2e_settings_dialog.sh QUENZA_EXECUTABLE [SCREENSHOT.png]
# The executable is copied into a temporary folder first, so the run never
# touches the settings file of a build. Exits 77 (skipped) without the X tools.
set -euo pipefail

exe=${1:?usage: $0 QUENZA_EXECUTABLE [SCREENSHOT.png]}
shot=${2:-}
source "$(dirname "$0")/e2e_lib.sh"
require_tools Xvfb xdotool import

e2e_start

start_xvfb 1024x768x24
cp "$exe" "$work/quenza"
ini="$work/quenza.ini"
"$work/quenza" >"$work/quenza.log" 2>&1 &
app_pid=$!

wait_for 30 find_window Quenza || fail "main window did not appear: $(cat "$work/quenza.log")"
main=$(find_window Quenza)
# No window manager here: focus the window directly instead of activating it.
xdotool windowfocus --sync "$main"
sleep 1

# View menu (Alt+V), then its settings item by its access key S.
xdotool key --clearmodifiers alt+v
sleep 1
xdotool key s
wait_for 15 find_window 環境設定 || fail "settings dialog did not appear"
dialog=$(find_window 環境設定)
xdotool windowfocus --sync "$dialog"
sleep 0.3

# The port box has the focus when the dialog opens.
xdotool key ctrl+a
xdotool type --delay 30 '10514'
# Alt+D goes to the date format box.
xdotool key --clearmodifiers alt+d
xdotool key ctrl+a
xdotool type --delay 30 'yy/m/d h:m:s'
sleep 0.5
if [ -n "$shot" ]; then
  import -window root "$shot" || fail "screenshot failed"
fi

# Enter presses OK.
xdotool key Return
dialog_gone() { ! find_window 環境設定; }
wait_for 10 dialog_gone || fail "settings dialog did not close"

# File menu, Exit (access key X).
xdotool windowfocus --sync "$main"
xdotool key --clearmodifiers alt+f
sleep 1
xdotool key x
for _ in $(seq 1 100); do
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$app_pid" 2>/dev/null; then fail "program did not exit"; fi
status=0
wait "$app_pid" || status=$?
app_pid=""
[ "$status" -eq 0 ] || fail "program exited with $status: $(cat "$work/quenza.log")"

[ -f "$ini" ] || fail "no settings file written"
# Lines end in CR LF; compare without the CR.
syslog=$(tr -d '\r' <"$ini" | sed -n '/^\[SYSLOG\]$/,/^$/p')
echo "$syslog"
grep -qx 'Port=10514' <<<"$syslog" || fail "Port not written"
grep -qx 'DateFormat=yy/m/d h:m:s' <<<"$syslog" || fail "DateFormat not written"
grep -qx 'Charcode=0' <<<"$syslog" || fail "Charcode not written"
for key in EnableDate EnableIP EnablePriority; do
  grep -qx "$key=1" <<<"$syslog" || fail "$key not written"
done
echo "PASS"
