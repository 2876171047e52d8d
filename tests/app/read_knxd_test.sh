#!/usr/bin/env bash
# kelvane-read in a network namespace against knxd in another. Once the read shows on the bus, other
# telegrams come (writes to it and another address, a response to another), then the answer: printed
# alone, every telegram acknowledged twice, the tunnel closed. Unanswered: a line on stderr, exit 1.
set -u
build=$1
. "$(dirname "$0")/../support/netns.sh"
netns_init

gateway_pair r$$ 10.251.1 2 || exit 1
t=$NETNS_TMP
peer_start "$gw" wire.log sniff kvg0 || exit 1
dump=("$t/out" "$t/err" "$t/wire.log")
wire() { grep -c "^10.251.1.$1 $2\$" "$t/wire.log"; }

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
exit $fail
