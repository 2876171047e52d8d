#!/usr/bin/env bash
# Builds Kelvane for release in a folder of its own (default build-pkg, without
# the tests) and makes the Debian package kelvane_<version>_amd64.deb there with
# CPack; its dependencies come from the binaries (dpkg-shlibdeps). Prints the
# package's path as the last line.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=${1:-build-pkg}
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$dir" -j "$jobs" --target kelvane kelvane-monitor kelvane-read >/dev/null
rm -f "$dir"/kelvane_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
ls "$(pwd)/$dir"/kelvane_*_amd64.deb
