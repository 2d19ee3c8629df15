#!/bin/bash
# Starts the utility under Xvfb with one configured server, opens Ping,
# Diagnostic, the terminal on a COM port and System Information from its
# menus (keys sent with xdotool), and saves a screenshot.
#   tools/screenshot-companions.sh [OUT.png] [BUILD_DIR]
# Everything runs inside a private network namespace with one simulated
# device at 10.77.0.21, so the ping and the diagnostic reach nothing else.
# Needs the build's tarvik, tarvikctl, tarvik-reg, tarvik-screengrab,
# tarvik-devsim and Vonderil.sys, and xvfb-run, xdotool, xterm, picocom,
# ping (tools/setup/packages.txt).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" != "--inside" ]; then
  out=$(realpath -m "${1:-docs/companions.png}")
  build=$(realpath "${2:-build}")
  for program in tarvik tarvikctl tarvik-reg tarvik-screengrab tarvik-devsim Vonderil.sys; do
    [ -x "$build/bin/$program" ] || { echo "missing $build/bin/$program (build it first)" >&2; exit 1; }
  done
  root=$(mktemp -d /tmp/tarvik-companions-XXXXXX)
  trap 'rm -rf "$root"' EXIT
  cat >"$root/devices.txt" <<'DEV'
[device]
name = Q410X2
alias = Line A
mac = 02:4E:A7:00:00:01
ip = 10.77.0.21
mask = 255.255.255.0
gateway = 10.77.0.254
DEV
  mkdir -p "$(dirname "$out")"
  exec tests/netns/run-in-netns.sh --devsim "$root/devices.txt" --devsim-bin "$build/bin/tarvik-devsim" \
    -- "$0" --inside "$out" "$build" "$root"
fi

out=$2 build=$3 root=$4
export TARVIK_ROOT=$root/state PATH="$build/bin:$PATH"
mkdir -p "$TARVIK_ROOT"
# Q410X2 at 10.77.0.21 (first octet in the low byte), its two data ports
# on COM1 and COM2.
cat >"$root/demo.reg" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Vonderil\Parameter]
"Servers"=dword:00000001
"Ports"=dword:00000003
"Flags"=dword:00000001

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\Vonderil\Parameter\Server1]
"ServerName"="Q410X2"
"AliasName"="Line A"
"HostName"=""
"PW"=""
"IPAddress"=dword:15004d0a
"TcpPortCmd"=dword:00002710
"PortNo"=dword:00000002
"ComNo1"=dword:00202001
"ComNo2"=dword:00404002
REG
tarvik-reg import "$root/demo.reg" >/dev/null
tarvikctl driver install >/dev/null
tarvikctl driver start >/dev/null || true
# Where the driver has not made COM1 (it links its ports while it serves
# them), a pseudo-terminal stands in so that the terminal has a port.
if [ ! -e "$TARVIK_ROOT/dev/COM1" ]; then
  python3 - "$TARVIK_ROOT/dev/COM1" <<'PY' &
import os, sys, time
master, slave = os.openpty()
os.makedirs(os.path.dirname(sys.argv[1]), exist_ok=True)
os.symlink(os.ttyname(slave), sys.argv[1])
os.close(slave)
time.sleep(14)
os.write(master, b"Line A, data port 1: 21.4 kg\r\n")
time.sleep(60)
PY
fi

xvfb-run -a -s "-screen 0 1280x900x24 -br" bash -c '
  set -u
  tarvik & pid=$!
  sleep 3
  main=$(xdotool search --sync --name "Tarvik Utility" | head -1)
  keys() { xdotool windowfocus --sync "$main"; sleep 0.5; xdotool key --delay 300 "$@"; sleep 2; }
  place() { w=$(xdotool search --sync --name "$1" | head -1); xdotool windowmove "$w" "$2" "$3"; }
  keys alt+s p;  place "^Ping$" 0 580
  keys alt+s d;  place "^Diagnostic$" 640 580
  keys alt+p o;  place "^Terminal$" 0 0
  sleep 7
  keys alt+t s;  place "^System Information$" 780 0
  sleep 1
  tarvik-screengrab "$1" 500; status=$?
  kill -TERM $pid; wait $pid || true
  exit $status' _ "$out"
tarvikctl driver stop >/dev/null 2>&1 || true
echo "Saved $out"
