#!/usr/bin/env bash
# Runs one Windows program under Wine, on its own virtual display, in a private
# Wine prefix, and passes its exit code on. ctest uses it as the emulator for
# every Windows test executable; the stand-in simulator's test scripts use it too.
#
#   run-wine.sh [options] [--] PROGRAM.exe [ARGS...]
#
# Options (each also settable through the environment variable in brackets):
#   --workdir DIR        run the program in DIR (a Linux path)        [VOLANTIS_WINE_WORKDIR]
#   --workdir-c REL      run it in C:\REL inside the job's prefix     [VOLANTIS_WINE_WORKDIR_C]
#   --copy SRC DEST      copy SRC (file or folder) to DEST; a relative DEST is taken
#                        inside the prefix's C: drive. Repeatable.    [VOLANTIS_WINE_COPY="SRC=DEST;..."]
#   --netns NAME         run wineserver and the program inside network namespace NAME
#                        (ip netns exec NAME ...)                    [VOLANTIS_WINE_NETNS]
#   --screenshot-dir DIR where the program's "SCREENSHOT name" lines put name.png
#                        (default: the working folder)              [VOLANTIS_WINE_SCREENSHOT_DIR]
#   --prefix DIR         use (and keep) this prefix instead of a throw-away copy;
#                        it is made from the template when missing   [VOLANTIS_WINE_PREFIX]
#   --timeout SECONDS    end the program after this long (exit 124)  [VOLANTIS_WINE_TIMEOUT]
#   --arch win32|win64   which Wine runs a program that is no file here (regedit,
#                        a C:\ path); a program file's own header decides
#                        otherwise, and a different --arch is refused  [VOLANTIS_WINE_ARCH]
#
# Queries (print, then exit):
#   --arch-of FILE       win32 or win64, from the file's PE header (exit 1: no PE file)
#   --probe-32           whether this machine executes 32-bit programs (exit 0 yes, 1 no)
#
# 32-bit programs run under 32-bit Wine (WINEARCH=win32), 64-bit ones under 64-bit
# Wine (WINEARCH=win64); each loader is called by its own path, never through the
# distribution's wrapper, whose choice depends on what is installed. Some machines
# do not execute 32-bit Linux programs at all: there a 32-bit program is refused
# with a message that says so.
#
# The screenshot hook: whenever the program prints a line "SCREENSHOT name", the
# whole virtual screen is saved as name.png and then the empty file
# name.shot-done appears in the working folder, so the program can wait for it.
#
# One booted template prefix for each architecture is kept under
# $VOLANTIS_WINE_CACHE (default /tmp/volantis-wine-<uid>) and copied for every
# job; a lock makes parallel jobs safe.
set -uo pipefail

self="$(readlink -f "$0")"

# ---------------------------------------------------------------- inner mode
# Runs on the virtual display: starts the program and watches its output.
if [ "${1:-}" = "__inner" ]; then
  shift
  shot_dir="$1"; shift
  shot_ack="$1"; shift
  started="$1"; shift
  # The display is up: whatever happens from here is the program's own doing.
  : >"$started"
  "$@" | while IFS= read -r line || [ -n "$line" ]; do
    printf '%s\n' "$line"
    line="${line%$'\r'}"
    case "$line" in
      "SCREENSHOT "*)
        name="${line#SCREENSHOT }"
        name="${name//[^A-Za-z0-9_.-]/_}"
        mkdir -p "$shot_dir"
        if xwd -root -silent | convert xwd:- "png:$shot_dir/.$name.png.tmp" 2>/dev/null; then
          mv -f "$shot_dir/.$name.png.tmp" "$shot_dir/$name.png"
        else
          echo "run-wine: screenshot $name failed" >&2
        fi
        : >"$shot_ack/$name.shot-done"
        ;;
    esac
  done
  rc="${PIPESTATUS[0]}"
  # Shut the prefix down while the display still exists, so Wine's desktop
  # process does not complain about a vanished X server, and wait until every
  # process of it is gone before xvfb-run cleans up after the display.
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  # The program's own exit code, for the outer run (see below).
  printf '%s\n' "$rc" >"$started"
  exit "$rc"
fi

