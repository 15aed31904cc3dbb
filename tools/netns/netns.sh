#!/usr/bin/env bash
# A private network namespace joined to this one by a veth pair, so a program
# inside it can use the same port numbers as one outside (the time sync binds
# the server's UDP port on both ends). Needs root and iproute2.
#
#   netns.sh up NAME N     create namespace NAME: this side 10.200.N.1, inside 10.200.N.2 and
#                          10.200.N.3 (a second sender inside, for forged datagrams) (N 1-254)
#   netns.sh down NAME     remove it (the veth pair goes with it)
#
# Only the addresses 10.200.N.1 to 10.200.N.3 on the new pair are used; nothing
# is routed anywhere else.
set -euo pipefail

usage() { echo "usage: $0 up NAME N | down NAME" >&2; exit 2; }

cmd="${1:-}"; name="${2:-}"
[ -n "$cmd" ] && [ -n "$name" ] || usage
# Interface names are limited to 15 characters: the end of the name is kept, so
# namespaces whose names differ only there (a process id) get pairs of their own.
short="$(printf '%s' "$name" | tr -c 'A-Za-z0-9' '_')"
[ "${#short}" -le 11 ] || short="${short: -11}"
outer="vo-$short"
inner="vi-$short"

case "$cmd" in
  up)
    n="${3:-}"
    [[ "$n" =~ ^[0-9]+$ ]] && [ "$n" -ge 1 ] && [ "$n" -le 254 ] || usage
    # Linux lets a second interface take an address that another one has: two
    # namespaces on one subnet would then share a route, and one of them would
    # reach the other's programs. A subnet already in use is refused (the
    # caller tries another), checked and taken under one lock.
    exec 9>"${TMPDIR:-/tmp}/volantis-netns.lock"
    flock 9
    if ip -o -4 addr show | grep -q " 10\.200\.$n\.[0-9]*/"; then
      echo "$0: 10.200.$n.0/24 is in use already" >&2
      exit 1
    fi
    ip netns add "$name"
    if ! { ip link add "$outer" type veth peer name "$inner" &&
           ip link set "$inner" netns "$name" &&
           ip addr add "10.200.$n.1/24" dev "$outer" &&
           ip link set "$outer" up &&
           ip netns exec "$name" ip addr add "10.200.$n.2/24" dev "$inner" &&
           ip netns exec "$name" ip addr add "10.200.$n.3/24" dev "$inner" &&
           ip netns exec "$name" ip link set "$inner" up &&
           ip netns exec "$name" ip link set lo up; }; then
      ip link del "$outer" 2>/dev/null || true
      ip netns del "$name" 2>/dev/null || true
      echo "$0: could not set up namespace $name with 10.200.$n.0/24" >&2
      exit 1
    fi
    ;;
  down)
    ip link del "$outer" 2>/dev/null || true
    ip netns del "$name" 2>/dev/null || true
    ;;
  *) usage ;;
esac
