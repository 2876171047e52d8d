#!/usr/bin/env bash
# Kelvane against knxd, a real KNXnet/IP gateway, across a veth pair between two network namespaces:
# the search finds it, and more writes in a row than it has tunnel slots all reach its bus, so every
# connection is really closed again. Then knxd behind a router: a write reaches its bus all the same.
set -u
build=$1
. "$(dirname "$0")/../support/netns.sh"
netns_init
bus() { sed -n 's/^Write from [0-9.]* to \(.*[^ ]\) *$/\1/p' "$BUS"; }

gateway_pair k$$ 10.252.1 || exit 1
dump=("$NETNS_TMP/out" "$BUS")
client kelvane search >"$NETNS_TMP/out" 2>&1
check "search reports knxd" grep -qx 'IP address    10 252 1 1  ' "$NETNS_TMP/out"
# Six writes against four tunnel slots.
want=()
for w in "3 EIS1 1 01" "4 EIS1 0 00" "5 EIS6 191 BF" "3 EIS1 0 00" "4 EIS1 1 01" "5 EIS6 194 C2"; do
  set -- $w
  client kelvane send "1/2/$1" "$2" "$3"
  want+=("1/2/$1: $4")
done >"$NETNS_TMP/out" 2>&1
wait_until 5 count_at_least 6 '^Write from' "$BUS"
check "six writes in a row reached the bus" test "$(bus)" = "$(printf '%s\n' "${want[@]}")"

routed_gateway r$$ 10.77.1 10.88 || exit 1
dump=("$NETNS_TMP/out" "$BUS")
client kelvane send 1/2/7 EIS6 77 >"$NETNS_TMP/out" 2>&1
wait_until 5 count_at_least 1 '^Write from' "$BUS"
check "a gateway behind a router gets the write" test "$(bus)" = "1/2/7: 4D"
exit $fail
