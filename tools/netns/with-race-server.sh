#!/usr/bin/env bash
# Runs a command against the stand-in race server living in a network namespace
# of its own, then removes server and namespace again whatever happens.
#
#   with-race-server.sh SERVER_BINARY [SERVER_OPTIONS...] -- COMMAND [ARGS...]
#
# SERVER_BINARY may be a ":"-separated list of candidates; the first executable
# one is used (the Windows half names the native half's build folders).
#
# The server listens on 10.200.N.2 with a port of its choosing (HTTP and UDP on
# the same number) and with its control page on, so tests can script failures;
# its forged time sync answers come from 10.200.N.3.
# The command runs here, in this namespace, with
#   VOLANTIS_RACE_SERVER=10.200.N.2  VOLANTIS_RACE_PORT=<port>
#   VOLANTIS_RACE_RESULTS (its results file)  VOLANTIS_RACE_LOG (its request log)
# and can bind that same UDP port locally. Exits with the command's status, or 77
# (skipped) without root, iproute2 or the server binary.
set -uo pipefail

server="${1:-}"; shift || true
server_args=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do server_args+=("$1"); shift; done
[ "${1:-}" = "--" ] && shift
[ $# -gt 0 ] || { echo "usage: $0 SERVER [OPTIONS...] -- COMMAND [ARGS...]" >&2; exit 2; }

here="$(dirname "$(readlink -f "$0")")"
if [ "$(id -u)" -ne 0 ] || ! command -v ip >/dev/null; then
  echo "with-race-server: needs root and iproute2 for a network namespace; skipped" >&2
  exit 77
fi
candidates="$server"
server=""
IFS=':' read -r -a candidate_list <<<"$candidates"
for candidate in "${candidate_list[@]}"; do
  if [ -x "$candidate" ]; then server="$candidate"; break; fi
done
if [ -z "$server" ]; then
  echo "with-race-server: no race server binary among '$candidates' (build the native half first); skipped" >&2
  exit 77
fi

name="volantis-rs-$$"
work="$(mktemp -d)"
server_pid=""
cleanup() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$server_pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$server_pid" 2>/dev/null
  fi
  "$here/netns.sh" down "$name"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

n=""
for try in 0 1 2 3 4 5 6 7; do
  candidate=$(( ( $$ + try * 37 ) % 230 + 20 ))
  if "$here/netns.sh" up "$name" "$candidate" 2>"$work/netns.err"; then n="$candidate"; break; fi
done
if [ -z "$n" ]; then
  cat "$work/netns.err" >&2
  exit 1
fi

address="10.200.$n.2"
ip netns exec "$name" "$server" --bind "$address" --port 0 --control --forge-address "10.200.$n.3" --lifetime 900 \
  --results "$work/results.jsonl" --ready-file "$work/ready" "${server_args[@]}" \
  >"$work/server.out" 2>"$work/server.err" &
server_pid=$!
for _ in $(seq 100); do
  [ -s "$work/ready" ] && break
  kill -0 "$server_pid" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$work/ready" ]; then
  echo "with-race-server: the race server did not come up" >&2
  cat "$work/server.err" >&2
  exit 1
fi

export VOLANTIS_RACE_SERVER="$address"
export VOLANTIS_RACE_PORT="$(cat "$work/ready")"
export VOLANTIS_RACE_RESULTS="$work/results.jsonl"
export VOLANTIS_RACE_LOG="$work/server.err"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
"$@"
rc=$?
if [ "$rc" -ne 0 ] && [ -s "$work/server.err" ]; then
  echo "---- race server log (last 40 lines) ----" >&2
  tail -n 40 "$work/server.err" >&2
fi
exit "$rc"
