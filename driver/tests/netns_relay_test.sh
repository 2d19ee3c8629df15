#!/bin/bash
# The whole road inside a private network namespace: a simulated device
# server, the driver started by tarvikctl, an application on COM5 that
# writes, reads the echo, and keeps its port while the device drops the
# link; tarvikctl ports shows the state.
# usage: netns_relay_test.sh BIN-DIR   (run through tests/netns/run-in-netns.sh)
set -u
bin=$1
export TARVIK_ROOT=$(mktemp -d)
log=${NETNS_DEVSIM_LOG:?}
: > "$log"  # the simulator appends; only this run counts
cleanup() {
  exec 3>&- 2>/dev/null
  "$bin/tarvikctl" driver stop >/dev/null 2>&1
  rm -rf "$TARVIK_ROOT"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  echo "--- driver log"; cat "$TARVIK_ROOT/run/vonderil.log" 2>/dev/null
  echo "--- device log"; cat "$log" 2>/dev/null
  exit 1
}

reg() { "$bin/tarvik-reg" set "SYSTEM\\CurrentControlSet\\Services\\Vonderil\\Parameter$1" "$2" dword "$3" || fail "tarvik-reg"; }
reg "" Servers 1
reg "" Flags 1
"$bin/tarvik-reg" set 'SYSTEM\CurrentControlSet\Services\Vonderil\Parameter\Server1' ServerName sz Q410X-2 || fail "tarvik-reg"
reg '\Server1' IPAddress $((10 | 77 << 8 | 0 << 16 | 1 << 24))
reg '\Server1' PortNo 2
reg '\Server1' TcpPortCmd 10000
reg '\Server1' ComNo1 $((5 | 1 << 13 | 1 << 21))

"$bin/tarvikctl" driver install >/dev/null || fail "driver install"
"$bin/tarvikctl" driver start >/dev/null || fail "driver start"
[ -L "$TARVIK_ROOT/dev/COM5" ] || fail "no COM5 link"

# Reads n bytes from fd 3 within 10 s.
read_port() { timeout 10 dd bs=1 count="$1" status=none <&3; }

exec 3<>"$TARVIK_ROOT/dev/COM5" || fail "cannot open COM5"
printf hello >&3
[ "$(read_port 5)" = hello ] || fail "no echo of hello"
# The device drops the link after its tenth byte and refuses for a while.
printf world >&3
[ "$(read_port 5)" = world ] || fail "no echo of world"
for _ in $(seq 100); do grep -q "^data drop" "$log" && break; sleep 0.1; done
grep -q "^data drop" "$log" || fail "the device did not drop the link"
printf again >&3
[ "$(read_port 5)" = again ] || fail "no echo after the dropped link"

# The driver rewrites its port table a moment after a change.
want='^COM5 +10\.77\.0\.1:10001 +- +connected +primary +open +15 +15 +raw +-$'
for _ in $(seq 50); do
  out=$("$bin/tarvikctl" ports)
  echo "$out" | grep -Eq "$want" && break
  sleep 0.1
done
echo "$out" | grep -Eq "$want" || fail "tarvikctl ports shows: $out"
exec 3>&-
echo "relay through a simulated device: ok"
