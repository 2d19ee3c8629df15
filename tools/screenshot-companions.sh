#!/bin/bash
# Starts the utility under Xvfb with one configured server, opens Ping,
# Diagnostic, the terminals on a COM port and on a TCP port, the two Modbus
# masters and System Information from its menus (keys and clicks sent with
# xdotool), and saves a screenshot.
#   tools/screenshot-companions.sh [OUT.png] [BUILD_DIR]
# Everything runs inside a private network namespace with one simulated
# device at 10.77.0.21, so nothing reaches anything else. Its data port 2
# answers a Modbus RTU poll and "AT"; a small Modbus TCP slave stands in on
# its port 502.
# Needs the build's tarvik, tarvikctl, tarvik-reg, tarvik-screengrab,
# tarvik-devsim and Vonderil.sys, and xvfb-run, xdotool, xterm, picocom,
# socat, mbpoll, ping, python3 (tools/setup/packages.txt).
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
# Its data ports answer a Modbus RTU read of slave 1, register 1 (2140),
# and "AT".
data_mode = scripted
data_script = \x01\x03\x00\x00\x00\x01\x84\x0a=>\x01\x03\x02\x08\x5c\xbf\xbd;AT\r=>\r\nOK\r\n
DEV
  mkdir -p "$(dirname "$out")"
  exec tests/netns/run-in-netns.sh --devsim "$root/devices.txt" --devsim-bin "$build/bin/tarvik-devsim" \
    -- "$0" --inside "$out" "$build" "$root"
fi

out=$2 build=$3 root=$4
. tools/xvfb-session.sh
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

# A Modbus TCP slave on the device's address: holding register n reads 1200 + n.
timeout 120 python3 - <<'PY' &
import socket, struct, threading
listener = socket.create_server(("10.77.0.21", 502))
def serve(peer):
    while True:
        head = peer.recv(12)
        if len(head) < 12:
            return
        tid, _, _, unit, function, first, count = struct.unpack(">HHHBBHH", head)
        data = b"".join(struct.pack(">H", 1201 + first + i) for i in range(count))
        peer.sendall(struct.pack(">HHHBBB", tid, 0, 3 + len(data), unit, function, len(data)) + data)
while True:
    threading.Thread(target=serve, args=(listener.accept()[0],), daemon=True).start()
PY

# Keys go to the window named in $1 (a title pattern); each new window is
# moved to its place as soon as it shows.
steps='
  main=$(xdotool search --sync --name "Tarvik Utility" | head -1)
  moved=" "
  keys() { w=$(xdotool search --name "$1" | tail -1); shift
           xdotool windowfocus --sync "$w"; sleep 0.5; xdotool key --delay 300 "$@"; sleep 2; }
  place() {
    for _ in $(seq 50); do
      for w in $(xdotool search --name "$1"); do
        case $moved in *" $w "*) ;; *) xdotool windowmove "$w" "$2" "$3"; moved="$moved$w "; return ;; esac
      done
      sleep 0.2
    done
  }
  sleep 3
  xdotool windowmove "$main" 0 330; sleep 1
  keys "Tarvik Utility" alt+s p;  place "^Ping$" 0 700
  keys "Tarvik Utility" alt+s d;  place "^Diagnostic$" 490 700
  keys "Tarvik Utility" alt+p o;  place "^Terminal$" 0 0
  sleep 7
  # The second row of the port list: data port 2 on COM2.
  eval "$(xdotool getwindowgeometry --shell "$main")"
  xdotool mousemove $((X + 500)) $((Y + 119)) click 1; sleep 1
  keys "Tarvik Utility" alt+p t;  place "^Terminal$" 490 0
  keys "^Terminal$" A T Return
  # The masters last, so that their windows still show how they began;
  # System Information is modal, so it comes before their answers.
  keys "Tarvik Utility" alt+t Down Down Return;  place "^Modbus RTU Master$" 980 0
  keys "Tarvik Utility" alt+t Down Down Down Return;  place "^Modbus TCP Master$" 980 330
  keys "Tarvik Utility" alt+t s;  place "^System Information$" 1470 0
  keys "^Modbus RTU Master$" Return Return Return
  keys "^Modbus TCP Master$" Return 1 0 0 Return 2 Return
'
xvfb_session 1920x1080 "$out" 500 "$steps"
tarvikctl driver stop >/dev/null 2>&1 || true
echo "Saved $out"
