#!/usr/bin/env bash
# One whole `kelvane send` against knxd in a network namespace, repeated:
# prints the median wall time and CPU time of the process. Targets: at most
# 230 ms wall, under 20 ms CPU. Needs root and knxd; exits 1 when a median
# misses its target.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
runs=${RUNS:-15}
. "$root/tests/support/netns.sh"
netns_init

gateway_pair b$$ 10.249.1 || exit 1
write_config "$NETNS_TMP/run" 10.249.1.2 10.249.1.1 0

cd "$NETNS_TMP/run"
# The measuring runs inside the client's namespace, so that only kelvane
# itself is timed, not the namespace switch.
ip netns exec "$cl" python3 - "$build/kelvane" "$runs" <<'PY'
import os, statistics, subprocess, sys, time
program, runs = sys.argv[1], int(sys.argv[2])
walls, cpus = [], []
for i in range(runs):
    start = time.perf_counter()
    child = subprocess.Popen([program, "send", "1/2/3", "EIS1", str(i % 2)], stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    walls.append((time.perf_counter() - start) * 1000)
    cpus.append((usage.ru_utime + usage.ru_stime) * 1000)
wall, cpu = statistics.median(walls), statistics.median(cpus)
print(f"kelvane send, {runs} runs: median wall {wall:.0f} ms (target <= 230), "
      f"median CPU {cpu:.1f} ms (target < 20); wall min {min(walls):.0f}, max {max(walls):.0f} ms")
sys.exit(0 if wall <= 230 and cpu < 20 else 1)
PY
