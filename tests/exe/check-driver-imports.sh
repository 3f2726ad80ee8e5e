#!/usr/bin/env bash
# The driver reaches inside TAV only through its probe, which TAV loads through a message hook.
# Wine carries out the calls below on another process in a signal handler there, in whatever code
# that process is running: one that catches TAV inside malloc hangs TAV and the driver with it.
#
#   tests/exe/check-driver-imports.sh tav_e2e.exe      (CTest runs it for each Windows build)
set -euo pipefail
remote_calls='^(CreateRemoteThread|CreateRemoteThreadEx|VirtualAllocEx|VirtualFreeEx|VirtualProtectEx|VirtualQueryEx)$'
# Imported functions are listed as "address hint name" below their DLL's name.
calls=$(x86_64-w64-mingw32-objdump -p "$1" |
  awk '/^[[:space:]]*DLL Name:/ { in_dll = 1; next } in_dll && NF == 3 && $2 ~ /^[0-9]+$/ { print $3 }' |
  { grep -E "$remote_calls" || true; } | paste -sd ' ')
if [ -z "$calls" ]; then
  echo "ok - $1: the driver makes no call that Wine carries out inside TAV"
else
  echo "FAIL - $1: the driver makes no call that Wine carries out inside TAV expected none got $calls"
  exit 1
fi
