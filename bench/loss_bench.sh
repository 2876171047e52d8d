#!/usr/bin/env bash
# Kelvane against knxd behind a router that drops a share of the datagrams each way (nftables in the
# router's namespace), as root. Prints one markdown table: sends whose write reached the bus, out of
# RUNS (100), at 0%, 5% and 20% loss, with the sends that exited 0 although their write is not on the
# bus and those that did not end within 20 s; the median wall time of a send at 0%; kelvane-read's
# answered reads at 5% (another knxd client answers each); the share of telegrams that
# kelvane-monitor shows at 5% (written by another knxd client). The same write counts for a peer, the
# npm package knx (installed from the npm registry into a scratch folder), exit 0 there meaning that
# the package reported the write done. Targets: at 5% loss 97 sends of 100 on the bus, at 20% 80; no
# exit 0 without the write; a send about 5 ms at 0%; reads 97 of 100 and the monitor 90% at 5%.
# Each part starts a fresh knxd (KNXD_SLOTS tunnel slots, 4 unless set), so tunnels left open by one
# do not refuse the next. knxd's local clients (its bus listener, the writer) take addresses from the
# same pool, and a grant whose answer was lost stays open for two minutes: a client that waits a minute
# after a refusal, as the npm package does, fares far better with more slots (KNXD_SLOTS=16). A part
# stops after BUDGET seconds (240), and the table then tells the runs made. With BENCH_LOCK naming a
# file, each part holds that flock while it runs, not the whole bench. PARTS picks the parts to run
# (default "writes reads monitor"); the table then shows n/a for the others. MON_LOG names a file that
# keeps the monitor's output.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)  # the programs run from another folder
runs=${RUNS:-100}
telegrams=${TELEGRAMS:-200}
budget=${BUDGET:-240}
parts=" ${PARTS:-writes reads monitor} "
part() { [[ $parts == *" $1 "* ]]; }
. "$root/scripts/lab.sh"
netns_init

routed_gateway lb$$ 10.80.1 10.91 || exit 1
knxd=${NETNS_PIDS[-2]}
t=$NETNS_TMP
if [ -n "${BENCH_LOCK:-}" ]; then exec {lockfd}>"$BENCH_LOCK"; fi
lock() { [ -z "${BENCH_LOCK:-}" ] || flock "$lockfd"; }
unlock() { [ -z "${BENCH_LOCK:-}" ] || flock -u "$lockfd"; }
gone() { ! kill -0 "$1" 2>/dev/null; }
fresh_knxd() {
  kill "$knxd" && wait_until 5 gone "$knxd" && knxd_start "$gw" kvg0 >&2 && knxd=${NETNS_PIDS[-2]}
}

# The peer: connect, one write, disconnect; its own bound of 10 s, as a silent gateway is given up
# within 10 s by kelvane.
peer=""
if part writes && (cd "$t" && timeout 120 npm install --silent --no-audit --no-fund --prefix "$t/npm" knx@2 >&2); then
  peer=$(node -p "require('$t/npm/node_modules/knx/package.json').version")
  cat >"$t/peer.js" <<'JS'
const knx = require('knx');
const [gateway, ga, value] = process.argv.slice(2);
let failed = false;
setTimeout(() => process.exit(4), 10000);
const connection = knx.Connection({
  ipAddr: gateway, ipPort: 3671, forceTunneling: true, loglevel: 'error',
  handlers: {
    connected() {
      connection.write(ga, Number(value), 'DPT5.010');
      connection.Disconnect(() => process.exit(failed ? 3 : 0));
    },
  },
});
connection.on('tunnelreqfailed', () => { failed = true; });
JS
elif part writes; then
  echo "the npm package knx could not be installed: no peer figures" >&2
fi

# runs COMMAND...: the command RUNS times in the client's namespace (fewer when BUDGET runs out), {i}
# in it replaced by the run's number 1..RUNS, each bounded by 20 s; a line "STATUS WALL_MS" per run
# (124: did not end). The timing runs inside the namespace, so that only the program is timed.
runs() {
  (cd "$t/run" && ip netns exec "$cl" env NODE_PATH="$t/npm/node_modules" python3 - "$runs" "$budget" "$@" <<'PY'
import subprocess, sys, time
runs, budget, command = int(sys.argv[1]), float(sys.argv[2]), sys.argv[3:]
begin = time.perf_counter()
for i in range(1, runs + 1):
    start = time.perf_counter()
    if start - begin > budget:
        break
    try:
        status = subprocess.run([a.replace("{i}", str(i)) for a in command], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, timeout=20).returncode
    except subprocess.TimeoutExpired:
        status = 124
    print(status, f"{(time.perf_counter() - start) * 1000:.1f}", flush=True)
PY
  )
}

