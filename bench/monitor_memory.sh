#!/usr/bin/env bash
# kelvane-monitor's resident memory over 100,000 telegrams from a scripted
# gateway on loopback (no root needed): prints the resident size after 10,000
# and after all telegrams. Target: it stays flat, growing by less than 512 KiB
# between the two (a few bytes kept per telegram would be several MiB).
# Exits 1 when it grows more, or when not every telegram was acknowledged.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
count=${TELEGRAMS:-100000}
gateway=127.0.0.83

run=$(mktemp -d /tmp/kelvane-bench.XXXXXX)
monitor=""
cleanup() {
  [ -n "$monitor" ] && kill "$monitor" 2>/dev/null && wait "$monitor" 2>/dev/null
  rm -rf "$run"
}
trap cleanup EXIT
printf '[CONFIG]\nMY-OWN-IP-ADDRESS=127.0.0.1\nGATEWAY-IP-ADDRESS=%s\nDEBUG-LEVEL=0\n' "$gateway" >"$run/Kelvane.ini"

python3 - "$build/kelvane-monitor" "$run" "$gateway" "$count" <<'PY'
import socket, struct, subprocess, sys, time
program, folder, gateway, count = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
sock.bind((gateway, 3671))
sock.settimeout(5)
child = subprocess.Popen([program, "600"], cwd=folder, stdout=subprocess.DEVNULL)

def rss_kib():
    with open(f"/proc/{child.pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])

request, control = sock.recvfrom(100)
data = (control[0], struct.unpack(">H", request[20:22])[0])
sock.sendto(bytes([6, 16, 2, 6, 0, 20, 1, 0, 8, 1, 127, 0, 0, 1, 14, 87, 4, 4, 17, 250]), control)

def telegram(n):  # L_Data.ind from 1.1.5 to 1/2/3, value n % 2, sequence n % 256
    return bytes([6, 16, 4, 32, 0, 21, 4, 1, n % 256, 0, 0x29, 0, 0xBC, 0xE0, 0x11, 5, 10, 3, 1, 0, 0x80 | n % 2])

sent = acked = 0
window = 16
samples = {}
start = time.perf_counter()
while acked < count:
    while sent < count and sent - acked < window:
        sock.sendto(telegram(sent), data)
        sent += 1
    frame, _ = sock.recvfrom(100)
    if frame[2:4] == b"\x02\x07":  # a connection check: the tunnel is there
        sock.sendto(bytes([6, 16, 2, 8, 0, 8, 1, 0]), control)
    if frame[2:4] == b"\x04\x21":
        acked += 1
        if acked in (count // 10, count):
            time.sleep(0.2)
            samples[acked] = rss_kib()
elapsed = time.perf_counter() - start
growth = samples[count] - samples[count // 10]
print(f"kelvane-monitor, {count} telegrams in {elapsed:.1f} s: resident {samples[count // 10]} KiB after "
      f"{count // 10}, {samples[count]} KiB after {count}: growth {growth} KiB (target < 512)")
child.terminate()
child.wait(5)
sys.exit(0 if growth < 512 else 1)
PY
