#!/usr/bin/env bash
# Keeps the program's layers apart: text conversion knows no other layer, the client only
# text, the window's code (shared and front ends) neither the procedures, the client nor the
# programs, the procedures no front end; only the front ends, the programs and the platform
# files of the client and of text speak to Qt or to windows.h.
# Usage: check-layering.sh [source folder]   (default: the src folder of this checkout)
set -uo pipefail
src=${1:-$(cd "$(dirname "$0")/../../src" && pwd)}
cd "$src" || exit 2

failed=0
# Prints the include lines of the files given that match the pattern, and fails when any do.
forbid() {
  local what=$1 pattern=$2; shift 2
  [ $# -gt 0 ] || return 0
  local hits
  hits=$(grep -HnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]($pattern)" "$@")
  if [ -n "$hits" ]; then
    echo "FAIL $what:"
    echo "$hits" | sed 's/^/  /'
    failed=1
  else
    echo "ok   $what"
  fi
}
sources() { find "$@" -type f \( -name '*.h' -o -name '*.cpp' \) 2>/dev/null | sort; }

mapfile -t text < <(sources text)
forbid "text conversion includes no other layer" 'client/|commands/|window/|app/' "${text[@]}"

mapfile -t client < <(sources client)
forbid "the client includes neither the window, the procedures nor a program" 'window/|commands/|app/' "${client[@]}"

mapfile -t window < <(sources window)
forbid "the window's code includes neither the procedures, the client nor a program" 'commands/|client/|app/' "${window[@]}"

mapfile -t commands < <(sources commands)
forbid "the procedures include no front end and no program" 'window/(qt|win32|console)/|app/' "${commands[@]}"

mapfile -t neutral < <(sources . | grep -vE '^\./(window/qt|window/win32|app)/' | grep -vE '^\./(client|text)/[^/]*_(win32|posix)\.cpp$')
forbid "only the front ends, the programs and the platform files use Qt or windows.h" \
  'Q[A-Za-z0-9_]*>|Qt[A-Za-z0-9]*/|windows\.h|windowsx\.h|commctrl\.h|ole2\.h|objbase\.h' "${neutral[@]}"

exit $failed
