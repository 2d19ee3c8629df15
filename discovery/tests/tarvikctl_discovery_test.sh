#!/bin/bash
# tarvikctl search and udp-config against simulated devices. Runs inside the
# namespace harness: run-in-netns.sh --devsim FILE --devsim-log LOG -- $0 TARVIKCTL LOG
set -u
ctl=$1 log=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

out=$("$ctl" search --time 1000) || fail "search failed"
echo "$out"
head=$(echo "$out" | head -1)
[[ $head == Name*Alias*"IP Address"*"Sub-net Mask"*Gateway*"MAC Address"*DHCP ]] || fail "header: $head"
echo "$out" | grep -Eq '^Q410X-2 +lab +10\.77\.0\.21 +255\.255\.255\.0 +10\.77\.0\.254 +02:4E:A7:00:00:01 +OFF$' \
  || fail "Q410X-2 row"
echo "$out" | grep -Eq '^NH-0408 +N/A +10\.77\.0\.22 .* 02:4E:A7:00:00:02 +ON$' || fail "NH-0408 row (alias N/A, DHCP ON)"
echo "$out" | grep -q 'Unlisted' && fail "a name outside the model list was shown"
[ "$(echo "$out" | wc -l)" = 3 ] || fail "expected a header and two rows"
"$ctl" search --time 1000 --all | grep -q '^Unlisted ' || fail "--all lists every record"

"$ctl" udp-config 02:4e:a7:00:00:01 --alias moved --ip 10.77.0.31 --time 1000 || fail "udp-config"
grep -q 'recv 10.77.0.1:[0-9]* KORVAXQ410X,01,TO=02:4E:A7:00:00:01,ALIAS=moved,IP=10.77.0.31\\r$' "$log" \
  || fail "command on the wire: $(grep KORVAXQ410X,01 "$log")"
"$ctl" search --time 1000 | grep -Eq '^Q410X-2 +moved +10\.77\.0\.31 ' || fail "changed device after a new search"

"$ctl" udp-config 02:4E:A7:00:00:99 --alias x --time 1000 2>/dev/null && fail "unknown MAC accepted"
"$ctl" udp-config 02:4E:A7:00:00:01 --ip 1.2.3 --time 1000 2>/dev/null && fail "invalid address accepted"
before=$(grep -c '^recv ' "$log")
err=$("$ctl" udp-config 02:4E:A7:00:00:01 --time 1000 2>&1) && fail "nothing to change accepted"
[[ $err == *"nothing to change"* ]] || fail "message: $err"
[ "$(grep -c '^recv ' "$log")" = "$before" ] || fail "searched although nothing was to change"
# The dialog's checks: with DHCP off every address must be valid, and the
# report is the dialog's.
err=$("$ctl" udp-config 02:4E:A7:00:00:01 --mask 255.255.0 --time 1000 2>&1) && fail "bad mask accepted"
[[ $err == *"Invalid Sub-net Mask!"* ]] || fail "mask message: $err"
out=$("$ctl" udp-config 02:4E:A7:00:00:01 --alias again --time 1000) || fail "udp-config again"
[[ $out == *"Confirmed: 1, no answer: 0, refused: 0, other errors: 0."* ]] || fail "report: $out"

# With a second interface in the namespace both commands refuse before
# sending anything.
before=$(grep -c '^recv ' "$log")
made=""
for type in dummy ifb bridge; do
  ip link add tarvik-extra0 type $type 2>/dev/null && { made=$type; break; }
done
[ -n "$made" ] || fail "cannot add a second interface to the namespace"
"$ctl" search --time 1000 2>/dev/null && fail "search ran beside another interface"
"$ctl" udp-config 02:4E:A7:00:00:01 --alias y 2>/dev/null && fail "udp-config ran beside another interface"
ip link del tarvik-extra0
[ "$(grep -c '^recv ' "$log")" = "$before" ] || fail "something was sent while refusing"
echo "PASS"
