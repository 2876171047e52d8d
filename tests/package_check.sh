#!/usr/bin/env bash
# Checks what scripts/package.sh made in BUILD (default build-pkg): control fields, file list, and unpacked
# in a scratch root, the usage text and every man page rendered without warnings. Writes only to /tmp.
set -u
cd "$(dirname "$0")/.."
build=${1:-build-pkg} tmp=$(mktemp -d /tmp/kelvane-package.XXXXXX) failed=0
trap 'rm -rf "$tmp"' EXIT
same() {  # what, expected, actual
  if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAIL: $1"; diff <(echo "$2") <(echo "$3"); failed=1; fi
}
files=$(printf 'usr/%s\n' bin/kelvane{,-monitor,-read} share/doc/kelvane/{Kelvane.ini,README.md} share/man/man1/kelvane{-monitor,-read,}.1)

version=$(sed -n 's/^project(Kelvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb="$build/kelvane_${version}_amd64.deb"
[ -f "$deb" ] || { echo "FAIL: no package $deb"; exit 1; }
field() { dpkg-deb -f "$deb" "$1"; }
same "control fields, Depends from the binaries, a long description" "kelvane $version amd64 net libc6 libstdc++6 long" \
  "$(field Package) $(field Version) $(field Architecture) $(field Section) $(field Depends | grep -o 'libc6\|libstdc++6' | xargs) $([ "$(field Description | wc -l)" -ge 3 ] && echo long)"
same "package file list" "$files" "$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./||' | sort)"

root="$tmp/root"
dpkg-deb -x "$deb" "$root" && mkdir "$tmp/run"
out=$(cd "$tmp/run" && timeout 10 "$root/usr/bin/kelvane")
same "installed kelvane prints its usage text" $'Kelvane\n  Kommandos:\n  - search : suche nach EIB/KNX Gateway\n  - send GA Type Value : sende GruppenAdresse (exit 0)' "$out (exit $?)"
for page in kelvane kelvane-monitor kelvane-read; do
  same "man renders $page without warnings" "" "$(MANPATH="$root/usr/share/man" MANWIDTH=80 man --warnings=w -E ascii "$page" 2>&1 >/dev/null)"
done
exit $failed