# writes NAME PERCENT MAIN COMMAND...: RUNS writes of value i to MAIN/1/i at that loss; sets
# "<bus> <exit 0 not on bus> <not ended> <runs made>" in the variable NAME, and NAME_ms to the median
# wall time.
writes() {
  local name=$1 percent=$2 main=$3 i status ms bus=0 untrue=0 hung=0
  lock
  fresh_knxd || exit 1
  [ "$percent" = 0 ] || router_loss "$percent"
  runs "${@:4}" >"$t/runs"
  router_clear
  sleep 0.5
  unlock
  i=0
  while read -r status ms; do
    i=$((i + 1))
    if grep -q "^Write from [0-9.]* to $main/1/$i: $(printf %02X "$i") *\$" "$BUS"; then
      bus=$((bus + 1))
    elif [ "$status" = 0 ]; then
      untrue=$((untrue + 1))
    fi
    [ "$status" = 124 ] && hung=$((hung + 1))
  done <"$t/runs"
  printf -v "$name" '%s %s %s %s' "$bus" "$untrue" "$hung" "$i"
  printf -v "${name}_ms" '%s' "$(cut -d' ' -f2 "$t/runs" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}')"
  echo "$name: $bus of $i on the bus, $untrue exit 0 not on the bus, $hung not ended" >&2
}

for p in 0 5 20; do
  part writes || break
  writes "k$p" "$p" 1 "$build/kelvane" send "1/1/{i}" EIS6 "{i}"
  [ -n "$peer" ] && writes "n$p" "$p" 2 node "$t/peer.js" "$gw_ip" "2/1/{i}" "{i}"
done

# Reads at 5%: each read's request awaited on the bus, then answered by another knxd client.
answered=0 reads=0
if part reads; then
  lock
  fresh_knxd || exit 1
  router_loss 5
  answered=0 reads=0 begin=$SECONDS
  for i in $(seq "$runs"); do
    [ $((SECONDS - begin)) -lt "$budget" ] || break
    reads=$i
    (cd "$t/run" && exec timeout 20 ip netns exec "$cl" "$build/kelvane-read" "3/1/$i" 5) >"$t/out" 2>/dev/null &
    reader=$!
    if wait_until 6 grep -q "^Read from [0-9.]* to 3/1/$i *\$" "$BUS"; then
      knxtool groupsresponse "local:$KNXD_SOCK" "3/1/$i" $((i % 64)) >/dev/null
    fi
    wait "$reader" && grep -q " 3/1/$i  (1) : $((i % 64))\$" "$t/out" && answered=$((answered + 1))
  done
  router_clear
  unlock
  echo "reads: $answered of $reads answered" >&2
fi

# The monitor at 5%: TELEGRAMS writes 100 ms apart, each to its own address.
shown=0
if part monitor; then
  lock
  fresh_knxd || exit 1
  (cd "$t/run" && exec ip netns exec "$cl" "$build/kelvane-monitor" $((telegrams / 10 + 120))) >"$t/mon" 2>&1 &
  monitor=$!
  NETNS_PIDS+=($monitor)
  wait_until 5 grep -q '^connection ok:$' "$t/mon" || { echo "the monitor did not connect" >&2; exit 1; }
  router_loss 5
  for i in $(seq "$telegrams"); do
    knxtool groupswrite "local:$KNXD_SOCK" "4/$((i / 256))/$((i % 256))" $((i % 2)) >/dev/null
    sleep 0.1
  done
  # knxd sends one telegram at a time and repeats a lost one after a second, so a backlog builds up under
  # loss: wait until the monitor has shown nothing new for 3 s (at most 60 s).
  for i in $(seq 60); do
    before=$(wc -l <"$t/mon"); sleep 3; [ "$(wc -l <"$t/mon")" = "$before" ] && break
  done
  router_clear
  kill "$monitor"
  unlock
  [ -z "${MON_LOG:-}" ] || cp "$t/mon" "$MON_LOG"
  shown=$(grep -oE '^recv GA: L_DATA\.ind  [0-9.]+  4/[0-9]+/[0-9]+ ' "$t/mon" | awk '{print $5}' | sort -u | wc -l)
  echo "monitor: $shown of $telegrams shown, $(grep -c "^connection lost" "$t/mon") tunnels lost" >&2
fi

# The table.
cell() { # cell WHAT NAME: WHAT 0 = on the bus, 1 = exit 0 not on the bus, 2 = not ended
  local v=(${!2:-}); [ ${#v[@]} = 4 ] || { echo "n/a"; return; }
  if [ "$1" = 0 ]; then echo "${v[0]} of ${v[3]}"; else echo "${v[$1]}"; fi
}
peer_name="npm package knx ${peer:-(not installed)}"
echo
echo "| knxd (${KNXD_SLOTS:-4} tunnel slots) behind a router losing datagrams each way | kelvane | $peer_name |"
echo "|---|---|---|"
for p in 0 5 20; do
  echo "| writes on the bus, $p% loss | $(cell 0 k$p) | $(cell 0 n$p) |"
done
for p in 0 5 20; do
  echo "| exit 0 without the write on the bus, $p% loss | $(cell 1 k$p) | $(cell 1 n$p) |"
done
for p in 0 5 20; do
  echo "| not ended within 20 s, $p% loss | $(cell 2 k$p) | $(cell 2 n$p) |"
done
echo "| median wall time of one write, 0% loss | ${k0_ms:-n/a} ms | ${n0_ms:-n/a} ms |"
echo "| reads answered, 5% loss | $(part reads && echo "$answered of $reads" || echo n/a) | |"
echo "| telegrams shown by the monitor, 5% loss | $(part monitor && echo "$((shown * 100 / telegrams))% ($shown of $telegrams)" || echo n/a) | |"
