#!/usr/bin/env bash
# One end-to-end phase of one build, as CTest runs it (tests/e2e/CMakeLists.txt):
#
#   tests/e2e/run-phase.sh PHASE BUILD_DIR      PHASE: main, nodrive, broken, fulldisk, hidpi, utf8
#
# Sets up what the phase expects, runs BUILD_DIR's tav_e2e.exe against the TAV.exe beside it, and
# puts the prefix back however the run ends:
#   main      D: mapped to a fresh, empty folder
#   nodrive   no D:
#   broken    D:\duzaz an entry that cannot be listed, and cmd.exe no program
#   fulldisk  D: a small tmpfs, which the driver fills up (mounting it needs root)
#   hidpi     the window checks on a screen at 144 DPI
#   utf8      no D:, and a Unix locale under which Wine's ANSI and OEM code pages are UTF-8
# Each phase also gets a fresh folder on C: and a private, empty Recycle Bin (Wine's is the XDG
# trash of the Unix user), which the driver finds through TAV_E2E_TRASH.
# The prefix is TAV_E2E_PREFIX (default build/wine-e2e), made once; without a display the phase
# starts its own. A phase that cannot run here prints "SKIP - <build> phase <phase>: <what failed>"
# and exits with 77. Its output holds one line "N passed, M failed", also when the driver never
# reached its own: a phase that gets no further for TAV_E2E_PHASE_TIMEOUT seconds (default 150) is ended, and
# before anything is killed, the step the driver last began and the stacks of every thread of
# TAV.exe and of the driver are printed. (The driver itself ends a phase within 10 s when TAV
# stops answering.) Ctrl-C and SIGTERM end the phase the same way, leaving nothing behind.
set -uo pipefail
source "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/../../scripts/lib/common.sh"
tav_default_sigint "$@"

PHASE=${1:-}
BUILD=$(cd "${2:-.}" && pwd)
case $PHASE in main | nodrive | broken | fulldisk | hidpi | utf8) ;; *)
  sed -n '4p' "${BASH_SOURCE[0]}" >&2
  exit 2
  ;;
esac
DRIVER=$BUILD/tav_e2e.exe EXE=$BUILD/TAV.exe
NAME="$(tav_pe_bits "$EXE")-bit"
PHASE_TIMEOUT=${TAV_E2E_PHASE_TIMEOUT:-150}
echo "# $NAME build: phase $PHASE"

skip() {
  tav_skip "$NAME phase $PHASE" "$1"
  exit 77
}
if [ "$NAME" = 32-bit ] && tav_skip_without_wine32 "$NAME phase $PHASE"; then
  exit 77
fi

# Everything the phase makes is named here, so that cleanup removes it however the phase ends.
DRIVE_D='' FULL_D='' LOG='' STALL='' STEPS='' TRASH_HOME='' C_DIR='' DRIVER_PID='' SHOWN_PID=''
dpi_changed=0 cmd_broken=0

# The prefix's cmd.exe for 64- and for 32-bit programs, set aside and put back.
CMD_COPIES=()
break_cmd() {
  local cmd
  cmd_broken=1
  for cmd in "${CMD_COPIES[@]}"; do
    [ ! -f "$cmd" ] || { mv "$cmd" "$cmd.tav-e2e" && printf 'MZ no program' >"$cmd"; }
  done
}
restore_cmd() {
  local cmd
  for cmd in "${CMD_COPIES[@]}"; do
    [ ! -f "$cmd.tav-e2e" ] || mv -f "$cmd.tav-e2e" "$cmd"
  done
}

