#!/usr/bin/env bash
# `kelvane search` on a host with three interfaces, each a veth into a network
# of its own, a default route via the first and no multicast route: a
# responder behind the first that floods the search port after its answer,
# none behind the second, one that answers twice at once behind the third;
# and on a host with only loopback.
set -u
build=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../support/netns.sh"
netns_init

tag=s$$
cl=kv-$tag-cl
netns_add "$cl"
netns_add kv-$tag-g1; netns_add kv-$tag-g2; netns_add kv-$tag-g3
netns_link "$cl" kvc1 10.251.1.2/24 kv-$tag-g1 kvg1 10.251.1.1/24
netns_link "$cl" kvc2 10.251.2.2/24 kv-$tag-g2 kvg2 10.251.2.1/24
netns_link "$cl" kvc3 10.251.3.2/24 kv-$tag-g3 kvg3 10.251.3.1/24
ip -n "$cl" route add default via 10.251.1.1

responder="$here/../support/search_responder.py"
netns_spawn kv-$tag-g1 "$NETNS_TMP/r1.log" python3 "$responder" 10.251.1.1 --individual 0x1105 --flood 80
netns_spawn kv-$tag-g3 "$NETNS_TMP/r3.log" python3 "$responder" 10.251.3.1 --individual 0x2201 --twice
wait_until 10 grep -q ready "$NETNS_TMP/r1.log" || { echo "responder 1 did not start"; cat "$NETNS_TMP/r1.log"; exit 1; }
wait_until 10 grep -q ready "$NETNS_TMP/r3.log" || { echo "responder 3 did not start"; cat "$NETNS_TMP/r3.log"; exit 1; }

mkdir "$NETNS_TMP/run"
printf '[CONFIG]\r\nMY-OWN-IP-ADDRESS=10.251.1.2\r\nGATEWAY-IP-ADDRESS=10.251.1.1\r\nDEBUG-LEVEL=0\r\n' >"$NETNS_TMP/run/Kelvane.ini"

fail=0
check() {  # name expected-file actual-file
  if cmp -s "$2" "$3"; then echo "ok: $1"; else
    echo "FAIL: $1"; echo "--- expected"; cat -A "$2"; echo "--- got"; cat -A "$3"; fail=1; fi
}

(cd "$NETNS_TMP/run" && timeout 20 ip netns exec "$cl" "$build/kelvane" search) >"$NETNS_TMP/three.out" 2>&1
rc=$?
[ $rc = 0 ] || { echo "FAIL: exit code $rc"; fail=1; }
report() {  # ip-as-dec individual-hex
  printf 'received Search response:\nIP address    %s  \nKNX Medium    2 \nEIB address   %s  \nr.serial      00 c5 de ad be ef  \nr.MAC         02 00 00 aa bb cc  \n\n' "$1" "$2"
}
{
  printf '\nstarting search...\n'
  printf '1. trying interface 10.251.1.2 ..\n\n'
  report "10 251 1 1" "11 05"
  printf '2. trying interface 10.251.2.2 ..\n\n'
  printf '3. trying interface 10.251.3.2 ..\n\n'
  report "10 251 3 1" "22 01"
} >"$NETNS_TMP/three.expected"
check "three interfaces, in order, first answer each" "$NETNS_TMP/three.expected" "$NETNS_TMP/three.out"

lo=kv-$tag-lo
netns_add "$lo"
(cd "$NETNS_TMP/run" && timeout 20 ip netns exec "$lo" "$build/kelvane" search) >"$NETNS_TMP/lo.out" 2>&1
printf '\nstarting search...\n' >"$NETNS_TMP/lo.expected"
check "only loopback: the first line alone" "$NETNS_TMP/lo.expected" "$NETNS_TMP/lo.out"

exit $fail
