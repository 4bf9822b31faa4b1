#!/usr/bin/env bash
# Mixed senders in one capture, as a network with several vendors sends them:
# logger in RFC 5424 with structured data and in RFC 3164, and raw RFC 3164
# datagrams from named hosts in ISO-2022-JP, EUC-JP and Shift_JIS, all while
# Charcode says EUC-JP. Every line must come out right in the saved file; then
# the filter's 送信元 takes a host name with a wildcard (screenshot).
#
# usage: e2e_senders.sh QUENZA_EXECUTABLE SEND_DATAGRAM_EXECUTABLE [SCREENSHOT.png]
# Exits 77 (skipped) without the tools.
set -euo pipefail

exe=${1:?usage: $0 QUENZA_EXECUTABLE SEND_DATAGRAM_EXECUTABLE [SCREENSHOT.png]}
sender=${2:?usage: $0 QUENZA_EXECUTABLE SEND_DATAGRAM_EXECUTABLE [SCREENSHOT.png]}
shot=${3:-}
source "$(dirname "$0")/e2e_lib.sh"
require_tools Xvfb xdotool logger import iconv
if ! logger --help 2>&1 | grep -q -- '--sd-param'; then
  echo "skipped: logger is not util-linux's (no --sd-param)"
  exit 77
fi

e2e_start
start_xvfb 1280x800x24
mkdir "$work/bin"
cp "$exe" "$work/bin/quenza"
port=$("$sender" --free-port) || fail "no free port"
printf '[POS]\r\nTop=40\r\nLeft=20\r\nWidth=1220\r\nHeight=420\r\n[SYSLOG]\r\nPort=%s\r\nCharcode=1\r\n' "$port" \
  >"$work/bin/quenza.ini"
log="$work/senders.log"
today="$(date +%Y/%m/%d)|$(date -d tomorrow +%Y/%m/%d)"

# Written here in UTF-8, sent in the encoding under test. The Shift_JIS text
# holds trail bytes equal to "\" (ソ, 表, 能); the EUC-JP one half-width kana.
jis_text='jis: 漢字とかなの試験（ISO-2022-JP）'
euc_text='euc: 東京の天気は晴れ、ｶﾀｶﾅも'
sjis_text='sjis: ソフト表示能力（シフトJIS）'
printf '<0>Dec  9 04:30:30 core-sw01 %s' "$jis_text" | iconv -f UTF-8 -t ISO-2022-JP >"$work/jis.bin"
printf '<165>Dec  9 04:30:31 edge-rt02 %s' "$euc_text" | iconv -f UTF-8 -t EUC-JP >"$work/euc.bin"
printf '<34>Dec  9 04:30:32 core-sw02 %s' "$sjis_text" | iconv -f UTF-8 -t CP932 >"$work/sjis.bin"

start_program
begin_log
logger --udp --server 127.0.0.1 --port "$port" --tag e2e --id=$$ --rfc5424 --msgid M1 --priority local3.err \
  --sd-id 'zoo@32473' --sd-param 'tiger="hungry"' --sd-param 'path="a\]b"' "rfc5424 with structured data"
logger --udp --server 127.0.0.1 --port "$port" --tag e2e --rfc3164 --priority user.notice "rfc3164 message"
for f in jis euc sjis; do "$sender" "$port" "$work/$f.bin" || fail "raw send failed"; done

# RFC 5424 tidied, its structured data left out (ShowSD is off).
expect_re "\\[LOCAL3/ERROR\\] [^ ]+ e2e\\[$$\\] M1: rfc5424 with structured data"
expect_re "\\[USER/NOTICE\\] [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [^ ]+ e2e: rfc3164 message"
expect "[KERNEL/EMERGENCY] Dec  9 04:30:30 core-sw01 $jis_text"
expect "[LOCAL4/NOTICE] Dec  9 04:30:31 edge-rt02 $euc_text"
expect "[AUTH/CRITICAL] Dec  9 04:30:32 core-sw02 $sjis_text"
save_until_complete yes
n=$(grep -c . "$work/saved.txt")
[ "$n" -eq ${#expected[@]} ] || fail "expected ${#expected[@]} lines, the file holds $n"
end_log

# The filter's 送信元 by name: only the core switches stay.
xdotool windowfocus --sync "$main"
xdotool key --clearmodifiers ctrl+shift+f
sleep 0.3
xdotool key --clearmodifiers alt+o
xdotool type --delay 30 'core-sw*'
xdotool key --clearmodifiers Return
sleep 1
no_error_dialog
if [ -n "$shot" ]; then
  import -window root "$shot" || fail "screenshot failed"
fi
quit_program
cat "$work/saved.txt"
echo "PASS"
