#!/usr/bin/env bash
# Runs Kelvane's main job against a real KNXnet/IP gateway: knxd in a network
# namespace of its own, joined by a veth pair to a second namespace for the
# client. Searches, writes two group values, shows what reached the bus, and
# removes everything it started. Needs root (network namespaces).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

if [ "$(id -u)" != 0 ]; then echo "demo.sh needs root (it creates network namespaces)" >&2; exit 1; fi

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
command -v make >/dev/null || missing+=(make)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
command -v ip >/dev/null || missing+=(iproute2)
command -v knxd >/dev/null || missing+=(knxd)
command -v knxtool >/dev/null || missing+=(knxd-tools)
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q && apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
if [ ! -x build/kelvane ]; then
  cmake -S . -B build >/dev/null && cmake --build build -j "$(nproc)" --target kelvane
fi

gw=kvdemo-gw-$$
cl=kvdemo-cl-$$
work=$(mktemp -d /tmp/kelvane-demo.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  ip netns del "$gw" 2>/dev/null || true
  ip netns del "$cl" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

ip netns add "$gw"; ip netns add "$cl"
ip link add kvdemo0 netns "$gw" type veth peer name kvdemo1 netns "$cl"
ip -n "$gw" addr add 10.253.1.1/24 dev kvdemo0
ip -n "$cl" addr add 10.253.1.2/24 dev kvdemo1
for ns in "$gw" "$cl"; do ip -n "$ns" link set lo up; done
ip -n "$gw" link set kvdemo0 up; ip -n "$cl" link set kvdemo1 up
ip -n "$gw" route add 224.0.0.0/4 dev kvdemo0
ip -n "$cl" route add 224.0.0.0/4 dev kvdemo1

echo "== gateway: knxd at 10.253.1.1 (namespace $gw), client at 10.253.1.2 (namespace $cl)"
ip netns exec "$gw" knxd -e 0.0.1 -E 0.0.2:4 -D -T -S -I kvdemo0 -u "$work/knxd.sock" -b dummy: \
  >"$work/knxd.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do [ -S "$work/knxd.sock" ] && break; sleep 0.1; done
[ -S "$work/knxd.sock" ] || { echo "knxd did not start:"; cat "$work/knxd.log"; exit 1; }
knxtool groupsocketlisten "local:$work/knxd.sock" >"$work/bus.log" 2>&1 &
pids+=($!)
sleep 0.3

mkdir "$work/client"
cat >"$work/client/Kelvane.ini" <<'INI'
[CONFIG]
MY-OWN-IP-ADDRESS=10.253.1.2
GATEWAY-IP-ADDRESS=10.253.1.1
DEBUG-LEVEL=2
INI
echo "== Kelvane.ini"; cat "$work/client/Kelvane.ini"
run() {
  echo; echo "== kelvane $*"
  (cd "$work/client" && timeout 20 ip netns exec "$cl" "$root/build/kelvane" "$@")
}
run search
run send 1/2/3 EIS1 1
run send 1/2/3 EIS6 200
sleep 0.3
echo; echo "== what knxd's group listener saw on the bus"
cat "$work/bus.log"
