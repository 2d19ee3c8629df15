#!/bin/bash
# The whole road in about a minute, without hardware: simulated device
# servers in a private network namespace are found, added as servers with
# COM numbers, the driver is restarted, and bytes written to two virtual
# COM ports come back from the devices. Everything happens on a fresh state
# root that is removed at the end; nothing leaves the namespace.
#
# usage: tools/demo.sh [--gui] [--bin DIR]
#   --gui      also open the utility on the same state root (needs DISPLAY,
#              or runs under xvfb-run when there is none)
#   --bin DIR  the built programs (default: build/bin, built when missing)
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
gui=0 bin=$here/build/bin
while [ $# -gt 0 ]; do
  case $1 in
    --gui) gui=1; shift ;;
    --bin) bin=$(cd "$2" && pwd); shift 2 ;;
    --inside) inside=1; shift ;;
    -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "demo: unknown option $1" >&2; exit 2 ;;
  esac
done

if [ -z "${inside:-}" ]; then
  if [ ! -x "$bin/tarvikctl" ] || [ ! -x "$bin/tarvik-devsim" ] || [ ! -x "$bin/Vonderil.sys" ]; then
    echo "== building the suite (build/)"
    cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
      cmake --build "$here/build" -j"$(nproc)" --target tarvikctl tarvik-devsim vonderil-driver tarvik-reg |
      tail -1 || exit 1
  fi
  args=(--inside --bin "$bin")
  [ $gui = 1 ] && args+=(--gui)
  exec "$here/tests/netns/run-in-netns.sh" --devsim "$here/tools/devsim/examples/demo.conf" \
    --devsim-bin "$bin/tarvik-devsim" -- "$0" "${args[@]}"
fi

export TARVIK_ROOT
TARVIK_ROOT=$(mktemp -d /tmp/tarvik-demo.XXXXXX)
ctl() { "$bin/tarvikctl" "$@"; }
cleanup() {
  exec 3>&- 4>&- 2>/dev/null
  ctl driver stop >/dev/null 2>&1
  [ -n "${gui_pid:-}" ] && kill "$gui_pid" 2>/dev/null
  rm -rf "$TARVIK_ROOT"
}
trap cleanup EXIT
step() { printf '\n== %s\n' "$*"; }
fail() { echo "demo: $*" >&2; exit 1; }

step "State root $TARVIK_ROOT (private network namespace, simulated devices on 10.77.0.21-23)"

step "tarvikctl search"
ctl search || fail "the search failed"

step "tarvikctl servers add 10.77.0.21 10.77.0.23 --com 5"
ctl servers add 10.77.0.21 10.77.0.23 --com 5 || fail "adding the servers failed"

step "tarvikctl servers"
ctl servers

step "tarvikctl driver install, then driver restart"
ctl driver install >/dev/null || fail "the driver stand-in could not be installed"
ctl driver restart || fail "the driver did not restart"

mapfile -t ports < <(cd "$TARVIK_ROOT/dev" && ls COM* 2>/dev/null | sort -V)
[ ${#ports[@]} -ge 2 ] || fail "the driver serves ${#ports[@]} COM port(s), not 2"
a=${ports[0]} b=${ports[${#ports[@]}-1]}

step "Writing to $a and $b, reading the devices' echo"
exec 3<>"$TARVIK_ROOT/dev/$a" 4<>"$TARVIK_ROOT/dev/$b" || fail "cannot open the ports"
stty -F "$TARVIK_ROOT/dev/$a" raw -echo 2>/dev/null
stty -F "$TARVIK_ROOT/dev/$b" raw -echo 2>/dev/null
printf 'hello from %s' "$a" >&3
printf 'hello from %s' "$b" >&4
echo_a=$(timeout 10 dd bs=1 count=$((11 + ${#a})) status=none <&3)
echo_b=$(timeout 10 dd bs=1 count=$((11 + ${#b})) status=none <&4)
echo "$a echoed: $echo_a"
echo "$b echoed: $echo_b"
[ "$echo_a" = "hello from $a" ] && [ "$echo_b" = "hello from $b" ] || fail "an echo did not come back"

step "tarvikctl ports"
sleep 0.5  # the driver rewrites its port table a moment after a change
ctl ports

if [ $gui = 1 ]; then
  step "The utility on the same state root (close its window to finish)"
  if [ -n "${DISPLAY:-}" ]; then
    "$bin/tarvik" & gui_pid=$!
  else
    xvfb-run -a "$bin/tarvik" & gui_pid=$!
  fi
  wait "$gui_pid"
fi

step "Done: the devices echoed through two virtual COM ports."
