#!/usr/bin/env bash
# kelvane-read in a network namespace against knxd in another. Once the read shows on the bus, other
# telegrams come (writes to it and another address, a response to another), then the answer: printed
# alone, every telegram acknowledged once, the tunnel closed. Unanswered: a line on stderr, exit 1.
set -u
build=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../support/netns.sh"
netns_init

gateway_pair r$$ 10.251.1 || exit 1
t=$NETNS_TMP
sniffer_start "$gw" kvg0 || exit 1
netns_spawn "$gw" "$t/bus.log" knxtool groupsocketlisten "local:$KNXD_SOCK"
write_config "$t/run" 10.251.1.2 10.251.1.1 2
fail=0
wire() { grep -c "^10.251.1.$1 $2\$" "$t/wire.log"; }
check() {  # NAME COMMAND...: on failure shows the read's output and the wire log
  if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1"; cat -A "$t/out" "$t/err" "$t/wire.log"; fail=1; fi
}
# start_read GA SECONDS: kelvane-read in the client namespace, in the background.
start_read() {
  (cd "$t/run" && exec timeout 30 ip netns exec "$cl" "$build/kelvane-read" "$@") >"$t/out" 2>"$t/err" &
  reader=$!
}

# GA, answer (knxtool for a 6-bit value, else the data bytes) and the value shown.
reads=0
for c in "1/2/3 small 1|(1) : 1" "1/2/4 bytes c8|(2) : 00 c8" "1/2/5 bytes 0c 33|(3) : 21.5"; do
  set -- ${c%%|*}
  ga=$1
  start_read "$ga" 10
  check "read of $ga on the bus" \
    wait_until 5 count_at_least $((++reads)) "^Read from [0-9.]+ to " "$t/bus.log"
  knxtool groupswrite "local:$KNXD_SOCK" 1/2/9 1 >/dev/null
  knxtool groupwrite "local:$KNXD_SOCK" "$ga" 55 >/dev/null
  knxtool groupsresponse "local:$KNXD_SOCK" 1/2/8 1 >/dev/null
  if [ "$2" = small ]; then knxtool groupsresponse "local:$KNXD_SOCK" "$ga" "${@:3}" >/dev/null
  else python3 "$here/../support/knxd_group_response.py" "$KNXD_SOCK" "$ga" "${@:3}"; fi
  wait "$reader"; rc=$?
  check "answer from $ga shown alone" \
    test "$rc $(sed 's/  0\.0\.[0-9]*  / SRC /' "$t/out" "$t/err")" = "0 recv GA: L_DATA.ind SRC $ga  ${c#*|}"
done
# Each read's confirmation and four telegrams from knxd: all acknowledged, none sent again.
check "15 telegrams acknowledged, 3 disconnects" \
  test "$(wire 1 0420) $(wire 2 0421) $(wire 2 0209)" = "15 15 3"

start_read 1/2/7 1
wait "$reader"; rc=$?
check "no answer: exit 1, one line on stderr, disconnected" \
  test "$rc|$(cat "$t/out")|$(cat "$t/err")|$(wire 2 0209)" = "1||no answer from 1/2/7 within 1 s|4"
exit $fail
