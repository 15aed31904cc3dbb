# Shared by the Wine tests that run the stand-in simulator against the stand-in
# race server: sourced after "root", "sim" and "work" are set and the script
# runs under tools/netns/with-race-server.sh (VOLANTIS_RACE_SERVER, _PORT, _LOG
# and _RESULTS set).

# The native half's builds, where the race server and the replay tool are looked for.
native_builds="native native-asan native-tsan native-bench"

# The course most races of these tests fly, and the race aircraft it is flown with.
sprint_server_options=(--aircraft 0 --course "$root/tests/wine/fixtures/two_gate_sprint.course")

# with_race_server [SERVER_OPTIONS...] -- COMMAND ARGS...: runs COMMAND under a
# stand-in race server in a namespace of its own (tools/netns/with-race-server.sh)
# in place of this shell.
with_race_server() {
  local servers="" b
  for b in $native_builds; do
    servers="$servers:$root/build/$b/tools/race-server/volantis-race-server"
  done
  exec "$root/tools/netns/with-race-server.sh" "${servers#:}" "$@"
}

# under_race_server SCRIPT ARGS...: runs SCRIPT again under a stand-in race
# server in a namespace of its own (the two-gate sprint as its course), unless
# it runs under one already.
under_race_server() {
  [ -n "${VOLANTIS_RACE_SERVER:-}" ] && return 0
  with_race_server "${sprint_server_options[@]}" -- "$@"
}

server_url="http://${VOLANTIS_RACE_SERVER:-}:${VOLANTIS_RACE_PORT:-}"

failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}
pass() { echo "PASS $*"; }
# expect_count WHAT FILE TEXT COUNT: TEXT appears on exactly COUNT lines of FILE.
expect_count() {
  local got
  got=$(grep -cF -- "$3" "$2")
  if [ "$got" -eq "$4" ]; then pass "$1"; else fail "$1: '$3' on $got lines, not $4"; fi
}

# control QUERY: the race server's control page.
control() {
  curl -sf --noproxy '*' "$server_url/control?$1" >/dev/null || fail "control page refused: $1"
}

# quiet_prefix DIR PLAYER PORT: a Wine prefix with the pilot's settings and every sound off.
quiet_prefix() {
  "$root/tools/wine/store-settings.sh" "$1" "$2" "$VOLANTIS_RACE_SERVER" "$3" \
    '"SoundValidate"=dword:00000000' '"SoundRaceResults"=dword:00000000' '"SoundCross"=dword:00000000' \
    '"SoundSkip"=dword:00000000' '"SoundEnd"=dword:00000000' >/dev/null || exit 1
}

# install_sim DIR: a simulator folder with the stand-in installation of the race aircraft.
install_sim() {
  mkdir -p "$1"
  cp -a "$sim/." "$1/"
  cp -a "$root/tests/fixtures/sim/Aircraft" "$1/"
}
