#!/usr/bin/env bash
# Installs with apt-get what building, testing, packaging and the demo need and
# a fresh Debian machine lacks; does nothing when all is there.
set -euo pipefail
missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
command -v make >/dev/null || missing+=(make)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
command -v ip >/dev/null || missing+=(iproute2)
command -v python3 >/dev/null || missing+=(python3)
command -v knxd >/dev/null || missing+=(knxd)
command -v knxtool >/dev/null || missing+=(knxd-tools)
# Datagram loss for the lossy-network tests: rules in a router namespace.
command -v nft >/dev/null || missing+=(nftables)
# The Debian package: CPack finds the binaries with file and their
# dependencies with dpkg-shlibdeps; its check renders the pages with man.
command -v file >/dev/null || missing+=(file)
command -v dpkg-shlibdeps >/dev/null || missing+=(dpkg-dev)
command -v man >/dev/null || missing+=(man-db)
command -v groff >/dev/null || missing+=(groff-base)
# The Windows build and its test run (scripts/windows.sh).
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64-posix)
[ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  # knxd's package tries to start its service; there is none to start here.
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
