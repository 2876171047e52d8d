#!/usr/bin/env bash
# Cross-builds Kelvane for 64-bit Windows with MinGW-w64 into build-win/ and
# runs it under Wine (one prefix, build-win/wineprefix, kept between runs):
#  1. the Windows test program (the whole suite but the POSIX stand-ins' own
#     tests and the program tests, see cmake/WindowsTests.cmake), and
#  2. the program tests of the Linux test program in the folder given as
#     argument (default build), with kelvane.exe, kelvane-monitor.exe and kelvane-read.exe
#     under Wine in place of the Linux programs, against its scripted gateway.
# The cases where Wine differs from Windows are left out, each with the reason
# (below). Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
linux=${1:-build}
out=build-win
jobs=$(nproc 2>/dev/null || echo 2)

echo "== Windows build (MinGW-w64)"
toolchain=()  # given once: a configured folder keeps it
[ -f "$out/CMakeCache.txt" ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake)
cmake -S . -B "$out" "${toolchain[@]}" -DKELVANE_WERROR=ON >/dev/null
cmake --build "$out" -j "$jobs"

wine=/usr/lib/wine/wine64
export WINEPREFIX=$root/$out/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
# Ends this prefix's wine server, and with it every Windows process of the run.
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== making the Wine prefix (once, about half a minute)"
  timeout 300 "$wine" wineboot --init >/dev/null 2>&1
fi
# One server for the whole run, ended by the trap above. The server wineboot left must end first: while
# it runs, -p fails, and that one quits 3 s after its last client, racing the next program's start (which
# then dies with "Bad file descriptor" or a page fault inside Wine).
timeout 60 /usr/lib/wine/wineserver -w 2>/dev/null || true
/usr/lib/wine/wineserver -p 300 2>/dev/null || true  # and then at most 5 minutes idle

# Wine binds a datagram socket for any address but 127.0.0.1 to 0.0.0.0 (and
# says it bound the address given). So a bind to an address the host lacks
# succeeds, and a scripted gateway or stranger at 127.0.0.x sends from
# 127.0.0.1, which the client rightly takes for another host.
answers_from_elsewhere=(
  EndpointLoopback.DatagramsFromOtherHostsPassOnlyToAGroupsEndpoint
  WindowModeTest.TunnelFramesAreReportedAndRequestsAcknowledged
  WindowModeTest.TunnelLossIsNoticed
  WindowModeTest.EveryGrantIsClosed
  ClientSendTest.ExchangesAreRepeatedUntilAnswered
)
# Under Wine /proc is the Linux process's, where Wine opens and closes
# descriptors of its own.
linux_proc=(ClientSendTest.LeavesNoThreadOrDescriptorBehind)
joined() { local IFS=:; echo "$*"; }
echo "== left out under Wine: datagrams from 127.0.0.x (not .1) leave from 127.0.0.1 there:"
printf '   %s\n' "${answers_from_elsewhere[@]}"
echo "== left out under Wine: /proc shows the Linux process with Wine's own descriptors:"
printf '   %s\n' "${linux_proc[@]}"

echo "== the Windows test program under Wine"
(cd "$out" && timeout 900 "$wine" kelvane_tests.exe \
  --gtest_filter="-$(joined "${answers_from_elsewhere[@]}" "${linux_proc[@]}")")

echo "== the Windows programs under Wine against the Linux test program's gateway"
[ -x "$linux/kelvane_tests" ] || { echo "no $linux/kelvane_tests: build Linux first"; exit 1; }
KELVANE_WINE=$wine KELVANE_WINE_PROGRAMS=$root/$out timeout 600 "$linux/kelvane_tests" \
  --gtest_filter="CliTest.*"
