#!/usr/bin/env bash
# Kelvane against knxd, a real KNXnet/IP gateway, across a veth pair between two network namespaces:
# the search finds it, and a write of each EIS type reaches its bus with the value's bytes (more writes in
# a row than it has tunnel slots, so every connection is really closed again). Then knxd behind a router:
# a write reaches its bus all the same.
set -u
build=$1
. "$(dirname "$0")/../support/netns.sh"
netns_init
bus() { sed -n 's/^Write from [0-9.]* to \(.*[^ ]\) *$/\1/p' "$BUS"; }

gateway_pair k$$ 10.252.1 || exit 1
dump=("$NETNS_TMP/out" "$BUS")
client kelvane search >"$NETNS_TMP/out" 2>&1
check "search reports knxd" grep -qx 'IP address    10 252 1 1  ' "$NETNS_TMP/out"
# One write of each EIS type to 1/2/TYPE, more than knxd's four tunnel slots: each value's bytes.
want=()
while IFS='|' read -r type value bytes; do
  client kelvane send "1/2/$type" "EIS$type" "$value" </dev/null
  want+=("1/2/$type: $bytes")
done >"$NETNS_TMP/out" 2>&1 <<'ROWS'
1|1|01
2|9|09
3|21:05:09|15 05 09
4|2024-02-29|1D 02 18
5|21.5|0C 33
6|191|BF
7|1|01
8|3|03
9|-21.5|C1 AC 00 00
10|-2|FF FE
11|16909060|01 02 03 04
12|4294967295|FF FF FF FF
13|K|4B
14|-128|80
15|Hello, knxd!|48 65 6C 6C 6F 2C 20 6B 6E 78 64 21 00 00
ROWS
wait_until 10 count_at_least 15 '^Write from' "$BUS"
check "a write of each type in a row reached the bus" test "$(bus)" = "$(printf '%s\n' "${want[@]}")"

routed_gateway r$$ 10.77.1 10.88 || exit 1
dump=("$NETNS_TMP/out" "$BUS")
client kelvane send 1/2/7 EIS6 77 >"$NETNS_TMP/out" 2>&1
wait_until 5 count_at_least 1 '^Write from' "$BUS"
check "a gateway behind a router gets the write" test "$(bus)" = "1/2/7: 4D"
exit $fail
