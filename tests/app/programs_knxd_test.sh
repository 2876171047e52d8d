#!/usr/bin/env bash
# The programs in a namespace against knxd, a real gateway, in another. send: a write reaches the bus with
# its value's bytes. read: the answer to the read it put on the bus. monitor: after knxd's restart (channel
# unknown to it) a new connection, other clients' writes shown once each; SIGINT: the disconnect report.
. "$(dirname "$0")/../support/netns.sh"

gateway_pair p$$ 10.251.1 2 || exit 1
t=$NETNS_TMP
dump=("$t/out" "$t/err" "$BUS")

# The longest value, whole.
client kelvane send 1/2/15 EIS15 "Hello, knxd!" >"$t/out" 2>&1 </dev/null
check "a write reached the bus" wait_until 10 \
  grep -q '^Write from [0-9.]* to 1/2/15: 48 65 6C 6C 6F 2C 20 6B 6E 78 64 21 00 00 *$' "$BUS"

# The read on the bus, then its answer from another knxd client.
client kelvane-read 1/2/3 10 >"$t/out" 2>"$t/err" &
reader=$!
check "the read on the bus" wait_until 5 grep -qE "^Read from [0-9.]+ to 1/2/3 *$" "$BUS"
knxtool groupsresponse "local:$KNXD_SOCK" 1/2/3 1 >/dev/null
wait "$reader"
check "the answer shown alone" \
  test "$? $(sed 's/  0\.0\.[0-9]*  / SRC /' "$t/out" "$t/err")" = "0 recv GA: L_DATA.ind SRC 1/2/3  (1) : 1"

write_config 10.251.1.2 10.251.1.1 0
# Bounded by its own 120 s, not by timeout, so that SIGINT reaches it.
(cd "$t/run" && exec ip netns exec "$cl" "$build/kelvane-monitor" 120) >"$t/out" 2>&1 &
monitor=$!
NETNS_PIDS+=($monitor)
check "monitor connected" wait_until 5 grep -q '^connection ok:$' "$t/out" || exit 1
kill "${NETNS_PIDS[0]}" && wait_until 5 gone "${NETNS_PIDS[0]}"  # knxd, before a new one takes its port
knxd_start "$gw" kvg0 || exit 1
check "reconnected after the restart" wait_until 25 grep -q '^reconnected: channel [0-9]*$' "$t/out"
for i in $(seq 50); do knxtool groupswrite "local:$KNXD_SOCK" 1/2/3 $((i % 2)) >/dev/null; done
wait_until 10 count_at_least 50 '^recv GA: L_DATA.ind' "$t/out"
check "50 writes after the restart shown once each" test "$(grep -c '^recv GA: L_DATA.ind  [0-9.]*  1/2/3  (1) : [01]$' "$t/out")" = 50
kill -INT "$monitor"
check "ended within 5 s of SIGINT" wait_until 5 gone "$monitor" && check "exit code 0" wait "$monitor"
check "ends with the disconnect report" eval 'tail -3 "$t/out" | head -1 | grep -qx disconnected'
exit $fail
