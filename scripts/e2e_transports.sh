#!/usr/bin/env bash
# Every transport end to end: the real program in a private X server with TCP
# and TLS on (a CA and the server's certificate made here with certtool),
# Begin log with Ctrl+B, then util-linux logger over TCP, logger over UDP to
# ::1, and a message over TLS from gnutls-cli; a save must hold each line with
# its sender's address, and a screenshot shows the status bar's counters.
#
# usage: e2e_transports.sh QUENZA_EXECUTABLE SEND_DATAGRAM_EXECUTABLE [SCREENSHOT.png]
# Exits 77 (skipped) without the tools or without IPv6 on the loopback.
set -euo pipefail

exe=${1:?usage: $0 QUENZA_EXECUTABLE SEND_DATAGRAM_EXECUTABLE [SCREENSHOT.png]}
sender=${2:?usage: $0 QUENZA_EXECUTABLE SEND_DATAGRAM_EXECUTABLE [SCREENSHOT.png]}
shot=${3:-}
source "$(dirname "$0")/e2e_lib.sh"
require_tools Xvfb xdotool logger import iconv certtool gnutls-cli
if [ ! -e /proc/net/if_inet6 ] || ! grep -q '^0*1 ' /proc/net/if_inet6; then
  echo "skipped: no ::1 on this machine"
  exit 77
fi

e2e_start
start_xvfb 1280x800x24

# The certificates, made for this run only.
ca_template='cn = "Quenza e2e CA"\nca\ncert_signing_key\nexpiration_days = 2\n'
server_template='cn = "localhost"\ntls_www_server\nsigning_key\nencryption_key\nip_address = "127.0.0.1"\nexpiration_days = 2\n'
printf "$ca_template" >"$work/ca.tmpl"
printf "$server_template" >"$work/server.tmpl"
for key in ca server; do
  certtool --generate-privkey --key-type ecdsa --outfile "$work/$key.key" >/dev/null 2>&1 || fail "certtool failed"
  chmod 600 "$work/$key.key"
done
certtool --generate-self-signed --load-privkey "$work/ca.key" --template "$work/ca.tmpl" \
  --outfile "$work/ca.pem" >/dev/null 2>&1 || fail "certtool failed"
certtool --generate-certificate --load-privkey "$work/server.key" --load-ca-certificate "$work/ca.pem" \
  --load-ca-privkey "$work/ca.key" --template "$work/server.tmpl" --outfile "$work/server.pem" >/dev/null 2>&1 ||
  fail "certtool failed"

mkdir "$work/bin"
cp "$exe" "$work/bin/quenza"
port=$("$sender" --free-port) || fail "no free port"
tls_port=$port
while [ "$tls_port" = "$port" ]; do tls_port=$("$sender" --free-port) || fail "no free port"; done
printf '[POS]\r\nTop=40\r\nLeft=20\r\nWidth=1220\r\nHeight=300\r\n[SYSLOG]\r\nPort=%s\r\nTCP=1\r\nTLS=1\r\nTLSPort=%s\r\nTLSCert=%s\r\nTLSKey=%s\r\n' \
  "$port" "$tls_port" "$work/server.pem" "$work/server.key" >"$work/bin/quenza.ini"
log="$work/capture.log"
today="$(date +%Y/%m/%d)|$(date -d tomorrow +%Y/%m/%d)"
line_address_re='(127\.0\.0\.1|::1)'

start_program
begin_log
logger --tcp --server 127.0.0.1 --port "$port" --rfc3164 --tag e2e "over tcp from logger"
logger --udp --server ::1 --port "$port" --rfc3164 --tag e2e "over udp to ::1"
printf '<13>over tls from gnutls-cli\n' |
  gnutls-cli --x509cafile "$work/ca.pem" --port "$tls_port" 127.0.0.1 >"$work/gnutls-cli.log" 2>&1 ||
  fail "gnutls-cli failed: $(cat "$work/gnutls-cli.log")"
expect_re "\\[USER/NOTICE\\] [A-Z][a-z]{2} [ 0-9][0-9] [0-9:]{8} [^ ]+ e2e: over tcp from logger"
expect_re "\\[USER/NOTICE\\] [A-Z][a-z]{2} [ 0-9][0-9] [0-9:]{8} [^ ]+ e2e: over udp to ::1"
expect "[USER/NOTICE] over tls from gnutls-cli"
save_until_complete yes
grep -qE " ::1 \\[USER/NOTICE\\] .* over udp to ::1\$" "$work/saved.txt" || fail "the IPv6 sender is not ::1"
no_error_dialog
if [ -n "$shot" ]; then import -window root "$shot"; fi
end_log
quit_program
echo "every transport shown"
