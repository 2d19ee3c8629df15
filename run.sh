#!/bin/bash
# Builds the suite, prepares the state root and starts the utility.
set -euo pipefail
cd "$(dirname "$0")"
tools/setup/deps.sh
mkdir -p build
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >build/configure.log 2>&1 ||
    { cat build/configure.log; exit 1; }
fi
cmake --build build -j"$(nproc)" | tail -1

root=${TARVIK_ROOT:-${XDG_STATE_HOME:-$HOME/.local/state}/tarvik}
mkdir -p "$root/System32/Drivers" "$root/run" "$root/dev"
echo "State root: $root"
if [ -x build/bin/Vonderil.sys ]; then
  install -m 0755 build/bin/Vonderil.sys "$root/System32/Drivers/Vonderil.sys"
  echo "Driver stand-in installed as $root/System32/Drivers/Vonderil.sys"
fi
if [ ! -x build/bin/tarvik ]; then
  echo "Built the libraries and tools in build/bin and build/lib; the utility is not part of this build yet."
  exit 0
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: set DISPLAY (or run under xvfb-run) to see the utility's window." >&2
  exit 1
fi
echo "Starting build/bin/tarvik"
exec build/bin/tarvik