cleanup() {
  trap '' INT TERM
  if [ -n "${WINEPREFIX:-}" ]; then
    [ "$cmd_broken" -eq 0 ] || restore_cmd
    [ "$dpi_changed" -eq 0 ] || tav_set_dpi 96
    tav_wine_stop
    rm -f "$WINEPREFIX/dosdevices/d:"
  fi
  # The driver, should it not have become a Wine process yet, and the display of its output.
  local pid
  for pid in $DRIVER_PID $SHOWN_PID; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  [ -z "$FULL_D" ] || ! mountpoint -q "$FULL_D" || umount "$FULL_D"
  local ours=() path
  for path in "$DRIVE_D" "$FULL_D" "$LOG" "$STALL" "$STEPS" "$TRASH_HOME" "$C_DIR"; do
    [ -z "$path" ] || ours+=("$path")
  done
  [ ${#ours[@]} -eq 0 ] || rm -rf "${ours[@]}"
  tav_stop_display
  tav_wine_teardown
}
trap cleanup EXIT
on_signal() {
  trap '' INT TERM
  echo "# $NAME phase $PHASE: interrupted" >&2
  exit 130
}
trap on_signal INT TERM
# Stopped together with ctest, the phase has lost its output: a write there must not end it before
# it has put the prefix back. (Caught, not ignored, so that the commands it runs keep the default.)
trap : PIPE

tav_setup_locale
tav_wine_session "${TAV_E2E_PREFIX:-$TAV_ROOT/build/wine-e2e}" || exit 1
CMD_COPIES=("$WINEPREFIX/drive_c/windows/system32/cmd.exe" "$WINEPREFIX/drive_c/windows/syswow64/cmd.exe")
# A phase ended by force may have left the prefix's cmd.exe broken.
restore_cmd

DRIVE_D=$(mktemp -d)
LOG=$(mktemp)
STALL=$(mktemp)
STEPS=$(mktemp)
TRASH_HOME=$(mktemp -d)
C_DIR=$(mktemp -d "$WINEPREFIX/drive_c/tav-e2e.XXXXXX")
export XDG_DATA_HOME=$TRASH_HOME

# The Windows path of a Linux file: Wine's drive Z: is the Linux root.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
export TAV_E2E_TRASH TAV_E2E_STEP_LOG
TAV_E2E_TRASH=$(windows_path "$TRASH_HOME/Trash")
# The driver writes each step it begins into this file, for the report of a phase that stalls.
TAV_E2E_STEP_LOG=$(windows_path "$STEPS")

rm -f "$WINEPREFIX/dosdevices/d:"
case $PHASE in
  main) tav_map_drive_d "$DRIVE_D" ;;
  broken)
    # D:\duzaz is a link that loops, so that listing it fails.
    ln -sfn duzaz "$DRIVE_D/duzaz"
    tav_map_drive_d "$DRIVE_D"
    break_cmd
    ;;
  fulldisk)
    # A drive of one megabyte.
    [ "$(id -u)" -eq 0 ] || skip "mounting a small tmpfs as D: needs root, and this run is user $(id -un)"
    FULL_D=$(mktemp -d)
    # Its first line; a second one only points to dmesg.
    error=$(mount -t tmpfs -o size=1m tav-full-d "$FULL_D" 2>&1) || skip "mount -t tmpfs failed: ${error%%$'\n'*}"
    tav_map_drive_d "$FULL_D"
    ;;
  hidpi)
    dpi_changed=1
    tav_set_dpi 144
    ;;
esac

# program_of PID: the Windows program a Unix process runs, the first .exe of its command line
# (which starts with the emulator where there is one).
program_of() {
  tr '\0' '\n' 2>/dev/null <"/proc/$1/cmdline" | grep -i -m 1 '\.exe$' | sed 's/.*[\\/]//'
}

# The Unix processes of this prefix that run the Windows program NAME.
prefix_pids() {
  local pid
  for pid in $(pgrep -f -- "$1"); do
    [ "$(program_of "$pid")" = "$1" ] &&
      tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done
}

# report_stall: what a phase that ran out of time was doing: the step the driver last began;
# for TAV.exe and the driver, the state and system call of each Unix thread and the threads'
# Unix stacks, which gdb reads without the process's help, so also from one that is wedged or
# stopped; then the stacks of every Windows program as Wine's debugger reads them, which only a
# process that still answers gives.
report_stall() {
  echo "# the step the driver last began: $(tail -n 1 "$STEPS" 2>/dev/null | tr -d '\r')"
  local pid task winedbg
  for pid in $(prefix_pids TAV.exe) $(prefix_pids tav_e2e.exe); do
    echo "# $(program_of "$pid") (pid $pid):"
    for task in /proc/"$pid"/task/*; do
      awk -v t="${task##*/}" -v call="$(cut -d ' ' -f 1-4 "$task/syscall" 2>/dev/null)" \
        '/^(State|SigPnd|ShdPnd|SigBlk):/ { s = s " " $1 $2 } END { print "#   thread " t ":" s " syscall:" call }' "$task/status" 2>/dev/null
    done
    unix_stacks "$pid"
  done
  # The 64-bit debugger reads 64-bit programs, the 32-bit one 32-bit programs.
  for winedbg in 'C:\windows\system32\winedbg.exe' 'C:\windows\syswow64\winedbg.exe'; do
    echo "# stacks ($winedbg bt all):"
    timeout -k 5 60 wine "$winedbg" --command "bt all" </dev/null 2>&1 | tr -d '\r' | sed 's/^/#   /'
  done
}

