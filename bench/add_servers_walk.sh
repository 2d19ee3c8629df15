#!/bin/bash
# Times adding the servers of a /24 (10.77.0.1 - 10.77.0.254) with five
# simulated devices and every other address silent: tarvikctl with its
# concurrent name fetches ("cli"), tarvikctl one address at a time
# ("one-at-a-time"), and the utility's Add Server(s) in its own offscreen
# window ("utility", bench/add_servers_utility.cpp, every question answered
# OK). Not a test.
#
#   tests/netns/run-in-netns.sh --devsim bench/add_servers_devices.txt \
#     --devsim-bin build/bin/tarvik-devsim -- bench/add_servers_walk.sh \
#     build/bin/tarvikctl [TIMEOUT-SECONDS] [MODE...]
#
# MODE is cli, one-at-a-time or utility (default: cli and utility; the
# one-at-a-time walk takes about 249 time-outs). The utility's program is
# looked for beside tarvikctl. Inside the harness's namespace the /24 on lo
# answers every address at once (refused), so the script gives lo only the
# addresses in use and routes the rest of the /24 into a tun device nobody
# reads: a connect there waits out its time-out.
set -u
ctl=$1 timeout=${2:-5}
shift 2 2>/dev/null || shift $#
modes=("$@")
[ ${#modes[@]} -gt 0 ] || modes=(cli utility)
utility=$(dirname "$ctl")/add_servers_utility
[ -n "${TARVIK_NETNS_INSIDE:-}" ] || { echo "run this inside tests/netns/run-in-netns.sh" >&2; exit 2; }

ip addr del 10.77.0.1/24 dev lo || exit 3
for a in 1 10 50 100 150 200; do ip addr add 10.77.0.$a/32 dev lo || exit 3; done
ip tuntap add tarvik-silent mode tun || exit 3
ip link set tarvik-silent up
ip route add 10.77.0.0/24 dev tarvik-silent || exit 3

printf '%-14s %8s %10s %6s\n' mode seconds time-outs added
for mode in "${modes[@]}"; do
  root=$(mktemp -d /tmp/tarvik-add-bench.XXXXXX)
  start=$(date +%s.%N)
  case $mode in
    cli|one-at-a-time)
      extra=()
      [ "$mode" = one-at-a-time ] && extra=(--one-at-a-time)
      out=$(TARVIK_ROOT=$root "$ctl" servers add 10.77.0.1 10.77.0.254 --yes --timeout "$timeout" \
            "${extra[@]}" 2>/dev/null)
      rc=$?
      added=$(grep -c '^added' <<<"$out") ;;
    utility)
      out=$(TARVIK_ROOT=$root "$utility" 10.77.0.1 10.77.0.254 "$timeout" 2>/dev/null)
      rc=$?
      added=$(awk '{print $2}' <<<"$out") ;;
    *) echo "unknown mode $mode" >&2; exit 2 ;;
  esac
  end=$(date +%s.%N)
  seconds=$(echo "$end - $start" | bc)
  printf '%-14s %8.1f %10.2f %6s  (exit %d, time-out %ss)\n' "$mode" "$seconds" \
    "$(echo "$seconds / $timeout" | bc -l)" "$added" "$rc" "$timeout"
  rm -rf "$root"
done
