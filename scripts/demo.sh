#!/usr/bin/env bash
# Runs Kelvane's main job against a real KNXnet/IP gateway: knxd in a network
# namespace of its own, joined by a veth pair to a second namespace for the
# client. Searches, writes three group values (a temperature among them),
# shows what reached the bus, and removes everything it started. Needs root
# (network namespaces).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

if [ "$(id -u)" != 0 ]; then echo "demo.sh needs root (it creates network namespaces)" >&2; exit 1; fi
bash scripts/install-deps.sh
if [ ! -x build/kelvane ]; then
  cmake -S . -B build >/dev/null && cmake --build build -j "$(nproc)" --target kelvane
fi

. scripts/lab.sh
netns_init
gateway_pair demo$$ 10.253.1 2
echo "== gateway: knxd at 10.253.1.1 (namespace $gw), client at 10.253.1.2 (namespace $cl)"
echo "== Kelvane.ini"; cat "$NETNS_TMP/run/Kelvane.ini"
build=$root/build
run() {
  echo; echo "== kelvane $*"
  client kelvane "$@"
}
run search
run send 1/2/3 EIS1 1
run send 1/2/3 EIS6 200
run send 1/2/5 EIS5 21.5
sleep 0.3
echo; echo "== what knxd's group listener saw on the bus"
cat "$BUS"
