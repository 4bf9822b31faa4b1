#!/usr/bin/env bash
# What `cmake --install` puts in place, checked in a scratch folder: exactly
# the program, its desktop entry, icon, metainfo and the two man pages (no
# test or benchmark), each valid by the desktop's own validators where they
# are installed, and the installed program answering --version without a
# display.
#
# usage: check_install.sh BUILD_DIR VERSION
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR VERSION}
version=${2:?usage: $0 BUILD_DIR VERSION}
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

DESTDIR="$dest" cmake --install "$build" --prefix /usr >"$dest.log" 2>&1 || fail "install failed: $(cat "$dest.log")"
rm -f "$dest.log"
root="$dest/usr"
actual=$(cd "$root" && find . -type f -o -type l | sort)
expected=$(printf '%s\n' ./bin/quenza ./share/applications/quenza.desktop \
  ./share/icons/hicolor/scalable/apps/quenza.svg ./share/man/ja/man1/quenza.1.gz ./share/man/man1/quenza.1.gz \
  ./share/metainfo/io.github.zandrik.quenza.metainfo.xml | sort)
[ "$actual" = "$expected" ] || fail "installed files differ:
$(diff <(echo "$expected") <(echo "$actual") || true)"
echo "installed: $(echo $actual)"

[ "$(env -i "$root/bin/quenza" --version)" = "Quenza $version" ] || fail "installed program's --version"

desktop="$root/share/applications/quenza.desktop"
for key in 'Exec=quenza %f' 'MimeType=text/plain;text/x-log;' 'Icon=quenza' 'Categories=Network;Monitor;' 'Name[ja]=' 'GenericName[ja]=' 'Comment[ja]='; do
  grep -q "^$(sed 's/[][]/\\&/g' <<<"$key")" "$desktop" || fail "desktop entry lacks $key"
done
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
  echo "desktop-file-validate: ok"
else
  echo "desktop-file-validate not installed: not run"
fi
metainfo="$root/share/metainfo/io.github.zandrik.quenza.metainfo.xml"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo names another version"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --pedantic "$metainfo" || fail "appstreamcli validate"
else
  echo "appstreamcli not installed: not run"
fi
grep -q '<svg' "$root/share/icons/hicolor/scalable/apps/quenza.svg" || fail "icon is no SVG"

# The man pages are compressed groff; both name the program and its version.
for page in "$root/share/man/man1/quenza.1.gz" "$root/share/man/ja/man1/quenza.1.gz"; do
  text=$(zcat "$page")
  grep -q "^\.TH QUENZA 1 .*\"Quenza $version\"" <<<"$text" || fail "$page: no title line for $version"
  grep -qF -- '\-\-help' <<<"$text" || fail "$page: no --help"
  grep -q 'quenza/quenza.ini' <<<"$text" || fail "$page: no settings location"
done
zcat "$root/share/man/ja/man1/quenza.1.gz" | grep -q '^\.SH 名前' || fail "Japanese man page is not Japanese"
echo "PASS"
