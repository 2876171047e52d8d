#!/usr/bin/env bash
# Installs with apt-get what building, testing and the demo need and a fresh
# Debian machine lacks; does nothing when all is there.
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
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  # knxd's package tries to start its service; there is none to start here.
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
