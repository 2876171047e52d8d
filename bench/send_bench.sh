#!/usr/bin/env bash
# One whole `kelvane send` against knxd in a network namespace, repeated, and
# `kelvane search` on the same one-interface host: prints the median wall
# time (and, for the send, CPU time) of the process. Targets: send at most
# 15 ms wall and under 10 ms CPU; search at most 150 ms wall. Needs root and
# knxd; exits 1 when a median misses its target.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
runs=${RUNS:-15}
. "$root/scripts/lab.sh"
netns_init

gateway_pair b$$ 10.249.1 || exit 1

cd "$NETNS_TMP/run"
# The measuring runs inside the client's namespace, so that only kelvane
# itself is timed, not the namespace switch.
ip netns exec "$cl" python3 - "$build/kelvane" "$runs" <<'PY'
import os, statistics, subprocess, sys, time
program, runs = sys.argv[1], int(sys.argv[2])

def measure(args):
    walls, cpus = [], []
    for i in range(runs):
        start = time.perf_counter()
        child = subprocess.Popen([program] + [a.replace("{i}", str(i % 2)) for a in args],
                                 stdout=subprocess.DEVNULL)
        _, status, usage = os.wait4(child.pid, 0)
        walls.append((time.perf_counter() - start) * 1000)
        cpus.append((usage.ru_utime + usage.ru_stime) * 1000)
    return walls, statistics.median(walls), statistics.median(cpus)

walls, wall, cpu = measure(["send", "1/2/3", "EIS1", "{i}"])
print(f"kelvane send, {runs} runs: median wall {wall:.1f} ms (target <= 15), "
      f"median CPU {cpu:.1f} ms (target < 10); wall min {min(walls):.1f}, max {max(walls):.1f} ms")
ok = wall <= 15 and cpu < 10
walls, wall, cpu = measure(["search"])
print(f"kelvane search, {runs} runs: median wall {wall:.0f} ms (target <= 150); "
      f"wall min {min(walls):.0f}, max {max(walls):.0f} ms")
sys.exit(0 if ok and wall <= 150 else 1)
PY