# ---------------------------------------------------------------- options
workdir="${VOLANTIS_WINE_WORKDIR:-}"
workdir_c="${VOLANTIS_WINE_WORKDIR_C:-}"
netns="${VOLANTIS_WINE_NETNS:-}"
shot_dir="${VOLANTIS_WINE_SCREENSHOT_DIR:-}"
keep_prefix="${VOLANTIS_WINE_PREFIX:-}"
run_timeout="${VOLANTIS_WINE_TIMEOUT:-}"
wine_arch="${VOLANTIS_WINE_ARCH:-}"
copies=()
if [ -n "${VOLANTIS_WINE_COPY:-}" ]; then
  IFS=';' read -r -a pairs <<<"$VOLANTIS_WINE_COPY"
  for pair in "${pairs[@]}"; do
    [ -n "$pair" ] && copies+=("${pair%%=*}" "${pair#*=}")
  done
fi

usage() { sed -n '2,41p' "$self" | sed 's/^# \{0,1\}//' >&2; exit 2; }

# pe_arch FILE: win32 or win64 from the machine field of a PE file's header.
pe_arch() {
  local file="$1" magic offset machine
  [ -f "$file" ] || return 1
  magic="$(head -c 2 "$file" 2>/dev/null)"
  [ "$magic" = "MZ" ] || return 1
  offset="$(od -An -tu4 -j 60 -N 4 "$file" 2>/dev/null | tr -d ' ')"
  [ -n "$offset" ] || return 1
  [ "$(od -An -tx1 -j "$offset" -N 4 "$file" 2>/dev/null | tr -d ' \n')" = "50450000" ] || return 1
  machine="$(od -An -tx2 -j $((offset + 4)) -N 2 "$file" 2>/dev/null | tr -d ' ')"
  case "$machine" in
    014c) echo win32 ;;
    8664) echo win64 ;;
    *) return 1 ;;
  esac
}

# machine_runs_32: whether this machine executes 32-bit programs. Tried, not
# guessed from the processor or the kernel: some kernels refuse them outright.
machine_runs_32() {
  local probe
  for probe in /usr/lib/wine/wine /lib/ld-linux.so.2; do
    if [ -x "$probe" ]; then
      "$probe" --version >/dev/null 2>&1
      local rc=$?
      # 126: "Exec format error" (or not executable at all).
      [ "$rc" -ne 126 ] && [ "$rc" -ne 127 ] && return 0
      return 1
    fi
  done
  return 1
}

while [ $# -gt 0 ]; do
  case "$1" in
    --workdir) workdir="$2"; shift 2 ;;
    --workdir-c) workdir_c="$2"; shift 2 ;;
    --copy) copies+=("$2" "$3"); shift 3 ;;
    --netns) netns="$2"; shift 2 ;;
    --screenshot-dir) shot_dir="$2"; shift 2 ;;
    --prefix) keep_prefix="$2"; shift 2 ;;
    --timeout) run_timeout="$2"; shift 2 ;;
    --arch) wine_arch="$2"; shift 2 ;;
    --arch-of)
      pe_arch "$2" || { echo "run-wine: $2 is not a Windows program file" >&2; exit 1; }
      exit 0 ;;
    --probe-32)
      if machine_runs_32; then
        echo "run-wine: this machine executes 32-bit programs: 32-bit Wine can run here"
        exit 0
      fi
      echo "run-wine: this machine does not execute 32-bit programs: 32-bit Wine cannot run here, 64-bit Wine can"
      exit 1 ;;
    -h|--help) usage ;;
    --) shift; break ;;
    -*) echo "run-wine: unknown option $1" >&2; usage ;;
    *) break ;;
  esac
done
[ $# -ge 1 ] || usage

program="$1"; shift
# A Linux path to an existing file is made absolute, since the working folder changes.
if [ -e "$program" ]; then program="$(readlink -f "$program")"; fi

unset http_proxy https_proxy ftp_proxy all_proxy no_proxy HTTP_PROXY HTTPS_PROXY FTP_PROXY ALL_PROXY NO_PROXY

cache="${VOLANTIS_WINE_CACHE:-/tmp/volantis-wine-$(id -u)}"
mkdir -p "$cache"

# ---------------------------------------------------------------- architecture
case "$wine_arch" in
  ""|win32|win64) ;;
  *) echo "run-wine: --arch takes win32 or win64, not '$wine_arch'" >&2; exit 2 ;;
esac
if program_arch="$(pe_arch "$program")"; then
  if [ -n "$wine_arch" ] && [ "$wine_arch" != "$program_arch" ]; then
    echo "run-wine: $program is a $program_arch program; it cannot run under $wine_arch Wine" >&2
    exit 2
  fi
  wine_arch="$program_arch"
