#!/bin/sh
# Inspects the 32-bit Windows build, whose tests run under 32-bit Wine (scripts/wine32): the
# program is a large-address-aware GUI program that needs no DLL beyond the system's (no MinGW
# runtime, and not the client library, which it loads by name at run time), carries its
# resources, and the test library exports the fifteen entry points under their plain names.
# webapi-run.exe is a console program that needs no other DLL either.
# Usage: tests/win32/check-imports.sh [build/win32]      Exit code 0 when every check passes.
set -u
build=${1:-build/win32}
objdump=i686-w64-mingw32-objdump
program=$build/bin/webapitest.exe
library=$build/tests/webapi.dll
twin=$build/bin/webapi-run.exe
passed=0
failed=0
check() {  # check NAME CONDITION-OUTPUT: passes when the output is empty
  if [ -z "$2" ]; then
    passed=$((passed + 1)); echo "ok   $1"
  else
    failed=$((failed + 1)); echo "FAIL $1"; echo "$2" | sed 's/^/     /'
  fi
}

for file in "$program" "$library" "$twin"; do
  [ -f "$file" ] || { echo "FAIL missing $file (build the win32 preset first)"; exit 1; }
done
headers=$($objdump -p "$program")

check "webapitest.exe is a 32-bit x86 program" \
  "$(echo "$headers" | grep -q '^Magic.*010b' || echo "not PE32")"
check "webapitest.exe is large-address aware" \
  "$(echo "$headers" | grep -q 'large address aware' || echo "no large-address-aware flag")"
check "webapitest.exe is a GUI program" \
  "$(echo "$headers" | grep -q '^Subsystem.*(Windows GUI)' || echo "$(echo "$headers" | grep '^Subsystem')")"

imports=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p')
allowed='^(kernel32|user32|gdi32|comctl32|comdlg32|ole32|oleacc|oleaut32|shell32|shlwapi|advapi32|uxtheme|version|msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+)\.dll$'
check "webapitest.exe imports only system DLLs (imports: $(echo $imports))" \
  "$(echo "$imports" | tr 'A-Z' 'a-z' | grep -vE "$allowed")"
check "webapitest.exe does not import the client library or a MinGW runtime" \
  "$(echo "$imports" | grep -iE 'webapi|libstdc\+\+|libgcc|libwinpthread')"

twinHeaders=$($objdump -p "$twin")
check "webapi-run.exe is a 32-bit x86 console program" \
  "$(echo "$twinHeaders" | grep -q '^Magic.*010b' || echo "not PE32")$(echo "$twinHeaders" | grep -q '^Subsystem.*(Windows CUI)' || echo "$twinHeaders" | grep '^Subsystem')"
check "webapi-run.exe is large-address aware" \
  "$(echo "$twinHeaders" | grep -q 'large address aware' || echo "no large-address-aware flag")"
twinImports=$(echo "$twinHeaders" | sed -n 's/^[[:space:]]*DLL Name: //p')
check "webapi-run.exe imports only system DLLs, not the client library (imports: $(echo $twinImports))" \
  "$(echo "$twinImports" | tr 'A-Z' 'a-z' | grep -vE "$allowed")$(echo "$twinImports" | grep -iE 'webapi|libstdc\+\+|libgcc|libwinpthread')"

sections=$($objdump -h "$program")
check "webapitest.exe has resources" "$(echo "$sections" | grep -q '\.rsrc' || echo "no .rsrc section")"
check "its manifest asks for common controls 6 and declares DPI awareness" \
  "$(strings -a "$program" | grep -q 'Microsoft.Windows.Common-Controls' || echo "no common controls dependency")$(strings -a "$program" | grep -q '<dpiAware' || echo "no dpiAware")"
check "its version information names the program" \
  "$(strings -a -el "$program" | grep -q '^Web-API DLL Test$' || echo "no FileDescription")"

entries="webApiStartup webApiCleanup webApiStatusRequest webApiMemRequest webApiMemRequestRaw
webApiFileRequest webApiFileRequestRaw webApiWriteLastReply webApiWriteLastFault
webApiSetRequestPath webApiSetFileDump webApiSetLogFile webApiSetLogLevel
webApiFileRequestReply webApiFileRequestReplyRaw"
exports=$($objdump -p "$library" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p')
missing=""
for entry in $entries; do
  echo "$exports" | grep -qx "$entry" || missing="$missing $entry"
done
check "the test library exports all 15 entry points by plain name" "$missing"
check "the test library exports no decorated (name@N) entry point" "$(echo "$exports" | grep '@')"

echo "check-imports: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
