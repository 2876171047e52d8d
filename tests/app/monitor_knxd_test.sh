#!/usr/bin/env bash
# kelvane-monitor against knxd across a veth pair between two network
# namespaces: telegrams that other knxd clients write appear as "recv GA:"
# lines, each is acknowledged (so knxd repeats nothing), a heartbeat goes out
# after 10 s. Then knxd is killed and started again: the new knxd does not
# know the monitor's channel and says so to the next heartbeat, the monitor
# says the connection is lost, connects again and shows every later write
# once. SIGINT ends the monitor with the disconnect report.
set -u
build=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../support/netns.sh"
netns_init

gateway_pair m$$ 10.254.1 || exit 1
sock=$KNXD_SOCK
sniffer_start "$gw" kvg0 || exit 1

write_config "$NETNS_TMP/run" 10.254.1.2 10.254.1.1 0
out="$NETNS_TMP/monitor.out"
(cd "$NETNS_TMP/run" && exec ip netns exec "$cl" "$build/kelvane-monitor" 120) >"$out" 2>&1 &
monitor=$!
NETNS_PIDS+=($monitor)

fail=0
wait_until 5 grep -q '^connection ok:$' "$out" || { echo "FAIL: no connect report"; cat -A "$out"; exit 1; }
echo "ok: connected"

knxtool groupswrite "local:$sock" 1/2/3 1 >/dev/null
knxtool groupwrite "local:$sock" 1/2/4 c8 >/dev/null
knxtool groupswrite "local:$sock" 1/2/3 0 >/dev/null
wait_until 5 count_at_least 3 '^recv GA: L_DATA.ind' "$out"
got=$(grep '^recv GA: L_DATA.ind' "$out" | sed 's/  [0-9.]*  / SRC /')
want='recv GA: L_DATA.ind SRC 1/2/3  (1) : 1
recv GA: L_DATA.ind SRC 1/2/4  (2) : 00 c8
recv GA: L_DATA.ind SRC 1/2/3  (1) : 0'
if [ "$got" = "$want" ]; then echo "ok: three telegrams reported once each"; else
  echo "FAIL: telegrams"; echo "--- want"; echo "$want"; echo "--- got"; cat -A "$out"; fail=1; fi

# Every tunnelling request from knxd (three telegrams) is answered with an
# acknowledgement from the client, and knxd sent none of them twice.
requests=$(grep -c '^10.254.1.1 0420$' "$NETNS_TMP/wire.log")
acks=$(grep -c '^10.254.1.2 0421$' "$NETNS_TMP/wire.log")
if [ "$requests" = 3 ] && [ "$acks" = 3 ]; then echo "ok: each telegram acknowledged, none repeated"; else
  echo "FAIL: $requests tunnelling requests from knxd, $acks acknowledgements"; cat "$NETNS_TMP/wire.log"; fail=1; fi

if wait_until 13 grep -q '^10.254.1.2 0207$' "$NETNS_TMP/wire.log"; then echo "ok: heartbeat sent"; else
  echo "FAIL: no heartbeat within 13 s"; cat "$NETNS_TMP/wire.log"; fail=1; fi

knxd_pid=${NETNS_PIDS[0]}
kill "$knxd_pid"
wait_until 5 eval '! kill -0 '"$knxd_pid"' 2>/dev/null' || { echo "FAIL: knxd did not end"; exit 1; }
rm -f "$KNXD_SOCK"
knxd_start "$gw" kvg0 || exit 1
sock=$KNXD_SOCK
if wait_until 25 grep -q '^reconnected: channel [0-9]*$' "$out"; then echo "ok: reconnected after knxd restarted"; else
  echo "FAIL: no reconnect within 25 s of the restart"; cat -A "$out"; exit 1; fi
if grep -q '^connection lost: the gateway answered the heartbeat with status 33; reconnecting in 1 s$' "$out"; then
  echo "ok: the loss was reported"; else echo "FAIL: no loss line"; cat -A "$out"; fail=1; fi

for i in $(seq 1 50); do knxtool groupswrite "local:$sock" 1/2/3 $((i % 2)) >/dev/null; done
wait_until 10 test "$(grep -c '^recv GA: L_DATA.ind' "$out")" -ge 53
shown=$(($(grep -c '^recv GA: L_DATA.ind' "$out") - 3))
if [ "$shown" = 50 ]; then echo "ok: 50 of 50 writes after the restart shown once"; else
  echo "FAIL: $shown lines for 50 writes after the restart"; cat -A "$out"; fail=1; fi

kill -INT "$monitor"
for _ in $(seq 1 50); do kill -0 "$monitor" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$monitor" 2>/dev/null; then echo "FAIL: monitor still runs 5 s after SIGINT"; fail=1; else
  wait "$monitor"; rc=$?
  [ $rc = 0 ] && echo "ok: exit code 0" || { echo "FAIL: exit code $rc"; fail=1; }
fi
if tail -3 "$out" | head -1 | grep -q '^disconnected$'; then echo "ok: ends with the disconnect report"; else
  echo "FAIL: no disconnect report at the end"; cat -A "$out"; fail=1; fi

exit $fail
