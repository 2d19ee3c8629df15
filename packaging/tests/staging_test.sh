#!/bin/bash
# Installs the suite under a staging prefix, then runs it there with an
# empty environment: the programs find their libraries (not the build
# tree's) and the driver stand-in by themselves.
set -euo pipefail
build=$1
stage=$(mktemp -d)
root=$(mktemp -d)
trap 'TARVIK_ROOT=$root "$stage/bin/tarvikctl" driver stop >/dev/null 2>&1 || true; rm -rf "$stage" "$root"' EXIT

cmake --install "$build" --prefix "$stage" >/dev/null
run() { env -i PATH=/usr/bin:/bin TARVIK_ROOT="$root" "$@"; }

run "$stage/bin/tarvikctl" --help | grep -q 'tarvikctl driver' || { echo "FAIL: tarvikctl --help"; exit 1; }
run "$stage/bin/tarvik-reg" --help | grep -q 'usage: tarvik-reg' || { echo "FAIL: tarvik-reg --help"; exit 1; }
for prog in "$stage/bin/tarvikctl" "$stage/bin/tarvik-reg" "$stage/libexec/tarvik/Vonderil.sys"; do
  if ldd "$prog" | grep -E 'libtarvik|libfindra|libtkcenc2' | grep -v -- "$stage/" ; then
    echo "FAIL: $prog takes a suite library from outside the staging prefix"
    exit 1
  fi
  if ldd "$prog" | grep -q 'not found'; then
    ldd "$prog"
    echo "FAIL: $prog misses a library"
    exit 1
  fi
done

# A new state root gets the installed stand-in, and it serves as the driver.
run "$stage/bin/tarvikctl" driver start
link=$(readlink "$root/System32/Drivers/Vonderil.sys")
[ "$(realpath "$link")" = "$(realpath "$stage/libexec/tarvik/Vonderil.sys")" ] ||
  { echo "FAIL: the state root's stand-in is $link"; exit 1; }
run "$stage/bin/tarvikctl" driver status | grep -q 'Driver is running.' || { echo "FAIL: driver status"; exit 1; }
run "$stage/bin/tarvikctl" boot stop | grep -q 'Vonderil: stopped' || { echo "FAIL: boot stop"; exit 1; }
run "$stage/bin/tarvikctl" boot start | grep -q 'Vonderil: running' || { echo "FAIL: boot start"; exit 1; }
echo "staging checks passed"
