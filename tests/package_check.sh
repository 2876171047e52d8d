#!/usr/bin/env bash
# Checks what scripts/package.sh made in BUILD (default build-pkg): the files
# `cmake --install` puts under a prefix, the Debian package's name, control
# fields and file list, and the package unpacked into a scratch root: its
# kelvane runs and prints the usage text, and man finds and renders every page
# without warnings. Touches nothing outside a temporary folder.
set -u
cd "$(dirname "$0")/.."
build=${1:-build-pkg}
tmp=$(mktemp -d /tmp/kelvane-package.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
failed=0
ok() { echo "ok: $*"; }
fail() { echo "FAIL: $*"; failed=1; }

# Files under the prefix, without the prefix, one a line, sorted.
expected_files="bin/kelvane
bin/kelvane-monitor
bin/kelvane-read
share/doc/kelvane/Kelvane.ini
share/doc/kelvane/README.md
share/man/man1/kelvane-monitor.1
share/man/man1/kelvane-read.1
share/man/man1/kelvane.1"

same() {  # what, expected, actual
  if [ "$2" = "$3" ]; then ok "$1"; else fail "$1"; diff <(echo "$2") <(echo "$3"); fi
}

cmake --install "$build" --prefix "$tmp/prefix" >/dev/null || fail "cmake --install"
same "cmake --install file list" "$expected_files" "$(cd "$tmp/prefix" && find . -type f | sed 's|^\./||' | sort)"

version=$(sed -n 's/^project(Kelvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb="$build/kelvane_${version}_amd64.deb"
[ -f "$deb" ] || { fail "no package $deb"; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
same "control fields" "kelvane $version amd64 net" \
  "$(field Package) $(field Version) $(field Architecture) $(field Section)"
case "$(field Depends)" in
  *libc6*libstdc++6*) ok "dependencies from the binaries: $(field Depends)" ;;
  *) fail "Depends lacks libc6 or libstdc++6: '$(field Depends)'" ;;
esac
description=$(field Description)
if [ "$(echo "$description" | wc -l)" -ge 3 ]; then ok "short and long description"
else fail "description has no long part: '$description'"; fi
same "package file list" "$(echo "$expected_files" | sed 's|^|usr/|')" \
  "$(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./||' | sort)"

root="$tmp/root"
dpkg-deb -x "$deb" "$root"
usage=$'Kelvane\n  Kommandos:\n  - search : suche nach EIB/KNX Gateway\n  - send GA Type Value : sende GruppenAdresse'
mkdir "$tmp/run"
out=$(cd "$tmp/run" && timeout 10 "$root/usr/bin/kelvane")
status=$?
same "installed kelvane prints its usage text" "$usage (exit 0)" "$out (exit $status)"

for page in kelvane kelvane-monitor kelvane-read; do
  found=$(MANPATH="$root/usr/share/man" man -w "$page" 2>&1)
  same "man finds $page" "$root/usr/share/man/man1/$page.1" "$found"
  warnings=$(MANPATH="$root/usr/share/man" MANWIDTH=80 man --warnings=w -E ascii "$page" 2>&1 >/dev/null)
  same "man renders $page without warnings" "" "$warnings"
done

exit $failed
