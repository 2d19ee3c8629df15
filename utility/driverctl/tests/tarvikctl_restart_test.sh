#!/bin/bash
# tarvikctl driver restart|options in a fresh state root with the stand-in:
# one mapped server restarts the driver; no mapping leaves it stopped; the
# options word reaches the store and a bad delay is refused.
set -u
ctl=$1
reg=$2
export TARVIK_ROOT=$(mktemp -d)
trap '"$ctl" driver stop >/dev/null 2>&1; rm -rf "$TARVIK_ROOT"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
params='HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Vonderil\Parameter'
store() {  # store COMWORD
  cat >"$TARVIK_ROOT/one.reg" <<REG
Windows Registry Editor Version 5.00

[$params]
"Servers"=dword:00000001
"Ports"=dword:00000002
"Flags"=dword:00000001

[$params\\Server1]
"ServerName"="VF-411"
"IPAddress"=dword:0100007f
"PortNo"=dword:00000001
"ComNo1"=dword:$1
REG
  "$reg" import "$TARVIK_ROOT/one.reg" || fail "cannot import the store"
}

"$ctl" driver install >/dev/null || fail "install"
store 00000005
out=$("$ctl" driver restart) || fail "restart with COM5 mapped: exit $?: $out"
[[ $out == *"Status: Driver is running!"* ]] || fail "restart printed: $out"
[ "$("$ctl" driver status)" = "Driver is running." ] || fail "the driver does not run"
grep -q "COM5" "$TARVIK_ROOT/run/vonderil.log" || fail "the stand-in's log lacks COM5"

store 00000000
out=$("$ctl" driver restart) || fail "restart without mappings: exit $?: $out"
[[ $out == *"No mappings for virtual COM ports."* ]] || fail "restart printed: $out"
[ "$("$ctl" driver status)" = "Driver is not running." ] || fail "the driver was not left stopped"

"$ctl" driver options --close-delay 1000 --fast-open 1 >/dev/null || fail "options"
flags=$("$reg" query "${params#HKEY_LOCAL_MACHINE\\}" Flags)
[ "$flags" = "803" ] || fail "Flags in the store: $flags, want 803 (0x323)"
"$ctl" driver options --close-delay 1001 >/dev/null 2>&1 && fail "a delay of 1001 ms was taken"
"$ctl" driver options --fast-open 2 >/dev/null 2>&1 && fail "--fast-open 2 was taken"
echo "tarvikctl driver restart and options: ok"
