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
. tools/xvfb-session.sh

root=$(mktemp -d /tmp/tarvik-demo-XXXXXX)
trap 'rm -rf "$root"' EXIT
export TARVIK_ROOT=$root PATH="$build/bin:$PATH"

# Three device servers with some of their ports mapped. Addresses are
# stored with the first octet in the low-order byte; a port's COM word holds
# the COM number (bits 0-11), the device port (13-19) and its index (21-26).
cat >"$root/demo.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Vonderil\Parameter]
"Servers"=dword:00000003
"Ports"=dword:0000000e
"Flags"=dword:00000001

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Vonderil\Parameter\Server1]
"ServerName"="VF-2210"
"AliasName"="Packing hall"
"HostName"=""
"PW"=""
"IPAddress"=dword:1e01a8c0
"PortNo"=dword:00000001
"ComNo1"=dword:00202003

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Vonderil\Parameter\Server2]
"ServerName"="NGR-3004"
"AliasName"=""
"HostName"="line4-gw.example"
"PW"=""
"IPAddress"=dword:1f01a8c0
"PortNo"=dword:00000002
"ComNo1"=dword:00202005
"ComNo2"=dword:00404006

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Vonderil\Parameter\Server3]
"ServerName"="XYZ-389"
"AliasName"="Weigh bridge"
"HostName"=""
"PW"=""
"IPAddress"=dword:0500000a
"PortNo"=dword:00000008
"ComNo1"=dword:00202009
"ComNo2"=dword:0040400a
"ComNo3"=dword:00606000
"ComNo4"=dword:00808000
"ComNo5"=dword:00a0a000
"ComNo6"=dword:00c0c000
"ComNo7"=dword:00e0e000
"ComNo8"=dword:01010000
REG
tarvik-reg import "$root/demo.reg" >/dev/null

mkdir -p "$(dirname "$out")"
xvfb_session 1280x800 "$out" 3000
echo "Saved $out"
