#!/usr/bin/env bash
# kelvane-monitor in a network namespace against knxd in another: writes of other knxd clients shown
# and acknowledged twice each, a heartbeat after 10 s. knxd restarted (and so not knowing the channel):
# the loss reported, a new connection, every later write shown once. SIGINT: the disconnect report.
set -u
build=$1
. "$(dirname "$0")/../support/netns.sh"
netns_init

gateway_pair m$$ 10.254.1 || exit 1
peer_start "$gw" wire.log sniff kvg0 || exit 1
out=$NETNS_TMP/out wire=$NETNS_TMP/wire.log
dump=("$out" "$wire")
# Bounded by its own 120 s, not by timeout, so that SIGINT reaches it.
(cd "$NETNS_TMP/run" && exec ip netns exec "$cl" "$build/kelvane-monitor" 120) >"$out" 2>&1 &
monitor=$!
NETNS_PIDS+=($monitor)
shown() { grep '^recv GA: L_DATA.ind' "$out" | sed 's/  [0-9.]*  / SRC /'; }
gone() { ! kill -0 "$1" 2>/dev/null; }

check "connected" wait_until 5 grep -q '^connection ok:$' "$out" || exit 1
knxtool groupswrite "local:$KNXD_SOCK" 1/2/3 1 >/dev/null
knxtool groupwrite "local:$KNXD_SOCK" 1/2/4 c8 >/dev/null
knxtool groupswrite "local:$KNXD_SOCK" 1/2/3 0 >/dev/null
wait_until 5 count_at_least 3 '^recv GA: L_DATA.ind' "$out"
check "three telegrams shown once each" test "$(shown)" = 'recv GA: L_DATA.ind SRC 1/2/3  (1) : 1
recv GA: L_DATA.ind SRC 1/2/4  (2) : 00 c8
recv GA: L_DATA.ind SRC 1/2/3  (1) : 0'
check "each acknowledged twice, none repeated" \
  test "$(grep -c '1\.1 0420$' "$wire") $(grep -c '1\.2 0421$' "$wire")" = "3 6"
check "heartbeat sent" wait_until 13 grep -q '^10.254.1.2 0207$' "$wire"

kill "${NETNS_PIDS[0]}" && wait_until 5 gone "${NETNS_PIDS[0]}"  # knxd, before a new one takes its port
knxd_start "$gw" kvg0 || exit 1
check "reconnected after the restart" wait_until 25 grep -q '^reconnected: channel [0-9]*$' "$out"
check "loss reported" grep -q '^connection lost: the gateway answered the heartbeat with status 33;' "$out"
for i in $(seq 50); do knxtool groupswrite "local:$KNXD_SOCK" 1/2/3 $((i % 2)) >/dev/null; done
wait_until 10 count_at_least 53 '^recv GA: L_DATA.ind' "$out"
check "50 writes after the restart shown once each" test "$(shown | wc -l)" = 53

kill -INT "$monitor"
check "ended within 5 s of SIGINT" wait_until 5 gone "$monitor" && check "exit code 0" wait "$monitor"
check "ends with the disconnect report" eval 'tail -3 "$out" | head -1 | grep -qx disconnected'
exit $fail
