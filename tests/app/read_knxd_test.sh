#!/usr/bin/env bash
# kelvane-read against knxd across a veth pair between two network
# namespaces, with a second knxd client answering the read: once the read
# shows on knxd's group listener, other telegrams come first (a write to
# another address, a write and a response to others), then the answer. The
# read prints the answer alone (1 bit, 1 byte, a 2-byte float), acknowledges
# every telegram and disconnects. Unanswered, it says so on stderr and exits 1.
set -u
build=$1
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../support/netns.sh"
netns_init

gateway_pair r$$ 10.251.1 || exit 1
sock=$KNXD_SOCK
sniffer_start "$gw" kvg0 || exit 1
netns_spawn "$gw" "$NETNS_TMP/bus.log" knxtool groupsocketlisten "local:$sock"
write_config "$NETNS_TMP/run" 10.251.1.2 10.251.1.1 2
fail=0

# read GA SECONDS: runs kelvane-read in the client namespace, in the background.
read_in_background() {
  (cd "$NETNS_TMP/run" && exec timeout 30 ip netns exec "$cl" "$build/kelvane-read" "$@") \
    >"$NETNS_TMP/out" 2>"$NETNS_TMP/err" &
  reader=$!
}

# check NAME RC OUT ERR: the last read's exit code and output.
check() {
  wait "$reader"; local rc=$?
  if [ "$rc" = "$2" ] && [ "$(cat "$NETNS_TMP/out")" = "$3" ] && [ "$(cat "$NETNS_TMP/err")" = "$4" ]; then
    echo "ok: $1"
  else
    echo "FAIL: $1: exit $rc (want $2)"; echo "--- out"; cat -A "$NETNS_TMP/out"; echo "--- err"
    cat -A "$NETNS_TMP/err"; fail=1
  fi
}

# answer GA KIND VALUE...: once a new read of GA shows on the bus, the other
# telegrams, then the answer: knxtool for a 6-bit value, else the data bytes.
reads_seen=0
answer() {
  local ga=$1 kind=$2; shift 2
  reads_seen=$((reads_seen + 1))
  wait_until 5 count_at_least "$reads_seen" "^Read from [0-9.]+ to " "$NETNS_TMP/bus.log" ||
    { echo "FAIL: no read of $ga on the bus"; cat "$NETNS_TMP/bus.log"; fail=1; return; }
  knxtool groupswrite "local:$sock" 1/2/9 1 >/dev/null
  knxtool groupwrite "local:$sock" "$ga" 55 >/dev/null
  knxtool groupsresponse "local:$sock" 1/2/8 1 >/dev/null
  if [ "$kind" = small ]; then knxtool groupsresponse "local:$sock" "$ga" "$@" >/dev/null
  else python3 "$here/../support/knxd_group_response.py" "$sock" "$ga" "$@"; fi
}

src='0\.0\.[0-9]+'
for c in "1/2/3 small 1|(1) : 1" "1/2/4 bytes c8|(2) : 00 c8" "1/2/5 bytes 0c 33|(3) : 21.5"; do
  set -- ${c%%|*}
  read_in_background "$1" 10
  answer "$@"
  wait "$reader"; rc=$?
  out=$(cat "$NETNS_TMP/out")
  if [ $rc = 0 ] && [[ "$out" =~ ^recv\ GA:\ L_DATA\.ind\ \ $src\ \ $1\ \ \(.*$ ]] && [ "${out##*  }" = "${c#*|}" ] &&
     [ ! -s "$NETNS_TMP/err" ]; then echo "ok: answer from $1 shown alone: $out"; else
    echo "FAIL: read of $1: exit $rc"; cat -A "$NETNS_TMP/out" "$NETNS_TMP/err"; fail=1; fi
done

# Three reads, each with its confirmation and four telegrams from knxd: every
# one acknowledged, none sent again, and each tunnel closed.
requests=$(grep -c '^10.251.1.1 0420$' "$NETNS_TMP/wire.log")
acks=$(grep -c '^10.251.1.2 0421$' "$NETNS_TMP/wire.log")
disconnects=$(grep -c '^10.251.1.2 0209$' "$NETNS_TMP/wire.log")
if [ "$requests" = 15 ] && [ "$acks" = 15 ] && [ "$disconnects" = 3 ]; then
  echo "ok: 15 telegrams acknowledged, 3 disconnects"; else
  echo "FAIL: $requests requests from knxd, $acks acknowledgements, $disconnects disconnects"
  cat "$NETNS_TMP/wire.log"; fail=1; fi

read_in_background 1/2/7 1
check "no answer" 1 "" "no answer from 1/2/7 within 1 s"
if [ "$(grep -c '^10.251.1.2 0209$' "$NETNS_TMP/wire.log")" = 4 ]; then echo "ok: disconnected without an answer"
else echo "FAIL: no disconnect after the unanswered read"; cat "$NETNS_TMP/wire.log"; fail=1; fi

read_in_background 1/2/300
check "wrong group address" 2 "" "Error: Invalid group address '1/2/300'"

exit $fail
