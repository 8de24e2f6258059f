#!/bin/sh
# One request of the Windows webapi-run under Wine (wine64, or 32-bit Wine through
# scripts/wine32, whose route line on standard error is left out), with the scripted library:
# the reply on standard output, the code line on standard error, exit status 0, the window's
# calls in order.
# Usage: wine-request.sh WINE webapi-run.exe webapi.dll [DEADLINE (s), 100 by default]
set -u
wine=$1 program=$2 library=$3 deadline=${4:-100}
# In the working (build) folder: 32-bit Wine runs in a tree of its own, which sees only that.
work=$(mktemp -d "$PWD/wine-request.XXXXXX")
trap 'rm -rf "$work"' EXIT
windows() { echo "Z:$1" | tr / '\\'; }  # Wine's drive Z: is the root folder
export WEBAPI_DOUBLE_LOG="$(windows "$work/calls.log")"
timeout "$deadline" "$wine" "$program" --library "$(windows "$library")" --reply "$(windows "$work/reply.txt")" text --raw \
  >"$work/out" 2>"$work/err" </dev/null
status=$?
failed=0
expect() {  # expect WHAT ACTUAL WANTED
  if [ "$2" != "$3" ]; then
    failed=1; printf 'FAIL %s\n  got:    %s\n  wanted: %s\n' "$1" "$2" "$3"
  else
    printf 'ok   %s\n' "$1"
  fi
}
expect "exit status" "$status" 0
expect "standard output" "$(tr -d '\r' <"$work/out")" "reply line"
expect "standard error" "$(tr -d '\r' <"$work/err" | grep -v '^wine32: route ' | sed 's/[0-9.]* ms$/T ms/')" \
  "text --raw: code 0, T ms"
expect "calls" "$(cut -f1 "$work/calls.log" 2>/dev/null | tr '\n' ' ')" \
  "webApiStartup webApiMemRequestRaw webApiWriteLastReply webApiCleanup "
exit $failed
