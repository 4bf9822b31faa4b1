#!/usr/bin/env bash
# Capture end to end, as a person would do it: the real program in a private X
# server, Begin log with Ctrl+B, syslog lines from util-linux logger (RFC 3164
# and RFC 5424) and raw datagrams in Shift_JIS, EUC-JP and ISO-2022-JP, then a
# save whose Shift_JIS text must hold every line with its date, address and
# label; UTF-8 from logger is detected whatever Charcode says, and saved as
# Shift_JIS. Charcode is read from the settings file only at start, so there are
# three runs, one per code: the second and third open the file the one before
# saved and capture on top of it, so the last view shows all three encodings.
#
# usage: e2e_capture.sh QUENZA_EXECUTABLE SEND_DATAGRAM_EXECUTABLE [SCREENSHOT.png]
# The executable runs from a copy in a temporary folder, so a build's own
# settings file is never touched. Exits 77 (skipped) without the tools.
set -euo pipefail

exe=${1:?usage: $0 QUENZA_EXECUTABLE SEND_DATAGRAM_EXECUTABLE [SCREENSHOT.png]}
sender=${2:?usage: $0 QUENZA_EXECUTABLE SEND_DATAGRAM_EXECUTABLE [SCREENSHOT.png]}
shot=${3:-}
source "$(dirname "$0")/e2e_lib.sh"
require_tools Xvfb xdotool logger import iconv
if ! logger --help 2>&1 | grep -q -- '--rfc5424'; then
  echo "skipped: logger is not util-linux's (no --rfc5424)"
  exit 77
fi

e2e_start

set_charcode() {
  local ini="$work/bin/quenza.ini"
  sed -i "s/^Charcode=[0-9]*\r\$/Charcode=$1\r/" "$ini"
  grep -q "^Charcode=$1"$'\r'"\$" "$ini" || fail "could not set Charcode=$1 in $ini"
}

start_xvfb 1280x800x24

mkdir "$work/bin"
cp "$exe" "$work/bin/quenza"
port=$("$sender" --free-port) || fail "no free port"
# Wide enough for a screenshot to show whole lines.
printf '[POS]\r\nTop=40\r\nLeft=20\r\nWidth=1220\r\nHeight=420\r\n[SYSLOG]\r\nPort=%s\r\nCharcode=0\r\n' "$port" >"$work/bin/quenza.ini"
log="$work/capture.log"
today="$(date +%Y/%m/%d)|$(date -d tomorrow +%Y/%m/%d)"

# Payloads, written here in UTF-8 and sent in the encoding under test. The
# Shift_JIS text holds trail bytes equal to "\" (ソ, 表, 能).
sjis_text='sjis: ソフト表示能力（シフトJIS）'
euc_text='euc: 東京の天気は晴れ、ｶﾀｶﾅも'
jis_text='jis: 漢字とかなの試験（ISO-2022-JP）'
printf '<34>%s' "$sjis_text" | iconv -f UTF-8 -t CP932 >"$work/sjis.bin"
printf '<165>%s' "$euc_text" | iconv -f UTF-8 -t EUC-JP >"$work/euc.bin"
printf '<0>%s' "$jis_text" | iconv -f UTF-8 -t ISO-2022-JP >"$work/jis.bin"

send_logger() { logger --udp --server 127.0.0.1 --port "$port" --tag e2e "$@"; }

# Run 1: Shift_JIS (no conversion), logger in both forms, Save As, End log.
start_program
begin_log
send_logger --rfc3164 --priority user.notice "rfc3164 message from logger"
send_logger --rfc5424 --msgid TEST --priority local3.err "rfc5424 message from logger"
# A modern host's UTF-8, detected whatever Charcode says, in both forms.
send_logger --rfc3164 --priority user.info "utf8: 日本語のメッセージ、ｶﾀｶﾅ～"
send_logger --rfc5424 --priority user.warning "utf8 5424: 全角と半角ｱｲｳ"
"$sender" "$port" "$work/sjis.bin" || fail "raw send failed"
printf 'no tag, plain ASCII  \t\r\n' | "$sender" "$port" || fail "raw send failed"
expect_re "\\[USER/NOTICE\\] [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [^ ]+ e2e: rfc3164 message from logger"
# RFC 5424 tidied: host, app and MSGID, without the version, time stamp and structured data.
expect_re "\\[LOCAL3/ERROR\\] [^ ]+ e2e TEST: rfc5424 message from logger"
expect_re "\\[USER/INFO\\] [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [^ ]+ e2e: utf8: 日本語のメッセージ、ｶﾀｶﾅ～"
expect_re "\\[USER/WARNING\\] [^ ]+ e2e: utf8 5424: 全角と半角ｱｲｳ"
expect "[AUTH/CRITICAL] $sjis_text"
expect "no tag, plain ASCII"
save_until_complete yes
end_log
quit_program

# Run 2: EUC-JP. Open the saved file, capture on top, Ctrl+S, quit while
# capture is still on.
set_charcode 1
start_program
xdotool key --clearmodifiers ctrl+o
answer_file_dialog 開く "$log"
begin_log
"$sender" "$port" "$work/euc.bin" || fail "raw send failed"
expect "[LOCAL4/NOTICE] $euc_text"
save_until_complete no
quit_program

# Run 3: ISO-2022-JP, then the screenshot of all three.
set_charcode 2
start_program
xdotool key --clearmodifiers ctrl+o
answer_file_dialog 開く "$log"
begin_log
"$sender" "$port" "$work/jis.bin" || fail "raw send failed"
expect "[KERNEL/EMERGENCY] $jis_text"
save_until_complete no
end_log
no_error_dialog
if [ -n "$shot" ]; then
  import -window root "$shot" || fail "screenshot failed"
fi
quit_program

# The lines in the order they were captured, each exactly once.
n=$(grep -c . "$work/saved.txt")
[ "$n" -eq ${#expected[@]} ] || fail "expected ${#expected[@]} lines, the file holds $n"
order=$(grep -n -e 'rfc3164' -e 'rfc5424' -e 'utf8:' -e 'utf8 5424' -e 'sjis:' -e 'no tag' -e 'euc:' -e 'jis: 漢' \
  "$work/saved.txt" | cut -d: -f1 | tr '\n' ' ')
[ "$order" = "1 2 3 4 5 6 7 8 " ] || fail "lines out of order: $order"
# CR LF line ends, no byte-order mark.
[ "$(head -c 2 "$log" | od -An -tx1 | tr -d ' ')" != "efbb" ] || fail "byte-order mark in the saved file"
[ "$(grep -c $'\r$' "$log")" -eq "$n" ] || fail "not every line ends in CR LF"
cat "$work/saved.txt"
echo "PASS"