fi
if [ -z "$wine_arch" ] && [ -n "$keep_prefix" ] && [ -f "$keep_prefix/.volantis-arch" ]; then
  wine_arch="$(cat "$keep_prefix/.volantis-arch")"
fi
if [ -z "$wine_arch" ]; then
  if machine_runs_32; then wine_arch=win32; else wine_arch=win64; fi
fi
if [ "$wine_arch" = win32 ]; then
  loader=/usr/lib/wine/wine
  if ! machine_runs_32; then
    echo "run-wine: this machine does not execute 32-bit programs, so 32-bit Wine cannot run $program (use a win64 build there)" >&2
    exit 125
  fi
else
  loader=/usr/lib/wine/wine64
fi
if [ ! -x "$loader" ]; then
  echo "run-wine: no $loader: install Debian's $([ "$wine_arch" = win32 ] && echo wine32:i386 || echo wine64)" >&2
  exit 1
fi
if [ -n "$keep_prefix" ] && [ -f "$keep_prefix/.volantis-arch" ] && [ "$(cat "$keep_prefix/.volantis-arch")" != "$wine_arch" ]; then
  echo "run-wine: the prefix $keep_prefix is a $(cat "$keep_prefix/.volantis-arch") prefix; it cannot run a $wine_arch program" >&2
  exit 2
fi

