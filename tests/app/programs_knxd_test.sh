#!/usr/bin/env bash
# The programs in a network namespace against knxd in another. kelvane-read: once the read shows on the
# bus, other telegrams come (writes to it and another address, a response to another), then the answer:
# printed alone, every telegram acknowledged twice, the tunnel closed; unanswered, a line on stderr and
# exit 1. kelvane-monitor: writes of other knxd clients shown and acknowledged twice each, a heartbeat after
# 10 s; knxd restarted (and so not knowing the channel): the loss reported, a new connection, every later
# write shown once; SIGINT: the disconnect report. The search lists a gateway that answers 300 ms late.
set -u
build=$1
. "$(dirname "$0")/../support/netns.sh"
netns_init

gateway_pair p$$ 10.251.1 2 || exit 1
t=$NETNS_TMP
peer_start "$gw" wire.log sniff kvg0 || exit 1
dump=("$t/out" "$t/err" "$t/wire.log")
wire() { tail -n "+${mark:-1}" "$t/wire.log" | grep -c "^10.251.1.$1 $2\$"; }  # since the mark

# GA, the answer's APDU after the TPCI byte, and the value shown.
reads=0
for c in "1/2/3 41|(1) : 1" "1/2/4 40 c8|(2) : 00 c8" "1/2/5 40 0c 33|(3) : 21.5"; do
  set -- ${c%%|*}
  client kelvane-read "$1" 10 >"$t/out" 2>"$t/err" &
  reader=$!
  check "read of $1 on the bus" wait_until 5 count_at_least $((++reads)) "^Read from [0-9.]+ to " "$BUS"
  knxtool groupswrite "local:$KNXD_SOCK" 1/2/9 1 >/dev/null
  knxtool groupwrite "local:$KNXD_SOCK" "$1" 55 >/dev/null
  knxtool groupsresponse "local:$KNXD_SOCK" 1/2/8 1 >/dev/null
  python3 "$PEER" respond "$KNXD_SOCK" "$@"
  wait "$reader"
  check "answer from $1 shown alone" \
    test "$? $(sed 's/  0\.0\.[0-9]*  / SRC /' "$t/out" "$t/err")" = "0 recv GA: L_DATA.ind SRC $1  ${c#*|}"
done
# Each read's confirmation and four telegrams from knxd: each acknowledged twice, none sent again.
check "15 telegrams acknowledged twice, 3 disconnects" test "$(wire 1 0420) $(wire 2 0421) $(wire 2 0209)" = "15 30 3"
client kelvane-read 1/2/7 1 >"$t/out" 2>"$t/err"
check "no answer: exit 1, one line on stderr, disconnected" \
  test "$?|$(cat "$t/out")|$(cat "$t/err")|$(wire 2 0209)" = "1||no answer from 1/2/7 within 1 s|4"

write_config 10.251.1.2 10.251.1.1 0
mark=$(($(wc -l <"$t/wire.log") + 1))
# Bounded by its own 120 s, not by timeout, so that SIGINT reaches it.
(cd "$t/run" && exec ip netns exec "$cl" "$build/kelvane-monitor" 120) >"$t/out" 2>&1 &
monitor=$!
NETNS_PIDS+=($monitor)
shown() { grep '^recv GA: L_DATA.ind' "$t/out" | sed 's/  [0-9.]*  / SRC /'; }
gone() { ! kill -0 "$1" 2>/dev/null; }
check "monitor connected" wait_until 5 grep -q '^connection ok:$' "$t/out" || exit 1
knxtool groupswrite "local:$KNXD_SOCK" 1/2/3 1 >/dev/null
knxtool groupwrite "local:$KNXD_SOCK" 1/2/4 c8 >/dev/null
knxtool groupswrite "local:$KNXD_SOCK" 1/2/3 0 >/dev/null
wait_until 5 count_at_least 3 '^recv GA: L_DATA.ind' "$t/out"
check "three telegrams shown once each" test "$(shown)" = 'recv GA: L_DATA.ind SRC 1/2/3  (1) : 1
recv GA: L_DATA.ind SRC 1/2/4  (2) : 00 c8
recv GA: L_DATA.ind SRC 1/2/3  (1) : 0'
check "each acknowledged twice, none repeated" test "$(wire 1 0420) $(wire 2 0421)" = "3 6"
check "heartbeat sent" wait_until 13 eval '[ "$(wire 2 0207)" -ge 1 ]'

kill "${NETNS_PIDS[0]}" && wait_until 5 gone "${NETNS_PIDS[0]}"  # knxd, before a new one takes its port
knxd_start "$gw" kvg0 || exit 1
check "reconnected after the restart" wait_until 25 grep -q '^reconnected: channel [0-9]*$' "$t/out"
check "loss reported" grep -q '^connection lost: the gateway answered the heartbeat with status 33;' "$t/out"
for i in $(seq 50); do knxtool groupswrite "local:$KNXD_SOCK" 1/2/3 $((i % 2)) >/dev/null; done
wait_until 10 count_at_least 53 '^recv GA: L_DATA.ind' "$t/out"
check "50 writes after the restart shown once each" test "$(shown | wc -l)" = 53
kill -INT "$monitor"
check "ended within 5 s of SIGINT" wait_until 5 gone "$monitor" && check "exit code 0" wait "$monitor"
check "ends with the disconnect report" eval 'tail -3 "$t/out" | head -1 | grep -qx disconnected'

sr=kv-p$$-sr
netns_add "$sr"
netns_link "$cl" kvc1 10.251.2.2/24 "$sr" kvs0 10.251.2.1/24
peer_start "$sr" search.log search 10.251.2.1 0x1105 1 0 0.3 || exit 1
client kelvane search >"$t/out" 2>&1
check "search: a gateway 300 ms late listed" grep -qx 'IP address    10 251 2 1  ' "$t/out"
exit $fail
