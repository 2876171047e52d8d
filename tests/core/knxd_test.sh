#!/usr/bin/env bash
# Kelvane against knxd, a real KNXnet/IP gateway, across a veth pair between two network namespaces:
# the search finds it, and writes of each size of value reach its bus with the value's bytes (more writes
# in a row than it has tunnel slots, so every connection is really closed again).
set -u
build=$1
. "$(dirname "$0")/../support/netns.sh"
netns_init
bus() { sed -n 's/^Write from [0-9.]* to \(.*[^ ]\) *$/\1/p' "$BUS"; }

gateway_pair k$$ 10.252.1 || exit 1
dump=("$NETNS_TMP/out" "$BUS")
client kelvane search >"$NETNS_TMP/out" 2>&1
check "search reports knxd" grep -qx 'IP address    10 252 1 1  ' "$NETNS_TMP/out"
# A write to 1/2/TYPE of each length of value, in the APCI byte to 14 bytes; more than knxd's four slots.
want=()
while IFS='|' read -r type value bytes; do
  client kelvane send "1/2/$type" "EIS$type" "$value" </dev/null
  want+=("1/2/$type: $bytes")
done >"$NETNS_TMP/out" 2>&1 <<'ROWS'
1|1|01
6|191|BF
5|21.5|0C 33
3|21:05:09|15 05 09
9|-21.5|C1 AC 00 00
15|Hello, knxd!|48 65 6C 6C 6F 2C 20 6B 6E 78 64 21 00 00
ROWS
wait_until 10 count_at_least 6 '^Write from' "$BUS"
check "a write of each length in a row reached the bus" test "$(bus)" = "$(printf '%s\n' "${want[@]}")"
exit $fail
