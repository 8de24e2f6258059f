#!/bin/bash
# webapi-run's reports for CI from one run with a failed check, an unexpected code, a timeout
# and a request left unrun: the JUnit report validates against the schema and counts each, the
# TAP report parses (Perl's TAP::Parser, prove), and the run ends soon after the deadline.
# Usage: ci-reports.sh webapi-run webapi-manager libwebapi.so junit.xsd
set -u
program=$1 manager=$2 library=$3 schema=$4
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
failed=0 passed=0
check() {  # check WHAT PROBLEM
  if [ -z "$2" ]; then passed=$((passed + 1)); echo "ok   $1"; else failed=$((failed + 1)); printf 'FAIL %s\n%s\n' "$1" "$2"; fi
}
start_manager() {  # start_manager NAME OPTIONS...: its address in $address
  local name=$1; shift
  "$manager" --listen 127.0.0.1:0 --quiet "$@" >"$work/$name.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do grep -q '^listening on' "$work/$name.out" && break; sleep 0.1; done
  address=$(sed -n 's/^listening on //p' "$work/$name.out")
}
request() {  # request FILE HOST SERVICE ENTRY
  printf "<kqxml version='1.0'><webapirequest><user sid=''/><client host='127.0.0.1' origin='127.0.0.1'/>%s%s" \
    "<server host='$2'/><service name='$3' entrypoint='$4'/>" "<requestdata format='XML'><data>5</data></requestdata></webapirequest></kqxml>" >"$work/$1"
}
start_manager quick; request good.xml "$address" kqhrx baseVariable; request unknown.xml "$address" kqhrx nope
start_manager slow --delay 5000; request slow.xml "$address" kqhrx baseVariable
timeout=2
began=$(date +%s%N)
"$program" --library "$library" --quiet --timeout $timeout --expect-contains "value='26'" \
  --junit "$work/junit.xml" --tap "$work/run.tap" file "$work/good.xml" "$work/unknown.xml" "$work/slow.xml" "$work/good.xml" \
  >/dev/null 2>"$work/err"
status=$?
elapsed=$((($(date +%s%N) - began) / 1000000))
check "exit status 5 for the timeout" "$([ $status -eq 5 ] || { echo "exit status $status"; cat "$work/err"; })"
echo "     the run took $elapsed ms with a deadline of $timeout s on its third request"
check "it ends within the deadline and a second" "$([ $elapsed -lt $(((timeout + 1) * 1000)) ] || echo "$elapsed ms")"
check "the JUnit report validates against the schema" "$(xmllint --noout --schema "$schema" "$work/junit.xml" 2>&1 | grep -v ' validates$')"
count() { xmllint --xpath "$1" "$work/junit.xml" 2>&1; }
check "one test case per request: a failure, two errors (the code, the timeout) and one skipped" \
  "$(summary="$(count 'count(//testcase)') $(count 'count(//failure)') $(count 'count(//error)') $(count 'count(//error[@type="timeout"])') $(count 'count(//skipped)')"
     [ "$summary" = "4 1 2 1 1" ] || echo "cases, failures, errors, timeouts, skipped: $summary")"
check "a message in the attribute and as the text, no host in classname" \
  "$(count 'count(//failure[@message = text()] | //error[@message = text()])' | grep -vx 3)$(count '//testcase/@classname' | grep -v 'classname="webapi-run.file"')"
parsed=$(perl -MTAP::Parser -e 'local $/; my $p = TAP::Parser->new({tap => <STDIN>}); 1 while defined $p->next;
  printf "%s %d %d %d %s\n", $p->version, $p->tests_planned, $p->tests_run, scalar($p->failed), join("|", $p->parse_errors) || "none"' \
  <"$work/run.tap")
check "the TAP report parses: version 13, 4 planned, 4 run, 4 failed, no parse errors" \
  "$([ "$parsed" = "13 4 4 4 none" ] || { echo "parsed: $parsed"; cat "$work/run.tap"; })"
"$program" --library "$library" --quiet --tap "$work/good.tap" file "$work/good.xml" "$work/good.xml" 2>/dev/null
check "prove reads the TAP report of a run that passed" "$(prove -e cat "$work/good.tap" 2>&1 | grep -q '^Result: PASS' || prove -e cat "$work/good.tap" 2>&1)"
echo "ci-reports: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
