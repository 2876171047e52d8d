#!/usr/bin/env bash
# Kelvane against knxd behind a router that drops datagrams. Four sends at once at 20% loss each way:
# none hangs, and every exit 0 is a write on the bus. The monitor's acknowledgements lost until knxd
# drops its tunnel without a word: it reconnects within seconds.
. "$(dirname "$0")/../support/netns.sh"
CLIENT_TIMEOUT=15  # a silent gateway is given up within 10 s
# knxd gives its local clients (the bus listener, knxtool) addresses from its tunnel pool, and keeps a
# grant whose answer the router dropped for two minutes: room for both.
KNXD_SLOTS=16
t=$NETNS_TMP
routed_gateway l$$ 10.78.1 10.89 || exit 1
dump=("$t/mon" "$BUS")
knxd=${NETNS_PIDS[-2]}
on_bus() { grep -q "^Write from [0-9.]* to $1 *\$" "$BUS"; }

router_loss 20
# Four at once, as on a shared gateway. Not ten: knxd drops a tunnel whose telegrams to the client are lost
# twice and grants the freed channel to the next client at once, so with many clients at this loss a
# repeated write now and then lands in another client's new tunnel, which takes the acknowledgement.
sends=() statuses=()
for i in $(seq 4); do
  client kelvane send "1/3/$i" EIS6 "$i" >/dev/null 2>&1 & sends+=($!)
done
NETNS_PIDS+=("${sends[@]}")
for pid in "${sends[@]}"; do wait "$pid"; statuses+=($?); done
router_clear
# Sends that broke their word; the bus listener logs a write a moment after knxd acknowledged it.
untrue=""
for i in $(seq 4); do  # exit 3, or exit 0 and the write on the bus
  s=${statuses[i - 1]}
  [ "$s" = 3 ] || { [ "$s" = 0 ] && wait_until 3 on_bus "1/3/$i: 0$i"; } || untrue+=" $i"
done
check "20% loss: each send ended, every exit 0 on the bus (exits: ${statuses[*]})" test -z "$untrue"

# A new knxd, every tunnel slot free whatever the sends left open, and kelvane-monitor for 30 s.
kill "$knxd" && wait_until 5 gone "$knxd" && knxd_start "$gw" kvg0 || exit 1
(cd "$t/run" && exec ip netns exec "$cl" "$build/kelvane-monitor" 30) >"$t/mon" 2>&1 &
NETNS_PIDS+=($!)
check "monitor connected" wait_until 5 grep -q '^connection ok:$' "$t/mon" || exit 1
# The monitor's acknowledgements dropped (the service type is the 16 bits at bit 80 of the UDP header).
router_rule ip saddr "$cl_ip" meta l4proto udp @th,80,16 0x0421
knxtool groupswrite "local:$KNXD_SOCK" 1/4/1 1 >/dev/null
sleep 2.5  # knxd repeats the telegram after 1 s, then drops the tunnel without a word
router_clear
check "silent drop: reconnected within 4 s" wait_until 4 grep -q '^reconnected: channel' "$t/mon"
knxtool groupswrite "local:$KNXD_SOCK" 1/4/2 1 >/dev/null
check "a telegram after the drop shown" wait_until 3 grep -q "^recv GA: L_DATA.ind  [0-9.]*  1/4/2 " "$t/mon"
exit $fail
