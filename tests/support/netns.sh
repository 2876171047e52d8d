# Shell helpers for tests that build their own small networks out of network
# namespaces and veth pairs. Source it; call netns_init first. Everything made
# here is recorded and removed by netns_cleanup, which runs on exit.

NETNS_LIST=()
NETNS_PIDS=()
NETNS_TMP=""

# Root is needed for namespaces. Without it: fail under CI, skip elsewhere.
netns_require_root() {
  if [ "$(id -u)" != 0 ] || ! ip netns list >/dev/null 2>&1; then
    if [ -n "${CI:-}" ]; then
      echo "FAIL: this test needs root to create network namespaces (ip netns)" >&2
      exit 1
    fi
    echo "SKIP: this test needs root to create network namespaces" >&2
    exit 77
  fi
}

netns_init() {
  netns_require_root
  NETNS_TMP=$(mktemp -d /tmp/kelvane-test.XXXXXX)
  trap netns_cleanup EXIT
  trap 'exit 1' INT TERM
}

netns_cleanup() {
  set +e  # a caller's errexit must not cut the cleanup short
  local pid ns i
  for pid in "${NETNS_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${NETNS_PIDS[@]}"; do
    for i in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
  done
  for ns in "${NETNS_LIST[@]}"; do ip netns del "$ns" 2>/dev/null; done
  [ -n "$NETNS_TMP" ] && rm -rf "$NETNS_TMP"
  return 0
}

# netns_add NAME: a namespace with its loopback up.
netns_add() {
  ip netns add "$1"
  NETNS_LIST+=("$1")
  ip -n "$1" link set lo up
}

# netns_link NS_A IF_A ADDR_A NS_B IF_B ADDR_B: a veth pair between two
# namespaces, addresses in CIDR form, both ends up. No multicast route, as
# on the hosts users have: the search must do without one.
netns_link() {
  ip link add "$2" netns "$1" type veth peer name "$5" netns "$4"
  ip -n "$1" addr add "$3" dev "$2"
  ip -n "$4" addr add "$6" dev "$5"
  ip -n "$1" link set "$2" up
  ip -n "$4" link set "$5" up
}

# netns_spawn NS LOGFILE COMMAND...: runs a command in the background inside a
# namespace; its pid is recorded for cleanup.
netns_spawn() {
  local ns=$1 log=$2; shift 2
  ip netns exec "$ns" "$@" >"$log" 2>&1 &
  NETNS_PIDS+=($!)
}

# wait_until SECONDS COMMAND...: polls every 0.1 s until the command succeeds.
wait_until() {
  local limit=$1 i; shift
  for i in $(seq 1 $((limit * 10))); do "$@" && return 0; sleep 0.1; done
  return 1
}

# count_at_least MIN PATTERN FILE: FILE has at least MIN lines matching the
# extended regular expression PATTERN. Counts anew at each call, so that
# wait_until can wait for it.
count_at_least() {
  [ "$(grep -cE -- "$2" "$3" 2>/dev/null)" -ge "$1" ]
}

# knxd_start NS IFACE: knxd as tunnelling and discovery server on IFACE inside
# NS (individual address 0.0.1, four tunnel slots from 0.0.2); sets KNXD_SOCK
# to its local socket once it is up.
knxd_start() {
  command -v knxd >/dev/null || { echo "FAIL: knxd is not installed (scripts/install-deps.sh installs it)"; return 1; }
  KNXD_SOCK="$NETNS_TMP/knxd-$1.sock"
  netns_spawn "$1" "$NETNS_TMP/knxd-$1.log" knxd -e 0.0.1 -E 0.0.2:4 -D -T -S -I "$2" -u "$KNXD_SOCK" -b dummy:
  wait_until 10 test -S "$KNXD_SOCK" || { echo "FAIL: knxd did not start"; cat "$NETNS_TMP/knxd-$1.log"; return 1; }
}

# sniffer_start NS IFACE: knx_sniffer.py on IFACE inside NS, writing to
# $NETNS_TMP/wire.log; returns once it listens.
sniffer_start() {
  netns_spawn "$1" "$NETNS_TMP/wire.log" python3 "$(dirname "${BASH_SOURCE[0]}")/knx_sniffer.py" "$2"
  wait_until 10 grep -q ready "$NETNS_TMP/wire.log" || { echo "FAIL: sniffer did not start"; return 1; }
}

# write_config FOLDER LOCAL GATEWAY LEVEL: a Kelvane.ini in FOLDER.
write_config() {
  mkdir -p "$1"
  printf '[CONFIG]\nMY-OWN-IP-ADDRESS=%s\nGATEWAY-IP-ADDRESS=%s\nDEBUG-LEVEL=%s\n' "$2" "$3" "$4" >"$1/Kelvane.ini"
}

# gateway_pair TAG SUBNET: namespaces $gw and $cl joined by a veth pair, the
# gateway at SUBNET.1 (interface kvg0) with knxd serving there, the client at
# SUBNET.2 (interface kvc0); each has its default route via the other (knxd
# needs a route for its multicast group). SUBNET is three octets, e.g. 10.252.1.
gateway_pair() {
  gw=kv-$1-gw
  cl=kv-$1-cl
  netns_add "$gw"
  netns_add "$cl"
  netns_link "$gw" kvg0 "$2.1/24" "$cl" kvc0 "$2.2/24"
  ip -n "$cl" route add default via "$2.1"
  ip -n "$gw" route add default via "$2.2"
  knxd_start "$gw" kvg0
}

# routed_gateway TAG: knxd behind a router, as in a building-automation
# subnet of its own. Client $cl 10.77.1.2/24 with its default route via the
# router $rt (10.77.1.1 and 10.88.0.254/16, forwarding); gateway $gw at
# 10.88.0.1/16 with its default route back via the router.
routed_gateway() {
  cl=kv-$1-cl
  rt=kv-$1-rt
  gw=kv-$1-gw
  netns_add "$cl"
  netns_add "$rt"
  netns_add "$gw"
  netns_link "$cl" kvc0 10.77.1.2/24 "$rt" kvr0 10.77.1.1/24
  netns_link "$rt" kvr1 10.88.0.254/16 "$gw" kvg0 10.88.0.1/16
  ip netns exec "$rt" sysctl -qw net.ipv4.ip_forward=1
  ip -n "$cl" route add default via 10.77.1.1
  ip -n "$gw" route add default via 10.88.0.254
  knxd_start "$gw" kvg0
}
