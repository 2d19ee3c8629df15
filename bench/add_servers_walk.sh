#!/bin/bash
# Times `tarvikctl servers add 10.77.0.1 10.77.0.254 --yes` over a /24 with
# five simulated devices and every other address silent, once with the name
# fetches running ahead and once one address at a time. Not a test.
#
#   tests/netns/run-in-netns.sh --devsim bench/add_servers_devices.txt \
#     --devsim-bin build/bin/tarvik-devsim -- bench/add_servers_walk.sh \
#     build/bin/tarvikctl [TIMEOUT-SECONDS] [MODE...]
#
# MODE is "ahead" or "one-at-a-time" (default: both). Inside the harness's
# namespace the /24 on lo answers every address at once (refused), so the
# script gives lo only the addresses in use and routes the rest of the /24
# into a tun device nobody reads: a connect there waits out its time-out.
set -u
ctl=$1 timeout=${2:-5}
shift 2 2>/dev/null || shift $#
modes=("$@")
[ ${#modes[@]} -gt 0 ] || modes=(ahead one-at-a-time)
[ -n "${TARVIK_NETNS_INSIDE:-}" ] || { echo "run this inside tests/netns/run-in-netns.sh" >&2; exit 2; }

ip addr del 10.77.0.1/24 dev lo || exit 3
for a in 1 10 50 100 150 200; do ip addr add 10.77.0.$a/32 dev lo || exit 3; done
ip tuntap add tarvik-silent mode tun || exit 3
ip link set tarvik-silent up
ip route add 10.77.0.0/24 dev tarvik-silent || exit 3

printf '%-14s %8s %6s %6s\n' mode seconds added skips
for mode in "${modes[@]}"; do
  root=$(mktemp -d /tmp/tarvik-add-bench.XXXXXX)
  extra=()
  [ "$mode" = one-at-a-time ] && extra=(--one-at-a-time)
  start=$(date +%s.%N)
  out=$(TARVIK_ROOT=$root "$ctl" servers add 10.77.0.1 10.77.0.254 --yes --timeout "$timeout" \
        "${extra[@]}" 2>/dev/null)
  rc=$?
  end=$(date +%s.%N)
  printf '%-14s %8.1f %6d %6d  (exit %d, time-out %ss)\n' "$mode" "$(echo "$end - $start" | bc)" \
    "$(grep -c '^added' <<<"$out")" "$(grep -c '^skip' <<<"$out")" "$rc" "$timeout"
  rm -rf "$root"
done
