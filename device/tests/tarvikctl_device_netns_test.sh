#!/bin/bash
# tarvikctl device ... against tarvik-devsim's command ports. Runs inside the
# namespace harness:
#   run-in-netns.sh --devsim FILE --devsim-log LOG -- $0 TARVIKCTL LOG
set -u
ctl=$1 log=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
export TARVIK_ROOT=$(mktemp -d /tmp/tarvikctl-device.XXXXXX)
trap 'rm -rf "$TARVIK_ROOT"' EXIT
sent() { grep -c "^cmd recv $1 $2\$" "$log"; }
: > "$log"  # the simulator appends; counts below are for this run only

out=$("$ctl" device info 10.77.0.21 --password s3cret) || fail "info: $out"
expected="Server Name : Q410X-2
Firmware Ver : V2.14
OS Ver : V1.3
Max. Sockets : 8
System Timeout (ms) : 3000
Operation Mode : 0, Shared
Gateway : 10.77.0.254
Sub-net Mask : 255.255.255.0
MAC Address: 02:4E:A7:00:00:01
Password Setting: Unlocked"
[ "$out" = "$expected" ] || fail "info output: $out"
[ "$(sent 10.77.0.21:10000 '26password=[0-9C-X]*,LOCK=0')" = 1 ] || fail "unlock on the wire"

out=$("$ctl" device info 10.77.0.22) || fail "info without echo: $out"
echo "$out" | grep -qx 'Operation Mode : 2' || fail "share mode as it came: $out"
echo "$out" | grep -qx 'Password Setting: Disabled' || fail "device without lock: $out"

err=$("$ctl" device info 10.77.0.23 --port 10010 --timeout 300 2>&1 >/dev/null) && fail "silent step passed"
[[ $err == *'10.77.0.23:10010: no answer to "Getting Vetra7 version..."' ]] || fail "message: $err"
err=$("$ctl" device info 10.77.0.23 --timeout 300 2>&1 >/dev/null) && fail "connected to a closed port"
[[ $err == *'10.77.0.23:10000: Connecting...' ]] || fail "message: $err"

out=$("$ctl" device port 10.77.0.21 3) || fail "port read: $out"
[ "$out" = $'Baud rate : 115200\nData Bits : 7\nParity Bit : Even\nStop Bits : 2' ] || fail "port: $out"
"$ctl" device port 10.77.0.21 1 --baud 38400 --format 8O1 >/dev/null || fail "port write"
[ "$(sent 10.77.0.21:10000 '06138400\\r')" = 1 ] || fail "baud command on the wire"
[ "$(sent 10.77.0.21:10000 '0718O1\\r')" = 1 ] || fail "format command on the wire"
"$ctl" device port 10.77.0.21 1 | grep -qx 'Parity Bit : Odd' || fail "format read back"

err=$("$ctl" device unlock 10.77.0.21 --password wrong 2>&1 >/dev/null) && fail "wrong password accepted"
[[ $err == *'Unlock CMD: Wrong Password.' ]] || fail "message: $err"
"$ctl" device unlock 10.77.0.21 --password s3cret | grep -qx 'LockStatusCMD: Unlocked.' || fail "unlock"

err=$("$ctl" device set-network 10.77.0.21 --ip 10.77.0.31 2>&1 >/dev/null) && fail "locked device took settings"
[[ $err == *'Setting Error!' ]] || fail "message: $err"
"$ctl" device set-network 10.77.0.21 --password s3cret --ip 10.77.0.31 --gateway 10.77.0.1 \
  | grep -qx 'Restarting Q410X/Q900X...' || fail "set-network"
[ "$(sent 10.77.0.21:10000 '26ISAVE=1,IP=10.77.0.31,GATEWAY=10.77.0.1\\r')" = 1 ] || fail "26ISAVE on the wire"
for _ in $(seq 50); do grep -q '^cmd restart state .*ip=10.77.0.31 ' "$log" && break; sleep 0.1; done
grep -q '^cmd restart state mac=02:4E:A7:00:00:01 .*ip=10.77.0.31 .*gateway=10.77.0.1 ' "$log" \
  || fail "restart did not apply the settings"
"$ctl" device info 10.77.0.31 --timeout 2000 | grep -qx 'Gateway : 10.77.0.1' || fail "device on its new address"
"$ctl" device info 10.77.0.21 --timeout 300 >/dev/null 2>&1 && fail "device still on its old address"
# The discovery side reports the same device at its new address.
"$ctl" search --time 1000 | grep -Eq '^Q410X-2 +.* 10\.77\.0\.31 ' || fail "search after the restart"
echo PASS
