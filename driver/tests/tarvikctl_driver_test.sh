#!/bin/bash
# tarvikctl driver install|start|status|stop in a fresh state root.
set -u
ctl=$1
export TARVIK_ROOT=$(mktemp -d)
trap '"$ctl" driver stop >/dev/null 2>&1; rm -rf "$TARVIK_ROOT"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
expect() {  # expect "output" rc args...
  local want=$1 wantrc=$2 out rc
  shift 2
  out=$("$ctl" "$@" 2>/dev/null); rc=$?
  [ "$out" = "$want" ] || fail "tarvikctl $*: printed \"$out\", want \"$want\""
  [ "$rc" = "$wantrc" ] || fail "tarvikctl $*: exit $rc, want $wantrc"
}

expect "Service does not exist!" 1 driver status
expect "Service does not exist!" 1 driver stop
# No driver file yet: the service is made but cannot start.
"$ctl" driver start >/dev/null 2>&1 && fail "start without the driver file succeeded"
expect "Driver is not running." 0 driver status
expect "Installed $TARVIK_ROOT/System32/Drivers/Vonderil.sys" 0 driver install
expect "Driver is running." 0 driver start
expect "Driver is running." 0 driver start
expect "Driver is running." 0 driver status
expect "Driver is not running." 0 driver stop
expect "Driver is not running." 0 driver stop
grep -q "^Vonderil: stopped$" "$TARVIK_ROOT/run/vonderil.log" || fail "the log lacks the stop"
"$ctl" driver bogus >/dev/null 2>&1 && fail "an unknown subcommand succeeded"
echo "tarvikctl driver commands: ok"
