#!/bin/bash
# What hostile devices report reaches tarvikctl's output only escaped, and
# no alias, name or address becomes a field of its own on the wire: search,
# configure and add them end to end. Runs inside the namespace harness:
#   run-in-netns.sh --devsim hostile_devices.txt --devsim-log LOG -- $0 TARVIKCTL LOG
set -u
ctl=$1 log=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
export TARVIK_ROOT=$(mktemp -d /tmp/tarvikctl-untrusted.XXXXXX)
trap 'rm -rf "$TARVIK_ROOT"' EXIT

# Every byte printable ASCII, lines ended by a line feed only.
printable() { ! LC_ALL=C grep -q $'[^\x20-\x7e]' <<<"$1"; }
sent() { grep -c 'KORVAXQ410X,01,' "$log"; }

# Search: one row per device, the forged bytes escaped in place.
out=$("$ctl" search --time 1000) || fail "search: $out"
echo "$out"
printable "$out" || fail "search printed raw control bytes"
[ "$(wc -l <<<"$out")" = 4 ] || fail "expected a header and three rows: $out"
grep -qF 'Q410X2\nadded index=  labx=y\x1b[2J"<b>x</b>  10.77.0.41 ' <<<"$out" || fail "name and alias row"
grep -qF '10.77.0.42\x1b[m=\n  255.255.255.0\x1b[  10.77.0.254\x1b[m=  02:4E:A7:00:30:42' <<<"$out" \
  || fail "address row"
grep -qF '02:4E:A7\x1b[5m=\n<b>  OFF' <<<"$out" || fail "MAC row"

# The alias can add no field to the configuration datagram.
before=$(sent)
for alias in 'a,IP=10.0.0.9' 'a,DHCP=1' 'a=b' $'a\x1bb' 'twenty-characters-xx'; do
  err=$("$ctl" udp-config 02:4E:A7:00:30:41 --alias "$alias" --time 1000 2>&1) \
    && fail "alias $(printf %q "$alias") accepted"
  [[ $err == *"Invalid Alias!"* || $err == *"at most 19"* ]] || fail "alias message: $err"
done
[ "$(sent)" = "$before" ] || fail "a refused alias was sent: $(grep KORVAXQ410X,01 "$log")"
"$ctl" udp-config 02:4E:A7:00:30:41 --alias moved --time 1000 >/dev/null || fail "plain alias refused"
tail -1 "$log" >/dev/null
grep -q 'KORVAXQ410X,01,TO=02:4E:A7:00:30:41,ALIAS=moved\\r$' "$log" \
  || fail "alias command: $(grep KORVAXQ410X,01 "$log")"

# Forged addresses fail the dialog's checks until the user gives real ones.
err=$("$ctl" udp-config 02:4E:A7:00:30:42 --alias z --time 1000 2>&1) && fail "forged mask accepted"
[[ $err == *"Invalid Sub-net Mask!"* ]] || fail "forged mask message: $err"
"$ctl" udp-config 02:4E:A7:00:30:42 --alias z --ip 10.77.0.42 --mask 255.255.255.0 \
  --gateway 10.77.0.254 --time 1000 >/dev/null || fail "real addresses refused"
grep -q 'TO=02:4E:A7:00:30:42,ALIAS=z,IP=10.77.0.42,MASK=255.255.255.0,GATEWAY=10.77.0.254\\r$' "$log" \
  || fail "address command: $(grep KORVAXQ410X,01 "$log")"

# A forged MAC would go out as the command's target: the library refuses
# to send it, and the report shows the MAC escaped.
before=$(sent)
err=$("$ctl" udp-config $'02:4E:A7\x1b[5m=\n<b>' --alias ok --time 1000 2>&1) \
  && fail "command to a forged MAC was confirmed"
printable "$err" || fail "report printed raw control bytes: $err"
[[ $err == *'[02:4E:A7\x1b[5m=\n<b>]: Configuration failiure, error=-15'* ]] || fail "report: $err"
[ "$(sent)" = "$before" ] || fail "a command to a forged MAC was sent"

# Adding: the forged name is a known model and is added, and its forged
# line stays inside the one "added" line of its server.
out=$("$ctl" servers add 10.77.0.41 10.77.0.43 --com 5 --timeout 2) || fail "add: $out"
echo "$out"
printable "$out" || fail "servers add printed raw control bytes"
[ "$(grep -c '^added ' <<<"$out")" = 3 ] || fail "added lines: $out"
grep -q '^added index=1 ip=10\.77\.0\.41 name="Q410X2\\nadded index=77 ip=6\.6\.6\.6 name=\\"FORGED\\" [^"]*" ports=2 com=5,6' <<<"$out" \
  || fail "forged name line: $out"
grep -q 'ip=6\.6\.6\.6 ' <<<"$(grep -v '^added index=1 ' <<<"$out")" && fail "a forged server was listed"

list=$("$ctl" servers) || fail "servers: $list"
printable "$list" || fail "servers printed raw control bytes"
grep -q '^store servers=3 ' <<<"$list" || fail "counts: $list"
[ "$(grep -c '^server ' <<<"$list")" = 3 ] || fail "server lines: $list"

# The command port's other answers, shown by device info and diag.
out=$("$ctl" device info 10.77.0.42 --timeout 2000) || fail "device info: $out"
printable "$out" || fail "device info printed raw control bytes"
[ "$(wc -l <<<"$out")" = 10 ] || fail "device info lines: $out"
grep -qxF 'Firmware Ver : V2.14\r\nadded index=78\x1b]0;owned\x07<i>' <<<"$out" || fail "firmware: $out"
out=$("$ctl" device info 10.77.0.41 --timeout 2000) || fail "device info of the forged name: $out"
printable "$out" || fail "device info printed a raw name"
grep -q '^Server Name : Q410X2\\nadded index=77 ' <<<"$out" || fail "name: $out"
out=$("$ctl" device diag 10.77.0.41 10000 --timeout 2000)
printable "$out" || fail "device diag printed raw control bytes"
grep -q '^added' <<<"$out" && fail "device diag printed a forged line: $out"
echo PASS
