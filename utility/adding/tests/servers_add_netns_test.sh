#!/bin/bash
# tarvikctl servers add | remove against simulated devices. Runs inside the
# namespace harness:
#   run-in-netns.sh --devsim servers_add_devices.txt -- $0 TARVIKCTL
set -u
ctl=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
export TARVIK_ROOT=$(mktemp -d /tmp/tarvikctl-add.XXXXXX)
trap 'rm -rf "$TARVIK_ROOT"' EXIT

out=$("$ctl" servers add 10.77.0.20 10.77.0.40 --com 5 --timeout 2) || fail "add: $out"
added=$(grep '^added' <<<"$out")
expected='added index=1 ip=10.77.0.21 name="Q410X2" ports=2 com=5,6
added index=2 ip=10.77.0.22 name="Q410X4" ports=4 com=7,8,9,10
added index=3 ip=10.77.0.25 name="RF-030" ports=2 com=0,11
added index=4 ip=10.77.0.35 name="FWR-4" ports=1 com=12'
[ "$added" = "$expected" ] || fail "added lines: $added"
# Every other address is passed over with its reason, the one that gives no
# firmware version among them.
grep -qx 'skip ip=10.77.0.30 reason=no-name' <<<"$out" || fail "no-name device: $out"
[ "$(grep -c '^skip ' <<<"$out")" = 17 ] || fail "skip lines: $out"

list=$("$ctl" servers) || fail "servers: $list"
grep -q '^store servers=4 ports=13 ' <<<"$list" || fail "counts: $list"
grep -q '^server index=3 name="RF-030" .* ip=10.77.0.25 ' <<<"$list" || fail "listing: $list"
grep -qx 'port server=2 port=4 com=10 .*' <<<"$list" || fail "COM numbers: $list"

# Again: the same devices are duplicates now, and nothing is added.
out=$("$ctl" servers add 10.77.0.21 10.77.0.22 --com 5) || fail "second add: $out"
[ "$out" = $'skip ip=10.77.0.21 reason=duplicate\nskip ip=10.77.0.22 reason=duplicate' ] \
  || fail "duplicates: $out"

# An unknown model stops the range with an error; what came before stays.
out=$("$ctl" servers add 10.77.0.50 --allow-duplicates --timeout 2 2>&1) && fail "unknown device passed: $out"
[[ $out == *'Unknown device [ZZ-0000], Err: 25'* ]] || fail "unknown device message: $out"
"$ctl" servers | grep -q '^store servers=4 ' || fail "unknown device changed the store"

# Removal through the pane's code: later servers move down one index.
"$ctl" servers remove 2 | grep -qx 'removed index=2 ip=10.77.0.22 name="Q410X4"' || fail "remove"
list=$("$ctl" servers)
grep -q '^store servers=3 ports=8 ' <<<"$list" || fail "counts after remove: $list"
grep -q '^server index=2 name="RF-030" ' <<<"$list" || fail "order after remove: $list"
"$ctl" servers remove 9 2>/dev/null && fail "removed a server that does not exist"
echo PASS
