#!/bin/bash
# Starts the utility under Xvfb on a demo state root and saves a screenshot.
#   tools/screenshot.sh [OUT.png] [BUILD_DIR]
# Needs the build's tarvik, tarvik-reg and tarvik-screengrab, and xvfb-run.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs/screenshot.png}")
build=$(realpath "${2:-build}")
for program in tarvik tarvik-reg tarvik-screengrab; do
  [ -x "$build/bin/$program" ] || { echo "missing $build/bin/$program (build it first)" >&2; exit 1; }
done
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (Debian package xvfb)" >&2; exit 1; }

root=$(mktemp -d /tmp/tarvik-demo-XXXXXX)
trap 'rm -rf "$root"' EXIT
export TARVIK_ROOT=$root

# Three device servers with some of their ports mapped (addresses are
# stored with the first octet in the low-order byte).
cat >"$root/demo.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Vonderil\Parameter]
"Servers"=dword:00000003
"Ports"=dword:0000000a
"Flags"=dword:00000001

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Vonderil\Parameter\Server1]
"ServerName"="VF-2210"
"AliasName"="Packing hall"
"HostName"=""
"PW"=""
"IPAddress"=dword:1e01a8c0
"PortNo"=dword:00000002
"ComNo1"=dword:00222003
"ComNo2"=dword:00444004

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Vonderil\Parameter\Server2]
"ServerName"="NGR-3004"
"AliasName"=""
"HostName"="line4-gw.example"
"PW"=""
"IPAddress"=dword:1f01a8c0
"PortNo"=dword:00000004
"ComNo1"=dword:00222005
"ComNo2"=dword:00444006
"ComNo3"=dword:00666007
"ComNo4"=dword:00888008

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Vonderil\Parameter\Server3]
"ServerName"="XYZ-389"
"AliasName"="Weigh bridge"
"HostName"=""
"PW"=""
"IPAddress"=dword:0500000a
"PortNo"=dword:00000001
"ComNo1"=dword:00222009
REG
"$build/bin/tarvik-reg" import "$root/demo.reg" >/dev/null

mkdir -p "$(dirname "$out")"
xvfb-run -a -s "-screen 0 1280x800x24 -br" bash -c '
  "$1/bin/tarvik" & pid=$!
  "$1/bin/tarvik-screengrab" "$2" 3000; status=$?
  kill -TERM $pid; wait $pid || true
  exit $status' _ "$build" "$out"
echo "Saved $out"
