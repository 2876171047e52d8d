#!/usr/bin/env bash
# Kelvane against knxd, a real KNXnet/IP gateway, across a veth pair between two
# network namespaces: the search finds it, and more writes in a row than it has
# tunnel slots all reach its bus, so every connection is really closed again.
# Then knxd behind a router: a write reaches its bus all the same.
set -u
build=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../support/netns.sh"
netns_init

gateway_pair k$$ 10.252.1 || exit 1
sock=$KNXD_SOCK
knxtool groupsocketlisten "local:$sock" >"$NETNS_TMP/bus.log" 2>&1 &
NETNS_PIDS+=($!)
sleep 0.3

write_config "$NETNS_TMP/run" 10.252.1.2 10.252.1.1 0
run() { (cd "$NETNS_TMP/run" && timeout 20 ip netns exec "$cl" "$build/kelvane" "$@"); }

fail=0
run search >"$NETNS_TMP/search.out" 2>&1
if grep -q '^received Search response:$' "$NETNS_TMP/search.out" &&
   grep -q '^IP address    10 252 1 1  $' "$NETNS_TMP/search.out"; then
  echo "ok: search reports knxd"
else
  echo "FAIL: search"; cat -A "$NETNS_TMP/search.out"; fail=1
fi

# Six writes against four tunnel slots.
expected=()
for i in 1 2 3 4 5 6; do
  case $((i % 3)) in
    1) run send 1/2/3 EIS1 1; expected+=("1/2/3: 01") ;;
    2) run send 1/2/4 EIS1 0; expected+=("1/2/4: 00") ;;
    0) run send 1/2/5 EIS6 $((190 + i)); expected+=("1/2/5: $(printf %02X $((190 + i)))") ;;
  esac >>"$NETNS_TMP/send.out" 2>&1
done
wait_until 5 count_at_least 6 '^Write from' "$NETNS_TMP/bus.log"
got=$(grep '^Write from' "$NETNS_TMP/bus.log" | sed 's/^Write from [0-9.]* to //; s/ *$//')
want=$(printf '%s\n' "${expected[@]}")
if [ "$got" = "$want" ]; then
  echo "ok: six writes in a row reached the bus"
else
  echo "FAIL: writes on the bus"; echo "--- want"; echo "$want"; echo "--- got"; cat "$NETNS_TMP/bus.log"
  echo "--- kelvane"; cat "$NETNS_TMP/send.out"; fail=1
fi
[ -s "$NETNS_TMP/send.out" ] && { echo "FAIL: send printed at level 0:"; cat -A "$NETNS_TMP/send.out"; fail=1; }

routed_gateway r$$ || exit 1
knxtool groupsocketlisten "local:$KNXD_SOCK" >"$NETNS_TMP/routed.log" 2>&1 &
NETNS_PIDS+=($!)
sleep 0.3
write_config "$NETNS_TMP/routed" 10.77.1.2 10.88.0.1 0
(cd "$NETNS_TMP/routed" && timeout 20 ip netns exec "$cl" "$build/kelvane" send 1/2/7 EIS6 77) >"$NETNS_TMP/routed.out" 2>&1
wait_until 5 count_at_least 1 '^Write from' "$NETNS_TMP/routed.log"
if grep -q '^Write from [0-9.]* to 1/2/7: 4D *$' "$NETNS_TMP/routed.log" && [ ! -s "$NETNS_TMP/routed.out" ]; then
  echo "ok: a gateway behind a router gets the write"
else
  echo "FAIL: routed gateway"; echo "--- bus"; cat "$NETNS_TMP/routed.log"; echo "--- kelvane"; cat -A "$NETNS_TMP/routed.out"; fail=1
fi

exit $fail
