#!/bin/bash
# Runs a command inside a fresh private network namespace that holds only
# the loopback interface, up, with 10.77.0.1/24 on it, so that broadcasts
# and simulated devices never reach a real network.
#
# usage: run-in-netns.sh [--devsim DEVICE-FILE] [--devsim-bin PATH]
#                        [--devsim-log FILE] [--addr A.B.C.D/N]... -- COMMAND [ARGS...]
#
#   --devsim FILE     start tarvik-devsim with FILE inside the namespace and
#                     stop it when COMMAND ends
#   --devsim-bin PATH the simulator program (default: $TARVIK_DEVSIM, else
#                     tarvik-devsim on PATH)
#   --devsim-log FILE the simulator's log (default: none)
#   --addr CIDR       one more address on lo (within 10.77.0.0/16)
#
# Exit status: COMMAND's; 77 when no namespace can be made here (CTest's
# skip code); 3 when the namespace check fails; 2 for a usage error.
set -u
SKIP=77
usage() { sed -n '6,15p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }

devsim_file="" devsim_bin=${TARVIK_DEVSIM:-tarvik-devsim} devsim_log="" addrs=()
args=("$@")
while [ $# -gt 0 ]; do
  case $1 in
    --devsim) [ $# -ge 2 ] || usage; devsim_file=$2; shift 2 ;;
    --devsim-bin) [ $# -ge 2 ] || usage; devsim_bin=$2; shift 2 ;;
    --devsim-log) [ $# -ge 2 ] || usage; devsim_log=$2; shift 2 ;;
    --addr)
      [ $# -ge 2 ] || usage
      case $2 in 10.77.*/*) ;; *) echo "run-in-netns: --addr must lie in 10.77.0.0/16" >&2; exit 2 ;; esac
      addrs+=("$2"); shift 2 ;;
    --) shift; break ;;
    -h|--help) usage ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || usage

if [ -z "${TARVIK_NETNS_INSIDE:-}" ]; then
  for tool in unshare ip; do
    if ! command -v $tool >/dev/null 2>&1; then
      echo "SKIP: no private network namespace can be made here ($tool is missing); not running on the real network" >&2
      exit $SKIP
    fi
  done
  if [ "$(id -u)" = 0 ]; then flags=-n; else flags=-rn; fi
  if ! err=$(unshare $flags true 2>&1); then
    echo "SKIP: no private network namespace can be made here (unshare $flags: $err); not running on the real network" >&2
    exit $SKIP
  fi
  TARVIK_NETNS_INSIDE=1 exec unshare $flags "$0" "${args[@]}"
fi

# Inside. Check before touching anything: this must be a namespace whose
# one interface is lo, never the machine's own network.
links=$(ip -o link show | awk -F': ' '{sub(/@.*/, "", $2); print $2}' | tr '\n' ' ')
if [ "$links" != "lo " ]; then
  echo "run-in-netns: refusing to run: the network namespace holds [${links% }], not only lo" >&2
  exit 3
fi
ip link set lo up || exit 3
ip addr add 10.77.0.1/24 dev lo || exit 3
for a in "${addrs[@]}"; do ip addr add "$a" dev lo || exit 3; done

devsim_pid=""
stop_devsim() {
  if [ -n "$devsim_pid" ]; then
    kill -TERM "$devsim_pid" 2>/dev/null
    wait "$devsim_pid" 2>/dev/null
    devsim_pid=""
  fi
}
if [ -n "$devsim_file" ]; then
  ready=$(mktemp -u /tmp/tarvik-devsim-ready.XXXXXX)
  opts=(--ready-file "$ready")
  [ -n "$devsim_log" ] && opts+=(--log "$devsim_log")
  "$devsim_bin" "${opts[@]}" "$devsim_file" >/dev/null &
  devsim_pid=$!
  trap stop_devsim EXIT
  for _ in $(seq 100); do
    [ -e "$ready" ] && break
    if ! kill -0 "$devsim_pid" 2>/dev/null; then
      echo "run-in-netns: tarvik-devsim did not start" >&2
      devsim_pid=""
      exit 1
    fi
    sleep 0.05
  done
  rm -f "$ready"
fi

"$@"
rc=$?
stop_devsim
exit $rc
