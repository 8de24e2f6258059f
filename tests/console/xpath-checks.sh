#!/bin/bash
# The XPath checks of xpath-checks.tsv through webapi-run with the scripted library, natively or
# under wine64 (the same table, so both platforms agree), each document in one run with a JUnit
# report that must validate against the schema.
# Usage: xpath-checks.sh WINE|- webapi-run library junit.xsd xpath-checks.tsv
set -u
wine=$1 program=$2 library=$3 schema=$4 table=$5
work=$(mktemp -d -p "$PWD")  # in the build folder, which 32-bit Wine sees too
trap 'rm -rf "$work"' EXIT
path() { if [ "$wine" = - ]; then echo "$1"; else echo "Z:$1" | tr / '\\'; fi; }  # Wine's Z: is /
launch=()
[ "$wine" = - ] || launch=("$wine")
failed=0 passed=0
verdict() {  # verdict WHAT PROBLEM
  if [ -z "$2" ]; then passed=$((passed + 1)); else failed=$((failed + 1)); printf 'FAIL %s: %s\n' "$1" "$2"; fi
}
export WEBAPI_DOUBLE_REPLY  # the reply the scripted library writes
base=(--library "$(path "$library")" --reply "$(path "$work/out.txt")")
document() {  # runs the checks gathered for the last document
  [ ${#checks[@]} -eq 0 ] && return
  local arguments=("${base[@]}" --junit "$(path "$work/junit.xml")") i
  for binding in "${namespaces[@]}"; do arguments+=(--ns "$binding"); done
  for i in "${!checks[@]}"; do arguments+=(--expect-xpath "${checks[$i]}"); done
  rm -f "$work/junit.xml"
  timeout 100 "${launch[@]}" "$program" "${arguments[@]}" text --raw >/dev/null 2>"$work/err" </dev/null
  tr -d '\r' <"$work/err" >"$work/lines"
  for i in "${!checks[@]}"; do
    local said wanted=${expected[$i]}
    said=$(grep -F -m1 -- "text --raw: xpath ${checks[$i]}: expected " "$work/lines" | cut -c$((${#checks[$i]} + 30))-)
    if [ "$wanted" = holds ]; then
      verdict "${checks[$i]}" "${said:+it failed: expected $said}"
    elif [ "${wanted%\*}" != "$wanted" ]; then
      verdict "${checks[$i]}" "$(case "$said" in "${wanted%\*}"*) ;; *) echo "said \"$said\", wanted \"$wanted\"" ;; esac)"
    else
      verdict "${checks[$i]}" "$([ "$said" = "$wanted" ] || echo "said \"$said\", wanted \"$wanted\"")"
    fi
  done
  verdict "its JUnit report validates" "$(xmllint --noout --schema "$schema" "$work/junit.xml" 2>&1 | grep -v ' validates$')"
  checks=() expected=()
}
checks=() expected=() namespaces=()
while IFS=$'\t' read -r kind argument wanted; do
  case $kind in
    doc) document; WEBAPI_DOUBLE_REPLY="$argument"$'\r\n'; namespaces=() ;;
    ns) namespaces+=("$argument") ;;
    check) checks+=("$argument"); expected+=("$wanted") ;;
    usage)
      arguments=("${base[@]}"); for binding in "${namespaces[@]}"; do arguments+=(--ns "$binding"); done
      timeout 100 "${launch[@]}" "$program" "${arguments[@]}" --expect-xpath "$argument" text --raw >/dev/null \
        2>"$work/err" </dev/null
      status=$?
      verdict "$argument is refused" "$([ $status -eq 2 ] && tr -d '\r' <"$work/err" | grep -qF -- "webapi-run: --expect-xpath $argument: " ||
        echo "exit status $status: $(cat "$work/err")")" ;;
  esac
done < <(grep -v '^#' "$table")
document
echo "xpath-checks: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
