# The one way the screenshot scripts run the utility under Xvfb; sourced by
# tools/screenshot.sh and tools/screenshot-companions.sh.
#
#   xvfb_session WIDTHxHEIGHT OUT.png DELAY_MS [STEPS]
#
# Starts a virtual X server on a free display (xvfb-run), the utility
# (tarvik from the PATH) on it, runs STEPS (shell code, for instance xdotool
# keys; none by default), then saves what the screen shows to OUT.png after
# DELAY_MS with tarvik-screengrab, and ends the utility. Returns the grab's
# status.
xvfb_session() {
  local size=$1 out=$2 delay=$3 steps=${4:-}
  command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (Debian package xvfb)" >&2; return 1; }
  xvfb-run -a -s "-screen 0 ${size}x24 -br" bash -c '
    set -u
    tarvik & pid=$!
    eval "$3"
    tarvik-screengrab "$1" "$2"; status=$?
    kill -TERM $pid; wait $pid || true
    exit $status' _ "$out" "$delay" "$steps"
}