# Small commands first on PATH, so that every wine, wineserver, wineboot and
# regedit below (and in the inner mode) is this architecture's, whatever the
# distribution's wrapper would prefer.
wine_bin="$cache/bin-$wine_arch"
if [ ! -x "$wine_bin/regedit" ] || ! grep -qF "$loader" "$wine_bin/wine" 2>/dev/null; then
  tmp_bin="$(mktemp -d "$cache/.bin-XXXXXX")"
  printf '#!/bin/sh\nexec %s "$@"\n' "$loader" >"$tmp_bin/wine"
  printf '#!/bin/sh\nexec /usr/lib/wine/wineserver "$@"\n' >"$tmp_bin/wineserver"
  for tool in wineboot regedit; do
    printf '#!/bin/sh\nexec %s %s "$@"\n' "$loader" "$tool" >"$tmp_bin/$tool"
  done
  chmod +x "$tmp_bin"/*
  rm -rf "$wine_bin"
  mv -T "$tmp_bin" "$wine_bin" 2>/dev/null || rm -rf "$tmp_bin"
fi
export PATH="$wine_bin:$PATH"
export WINELOADER="$loader"
export WINESERVER=/usr/lib/wine/wineserver
export WINEARCH="$wine_arch"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# ---------------------------------------------------------------- display
# Each job takes a display number that no other job holds (an flock on a file of
# ours) and that no X server is using.
pick_display() {
  local n=$(( 100 + (($$ + ${display_try:-0} * 37) % 800) )) tries=0
  while [ $tries -lt 1000 ]; do
    local lock="$cache/display-$n.lock"
    exec {display_fd}>"$lock"
    if flock -n "$display_fd"; then
      if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
        display_number=$n
        return 0
      fi
      flock -u "$display_fd"
    fi
    exec {display_fd}>&-
    n=$(( n + 1 )); [ $n -ge 1000 ] && n=100
    tries=$(( tries + 1 ))
  done
  echo "run-wine: no free display number" >&2
  exit 1
}

# ---------------------------------------------------------------- template prefix
write_settings() {
  cat >"$1" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Audio"=""
REG
}

ensure_template() {
  local template="$cache/template-$wine_arch"
  local stamp="$template/.volantis-ready"
  local version
  # A new Wine or a change of the settings below makes a new template.
  version="$(wine --version 2>/dev/null) $wine_arch settings-1"
  exec {template_fd}>"$cache/template-$wine_arch.lock"
  flock "$template_fd"
  if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$version" ]; then
    rm -rf "$template"
    mkdir -p "$template"
    local reg="$cache/settings.reg"
    write_settings "$reg"
    if ! WINEPREFIX="$template" xvfb-run -a -s "-screen 0 1024x768x24" \
        bash -c 'wineboot -i >/dev/null 2>&1; wine regedit "$1" >/dev/null 2>&1; wineserver -w' _ "$reg"; then
      echo "run-wine: booting the template prefix failed" >&2
      rm -rf "$template"
      exit 1
    fi
    if ! grep -q '"ShowCrashDialog"=dword:00000000' "$template/user.reg"; then
      echo "run-wine: the template prefix did not take the settings" >&2
      rm -rf "$template"
      exit 1
    fi
    printf '%s' "$wine_arch" >"$template/.volantis-arch"
    printf '%s' "$version" >"$stamp"
  fi
  # Keep a shared hold while the template is copied, so no other job rebuilds it
  # underneath the copy; release_template lets go.
  flock -s "$template_fd"
  template_dir="$template"
}
release_template() {
  flock -u "$template_fd"
  exec {template_fd}>&-
}

ensure_template

# Throw-away prefixes of runs that were killed outright (no trap ran) pile up;
# anything this old belongs to no running job.
find "$cache" -maxdepth 1 -name 'job-*' -type d -mmin +360 -exec rm -rf {} + 2>/dev/null

if [ -n "$keep_prefix" ]; then
  prefix="$(readlink -m "$keep_prefix")"
  if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$(dirname "$prefix")"
    cp -a "$template_dir" "$prefix"
  fi
  throwaway=""
else
  prefix="$(mktemp -d "$cache/job-XXXXXX")"
  rmdir "$prefix"
  cp -a "$template_dir" "$prefix"
  # cp -a keeps the template's age; the sweep below must see a fresh job.
  touch "$prefix"
  throwaway="$prefix"
fi
release_template
export WINEPREFIX="$prefix"

cleanup() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1
  WINEPREFIX="$prefix" wineserver -w >/dev/null 2>&1
  if [ -n "$throwaway" ]; then rm -rf "$throwaway"; fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# ---------------------------------------------------------------- files and folder
i=0
while [ $i -lt ${#copies[@]} ]; do
  src="${copies[$i]}"; dest="${copies[$((i + 1))]}"
  case "$dest" in
    /*) ;;
    *) dest="$prefix/drive_c/$dest" ;;
  esac
  if [ -d "$src" ]; then
    mkdir -p "$dest"
    cp -a "$src/." "$dest/"
  else
    mkdir -p "$(dirname "$dest")"
    cp -a "$src" "$dest"
  fi
  i=$((i + 2))
done

if [ -n "$workdir_c" ]; then
  workdir="$prefix/drive_c/$workdir_c"
  mkdir -p "$workdir"
fi
if [ -n "$workdir" ]; then
  cd "$workdir" || { echo "run-wine: no folder $workdir" >&2; exit 1; }
fi
ack_dir="$(pwd)"
[ -n "$shot_dir" ] || shot_dir="$ack_dir"

# ---------------------------------------------------------------- run
# xvfb-run ends with exit 1 and no word when its X server or xauth fails (the
# errors go to its error file). That is this machine's trouble, not the
# program's: the run is tried again on another display, and a last failure says
# what the display's error file holds.
display_errors="$(mktemp "$cache/.display-errors-XXXXXX")"
started="$(mktemp -u "$cache/.started-XXXXXX")"
cleanup_run() {
  rm -f "$display_errors" "$started"
  cleanup
}
trap cleanup_run EXIT
rc=1
for display_try in 1 2 3; do
  pick_display
  cmd=(xvfb-run -n "$display_number" -e "$display_errors" -s "-screen 0 1024x768x24 -nolisten tcp"
       "$self" __inner "$shot_dir" "$ack_dir" "$started")
  if [ -n "$run_timeout" ]; then
    cmd+=(timeout -k 5 "$run_timeout")
  fi
  cmd+=(wine "$program" "$@")
  if [ -n "$netns" ]; then
    cmd=(ip netns exec "$netns" "${cmd[@]}")
  fi
  "${cmd[@]}"
  rc=$?
  if [ -s "$started" ]; then
    # The program ran to its end: its exit code is the run's, even when
    # xvfb-run then fails to clean up after its display (its exit 5).
    program_rc="$(cat "$started")"
    if [ "$rc" != "$program_rc" ]; then
      echo "run-wine: xvfb-run ended with exit $rc after the program had ended with exit $program_rc; the program's code stands" >&2
      rc="$program_rc"
    fi
  fi
  [ -e "$started" ] && break
  flock -u "$display_fd"
  exec {display_fd}>&-
  if [ "$display_try" = 3 ]; then
    echo "run-wine: the virtual display :$display_number could not be started (exit $rc):" >&2
    tail -n 20 "$display_errors" >&2
  fi
done
exit $rc
