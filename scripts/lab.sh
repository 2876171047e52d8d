# Small networks out of network namespaces and veth pairs, with knxd as the gateway: the demo, the
# benchmarks and the script tests build theirs with these. Source it, then call netns_init: all made here
# is removed by netns_cleanup on exit.
NETNS_LIST=() NETNS_PIDS=() NETNS_TMP=""

netns_init() {  # root is needed: without it, fail under CI and skip elsewhere
  if [ "$(id -u)" != 0 ] || ! ip netns list >/dev/null 2>&1; then
    [ -n "${CI:-}" ] && { echo "FAIL: this test needs root to create network namespaces" >&2; exit 1; }
    echo "SKIP: this test needs root to create network namespaces" >&2; exit 77
  fi
  NETNS_TMP=$(mktemp -d /tmp/kelvane-test.XXXXXX)
  trap netns_cleanup EXIT
  trap 'exit 1' INT TERM
}

netns_cleanup() {
  set +e  # a caller's errexit must not cut the cleanup short
  local pid ns
  for pid in "${NETNS_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${NETNS_PIDS[@]}"; do wait_until 5 eval "! kill -0 $pid 2>/dev/null"; kill -9 "$pid" 2>/dev/null; done
  for ns in "${NETNS_LIST[@]}"; do ip netns del "$ns" 2>/dev/null; done
  rm -rf "$NETNS_TMP"
}

netns_add() {  # NAME...: namespaces with their loopback up
  local ns
  for ns; do ip netns add "$ns"; NETNS_LIST+=("$ns"); ip -n "$ns" link set lo up; done
}

# netns_link NS_A IF_A ADDR_A NS_B IF_B ADDR_B: a veth pair, addresses in CIDR form, both ends up. No
# multicast route, as on the hosts users have: the search must do without one.
netns_link() {
  ip link add "$2" netns "$1" type veth peer name "$5" netns "$4"
  ip -n "$1" addr add "$3" dev "$2" && ip -n "$1" link set "$2" up
  ip -n "$4" addr add "$6" dev "$5" && ip -n "$4" link set "$5" up
}

netns_spawn() {  # NS LOGFILE COMMAND...: in the background inside NS, its pid kept for cleanup
  ip netns exec "$1" "${@:3}" >"$2" 2>&1 &
  NETNS_PIDS+=($!)
}

wait_until() {  # SECONDS COMMAND...: polls every 0.1 s until the command succeeds
  local i
  for i in $(seq $(($1 * 10))); do "${@:2}" && return 0; sleep 0.1; done
  return 1
}



# knxd_start NS IFACE: knxd as tunnelling and discovery server on IFACE (individual address 0.0.1,
# KNXD_SLOTS tunnel slots from 0.0.2, four unless set), its local socket in KNXD_SOCK, and a group
# listener on it writing to the file named in BUS.
knxd_start() {
  command -v knxd >/dev/null || { echo "FAIL: knxd is not installed (scripts/install-deps.sh installs it)"; return 1; }
  KNXD_SOCK="$NETNS_TMP/knxd-$1.sock" BUS="$NETNS_TMP/bus-$1.log"
  rm -f "$KNXD_SOCK"  # left by a knxd stopped before
  netns_spawn "$1" "$NETNS_TMP/knxd-$1.log" knxd -e 0.0.1 -E "0.0.2:${KNXD_SLOTS:-4}" -D -T -S -I "$2" -u "$KNXD_SOCK" -b dummy:
  wait_until 10 test -S "$KNXD_SOCK" || { echo "FAIL: knxd did not start"; cat "$NETNS_TMP/knxd-$1.log"; return 1; }
  netns_spawn "$1" "$BUS" knxtool groupsocketlisten "local:$KNXD_SOCK"
  sleep 0.3
}


write_config() {  # LOCAL GATEWAY LEVEL: the client's Kelvane.ini
  mkdir -p "$NETNS_TMP/run"
  printf '[CONFIG]\nMY-OWN-IP-ADDRESS=%s\nGATEWAY-IP-ADDRESS=%s\nDEBUG-LEVEL=%s\n' "$@" >"$NETNS_TMP/run/Kelvane.ini"
}

# client PROGRAM ARGS...: $build/PROGRAM in namespace $cl with that Kelvane.ini, bounded by CLIENT_TIMEOUT
# seconds (30 unless set; status 124 when it runs out).
client() {
  (cd "$NETNS_TMP/run" && exec timeout "${CLIENT_TIMEOUT:-30}" ip netns exec "$cl" "$build/$@")
}

# gateway_pair TAG SUBNET [LEVEL]: knxd in namespace $gw at SUBNET.1 (kvg0), the client in $cl at SUBNET.2
# (kvc0) with its Kelvane.ini (DEBUG-LEVEL LEVEL, 0 unless given); each routes via the other (knxd needs a
# route for its multicast group). SUBNET is three octets, e.g. 10.252.1.
gateway_pair() {
  gw=kv-$1-gw cl=kv-$1-cl
  netns_add "$gw" "$cl"
  netns_link "$gw" kvg0 "$2.1/24" "$cl" kvc0 "$2.2/24"
  ip -n "$cl" route add default via "$2.1"
  ip -n "$gw" route add default via "$2.2"
  write_config "$2.2" "$2.1" "${3:-0}"
  knxd_start "$gw" kvg0
}

# routed_gateway TAG CLIENT_SUBNET GATEWAY_NET [LEVEL]: knxd behind a router $rt, in a subnet of its own.
# The client in $cl at $cl_ip=CLIENT_SUBNET.2/24 (kvc0), knxd in $gw at $gw_ip=GATEWAY_NET.0.1/16 (kvg0);
# Kelvane.ini as in gateway_pair. CLIENT_SUBNET is three octets (10.77.1), GATEWAY_NET two (10.88).
routed_gateway() {
  cl=kv-$1-cl rt=kv-$1-rt gw=kv-$1-gw cl_ip=$2.2 gw_ip=$3.0.1
  netns_add "$cl" "$rt" "$gw"
  netns_link "$cl" kvc0 "$cl_ip/24" "$rt" kvr0 "$2.1/24"
  netns_link "$rt" kvr1 "$3.0.254/16" "$gw" kvg0 "$gw_ip/16"
  ip netns exec "$rt" sysctl -qw net.ipv4.ip_forward=1
  ip -n "$cl" route add default via "$2.1"
  ip -n "$gw" route add default via "$3.0.254"
  write_config "$cl_ip" "$gw_ip" "${4:-0}"
  knxd_start "$gw" kvg0
}

# The router drops, until router_clear, that PERCENT of the UDP datagrams it forwards each way at random
# (this kernel has no netem).
router_loss() { router_rule meta l4proto udp numgen random mod 100 "< $1"; }  # PERCENT
router_clear() { ip netns exec "$rt" nft flush chain ip kvloss forward 2>/dev/null; return 0; }
router_rule() {  # MATCH...: one more drop rule in the router's forward chain (made at first use)
  command -v nft >/dev/null || { echo "FAIL: nft is not installed (scripts/install-deps.sh installs it)"; return 1; }
  ip netns exec "$rt" nft add table ip kvloss &&
    ip netns exec "$rt" nft add chain ip kvloss forward '{ type filter hook forward priority 0; }' &&
    ip netns exec "$rt" nft add rule ip kvloss forward "$@" drop
}
