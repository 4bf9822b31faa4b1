#!/usr/bin/env bash
# Installs the Debian packages Quenza needs to build, test and be seen, when
# any of them is missing. Runs apt-get as root, or through sudo otherwise.
#   bash scripts/setup.sh        the build, the tests and the end-to-end runs
#   bash scripts/setup.sh fuzz   also clang and its fuzzer runtime (make fuzz)
#   bash scripts/setup.sh bench  also rsyslog, which bench/CaptureVsRsyslog runs
#                                as its own private rsyslogd (a system service the
#                                package may start is never used by it), and
#                                glogg and lnav, which bench/OpenFileBench times
#                                opening the same files
#   bash scripts/setup.sh fuzz bench   both
set -euo pipefail

packages=(g++ cmake ninja-build make libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libfontconfig-dev libqt6svg6 qt6-translations-l10n fonts-ipafont-gothic
  xvfb xauth imagemagick x11-apps x11-utils xdotool bsdutils
  dpkg-dev file desktop-file-utils appstream iproute2
  libgnutls28-dev gnutls-bin pkg-config
  libcanberra-dev dunst dbus dbus-bin)
# libgnutls28-dev: syslog over TLS. gnutls-bin: certtool, with which the TLS
# tests make their CA and certificates when they run. libcanberra-dev: the
# alerts' sounds (the desktop's event sounds). dunst, dbus, dbus-bin: the
# alert end-to-end run starts its own notification daemon on a private
# session bus (dbus-run-session) and watches it with dbus-monitor.
for extra in "$@"; do
  case $extra in
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    bench) packages+=(rsyslog glogg lnav) ;;
    *)
      echo "setup.sh: unknown extra '$extra' (fuzz, bench)" >&2
      exit 2
      ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
