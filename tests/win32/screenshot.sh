#!/bin/sh
# Takes docs/screenshot-windows.png: the Windows program (build/win64) with the scripted test
# library, under Wine in a virtual X display. Usage: tests/win32/screenshot.sh [build/win64]
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd)
out=$root/docs/screenshot-windows.png
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$root/scripts/wine-prefix"
# Wine's drive Z: is the Unix root. (Asking winepath would start Wine's desktop without a display.)
export WEBAPITEST_LIBRARY="Z:$(echo "$build/tests/webapi.dll" | tr / '\\\\')"
mkdir -p "$root/docs"
xvfb-run -a -s "-screen 0 1024x768x24" sh -c '
  # A Wine virtual desktop, so that Wine draws the title bar and frame itself.
  /usr/lib/wine/wine64 explorer /desktop=screenshot,800x600 "$1/bin/webapitest.exe" & program=$!
  sleep "${SCREENSHOT_DELAY:-4}"
  import -window root "$2.full.png"
  kill $program 2>/dev/null || true
  wait $program 2>/dev/null || true
' sh "$build" "$out"
# Crop to the window: everything on the virtual desktop that is not the desktop's colour.
desktop=$(convert "$out.full.png" -format '%[pixel:p{799,599}]' info:)
box=$(convert "$out.full.png" -crop 800x600+0+0 +repage -fill black -opaque "$desktop" -format '%@' info:)
convert "$out.full.png" -crop "$box" +repage "$out"
[ -n "${SCREENSHOT_KEEP:-}" ] || rm -f "$out.full.png"
echo "$out"