# unix_stacks PID: the stacks of a process's Unix threads. Under the emulator they would be the
# emulator's own; the system calls above stand for them there.
unix_stacks() {
  local exe stacks
  exe=$(readlink "/proc/$1/exe" 2>/dev/null)
  if [[ ${exe##*/} == qemu-* ]]; then
    echo "#   (runs under the emulator: no Unix stacks of its own)"
    return
  fi
  stacks=$(timeout --foreground -k 5 30 gdb -p "$1" -batch -nx -ex 'thread apply all bt 20' </dev/null 2>&1 |
    grep -E '^(Thread |#[0-9])')
  if [ -n "$stacks" ]; then
    sed 's/^/#   /' <<<"$stacks"
  else
    echo "#   (gdb read no Unix stacks: is it allowed to trace this process?)"
  fi
}

# The driver and the TAV.exe it starts take their code pages from the Unix locale.
locale=()
[ "$PHASE" != utf8 ] || locale=(LANG="$TAV_UTF8_LOCALE" LC_ALL="$TAV_UTF8_LOCALE")
start=$SECONDS
# Written to a file, not a pipe: a pipe stays open until Wine's background processes end.
env "${locale[@]}" wine "$DRIVER" "$PHASE" "C:\\${C_DIR##*/}" "$(windows_path "$EXE")" >"$LOG" 2>&1 </dev/null &
DRIVER_PID=$!
tail -n +1 -f --pid="$DRIVER_PID" "$LOG" | tr -d '\r' &
SHOWN_PID=$!
# The phase goes on as long as the driver gets on: a busy machine slows it down, but only a
# driver that neither checks anything nor begins a step is stuck.
progress=$SECONDS seen=''
while kill -0 "$DRIVER_PID" 2>/dev/null && [ $((SECONDS - progress)) -lt "$PHASE_TIMEOUT" ]; do
  sleep 0.2
  now="$(stat -c %s "$LOG" "$STEPS" 2>/dev/null)"
  [ "$now" = "$seen" ] || { seen=$now && progress=$SECONDS; }
done
stalled=0
if kill -0 "$DRIVER_PID" 2>/dev/null; then
  stalled=1
  # Apart from the driver's output, which may still go on.
  { echo "# $NAME phase $PHASE has got no further for $PHASE_TIMEOUT s"; report_stall; } >"$STALL"
fi
# Wine caches the drive mapping per server; a fresh server sees the next phase's drives.
tav_wine_stop
wait "$DRIVER_PID" 2>/dev/null
wait "$SHOWN_PID" 2>/dev/null
DRIVER_PID='' SHOWN_PID=''
cat "$STALL"

totals=$(tr -d '\r' <"$LOG" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -n 1)
if [ "$stalled" -eq 0 ] && [[ $totals =~ ^[0-9]+\ passed,\ ([0-9]+)\ failed$ ]]; then
  echo "# $NAME phase $PHASE: $totals ($((SECONDS - start)) s)"
  [ "${BASH_REMATCH[1]}" -eq 0 ]
  exit
fi
# The checks made until then, and one failure more.
passed=$(tr -d '\r' <"$LOG" | grep -c '^ok - ')
failed=$(tr -d '\r' <"$LOG" | grep -c '^FAIL - ')
echo "FAIL - $NAME: phase $PHASE finishes expected a totals line got none (crash or time-out)"
echo "$passed passed, $((failed + 1)) failed"
exit 1
