#!/bin/bash
# The driver stand-in on three servers whose DataProtocol is 1 (RFC 2217),
# inside a private network namespace: simulated servers that acknowledge
# (COM5), refuse com-port control (COM6) and never answer (COM7). On each
# port an application in raw mode sets its line, sends every byte value and
# reads the echo; the servers' logs show which settings arrived, and none of
# them hears a command-port conversation.
# usage: netns_rfc2217_test.sh BIN-DIR   (run through tests/netns/run-in-netns.sh)
set -u
bin=$1
export TARVIK_ROOT=$(mktemp -d)
log=${NETNS_DEVSIM_LOG:?}
: > "$log"
cleanup() {
  exec 3>&- 4>&- 5>&- 2>/dev/null
  "$bin/tarvikctl" driver stop >/dev/null 2>&1
  rm -rf "$TARVIK_ROOT"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  echo "--- tarvikctl ports"; "$bin/tarvikctl" ports 2>&1
  echo "--- driver log"; cat "$TARVIK_ROOT/run/vonderil.log" 2>/dev/null
  echo "--- device log"; cat "$log" 2>/dev/null
  exit 1
}

key='SYSTEM\CurrentControlSet\Services\Vonderil\Parameter'
reg() { "$bin/tarvik-reg" set "$key$1" "$2" dword "$3" || fail "tarvik-reg"; }
reg "" Servers 3
reg "" Flags 1
n=0
for last in 31 32 33; do
  n=$((n + 1))
  "$bin/tarvik-reg" set "$key\\Server$n" ServerName sz Q410X2 || fail "tarvik-reg"
  reg "\\Server$n" IPAddress $((10 | 77 << 8 | 0 << 16 | last << 24))
  reg "\\Server$n" PortNo 1
  reg "\\Server$n" TcpPortCmd 10000
  reg "\\Server$n" DataProtocol 1
  reg "\\Server$n" ComNo1 $((4 + n | 1 << 13 | 1 << 21))
done

"$bin/tarvikctl" driver install >/dev/null || fail "driver install"
"$bin/tarvikctl" driver start >/dev/null || fail "driver start"

all=$TARVIK_ROOT/all.bin
for i in $(seq 0 255); do printf "\\$(printf %03o "$i")"; done > "$all"
[ "$(stat -c %s "$all")" = 256 ] || fail "the byte file"

# One application per port: raw, 57600 baud and two stop bits set on its
# open descriptor (no second open), every byte value out and back.
exec 3<>"$TARVIK_ROOT/dev/COM5" 4<>"$TARVIK_ROOT/dev/COM6" 5<>"$TARVIK_ROOT/dev/COM7" ||
  fail "cannot open the ports"
for fd in 3 4 5; do
  stty raw -echo 57600 cstopb <&$fd || fail "stty on fd $fd"
  cat "$all" >&$fd
  timeout 10 dd bs=256 count=1 iflag=fullblock status=none <&$fd > "$TARVIK_ROOT/back$fd.bin"
  cmp -s "$all" "$TARVIK_ROOT/back$fd.bin" || fail "the bytes through fd $fd came back as $(od -An -tx1 "$TARVIK_ROOT/back$fd.bin" | head -3)"
done

grep -q "^data rfc2217 10\.77\.0\.31:10001 port 1 baud=57600$" "$log" || fail "COM5's server got no 57600 baud"
grep -q "^data rfc2217 10\.77\.0\.31:10001 port 1 stopsize=2$" "$log" || fail "COM5's server got no two stop bits"
grep -q "^data rfc2217 10\.77\.0\.32:" "$log" && fail "COM6's server took settings"
grep -q "^data rfc2217 10\.77\.0\.33:10001 port 1 baud=57600$" "$log" || fail "COM7's server got no 57600 baud"
grep -q "^cmd recv" "$log" && fail "a command port was talked to"

want5='^COM5 .* connected +primary +open +256 +256 +rfc2217 +57600$'
want6='^COM6 .* connected +primary +open +256 +256 +rfc2217 +-$'
for _ in $(seq 50); do
  out=$("$bin/tarvikctl" ports)
  grep -Eq "$want5" <<<"$out" && grep -Eq "$want6" <<<"$out" &&
    grep -q "^COM6: the server does not do RFC 2217 com-port control" <<<"$out" &&
    grep -q "^COM7: the server did not acknowledge 57600 baud, 2 stop bits in time" <<<"$out" && break
  sleep 0.1
done
grep -Eq "$want5" <<<"$out" || fail "COM5 in tarvikctl ports"
grep -Eq "$want6" <<<"$out" || fail "COM6 in tarvikctl ports"
grep -q "^COM6: the server does not do RFC 2217 com-port control" <<<"$out" || fail "COM6 not data-only"
grep -q "^COM7: the server did not acknowledge 57600 baud, 2 stop bits in time" <<<"$out" ||
  fail "COM7 not unacknowledged"
[ "$(grep -c "COM6: the server does not do RFC 2217" "$TARVIK_ROOT/run/vonderil.log")" = 1 ] ||
  fail "the refusal was not logged once"
echo "$out"
echo "RFC 2217 through simulated servers: ok"
