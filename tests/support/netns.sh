# The script tests' helpers, over the namespace lab of scripts/lab.sh. A script test, run as
# `SCRIPT BUILD_FOLDER`, sources this first: the lab is ready (or the test skipped) on return.
set -u
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lab.sh"
build=$1 dump=() fail=0
PEER="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/knx_peer.py"

gone() { ! kill -0 "$1" 2>/dev/null; }  # PID
count_at_least() { [ "$(grep -cE -- "$2" "$3" 2>/dev/null)" -ge "$1" ]; }  # MIN PATTERN FILE

# check NAME COMMAND...: "ok: NAME" if the command succeeds; else "FAIL: NAME", the files in $dump shown,
# fail set and status 1.
check() {
  if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1"; cat -A "${dump[@]}"; fail=1; return 1; fi
}

peer_start() {  # NS LOG ARGS...: knx_peer.py ARGS inside NS, output in $NETNS_TMP/LOG; returns once ready
  netns_spawn "$1" "$NETNS_TMP/$2" python3 "$PEER" "${@:3}"
  wait_until 10 grep -q ready "$NETNS_TMP/$2" || { echo "FAIL: $3 did not start"; cat "$NETNS_TMP/$2"; return 1; }
}

netns_init
