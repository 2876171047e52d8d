#!/usr/bin/env bash
# `kelvane search` on a host with three interfaces, each a veth into a network of its own, a default
# route via the first and no multicast route: behind the first a responder that answers twice at once and
# then floods the search port, one that answers once 300 ms late behind the second, none behind the
# third. Each interface shows its own gateway's first answer, not what is left of the one before.
. "$(dirname "$0")/../support/netns.sh"

cl=kv-s$$-cl g=kv-s$$-g out=$NETNS_TMP/out
dump=("$out")
netns_add "$cl" "${g}1" "${g}2" "${g}3"
for i in 1 2 3; do netns_link "$cl" kvc$i 10.251.$i.2/24 "$g$i" kvg$i 10.251.$i.1/24; done
ip -n "$cl" route add default via 10.251.1.1
peer_start "${g}1" r1.log search 10.251.1.1 0x1105 2 80 || exit 1
peer_start "${g}2" r2.log search 10.251.2.1 0x2201 1 0 0.3 || exit 1
write_config 10.251.1.2 10.251.1.1 0

client kelvane search >"$out" 2>&1
check "exit code 0" test $? = 0
report() {  # last octet of the gateway's address, its individual address in hexadecimal
  printf 'received Search response:\nIP address    10 251 %s 1  \nKNX Medium    2 \nEIB address   %s  \n' "$@"
  printf 'r.serial      00 c5 de ad be ef  \nr.MAC         02 00 00 aa bb cc  \n\n'
}
check "three interfaces, in order, first answer each" cmp -s "$out" <(
  printf '\nstarting search...\n1. trying interface 10.251.1.2 ..\n\n'; report 1 "11 05"
  printf '2. trying interface 10.251.2.2 ..\n\n'; report 2 "22 01"
  printf '3. trying interface 10.251.3.2 ..\n\n')
exit $fail
