#!/usr/bin/env bash
# Takes docs/screenshot.png: the ln40util window under Xvfb while a simulated LN40 sends
# times. Needs Xvfb (apt-get install xvfb xauth). Not part of the tests.
#
#   gui/screenshot.sh [OUT.png [PAGE]]   (PAGE: 0 "Read times" (default) to 3 "Setup";
#                                         BUILD_DIR chooses the build folder, default build)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
out=${1:-docs/screenshot.png}
page=${2:-0}

command -v xvfb-run >/dev/null || { echo "screenshot.sh: needs xvfb-run (apt-get install xvfb xauth)" >&2; exit 1; }
cmake -S . -B "$build_dir" -G Ninja >/dev/null
cmake --build "$build_dir" --target gui_screenshot ln40sim

work=$(mktemp -d)
sim=""
cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The simulated reader prints its terminal's path first and sends once the window probes.
"$build_dir/tools/ln40sim/ln40sim" --rate 5 --wait-for-program >"$work/sim.out" 2>"$work/sim.log" &
sim=$!
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
tty=$(head -n 1 "$work/sim.out")
[ -n "$tty" ] || { echo "screenshot.sh: the simulator did not start:" >&2; cat "$work/sim.log" >&2; exit 1; }

# A race that started at 10:00:00 by the reader's clock.
printf 'cbtidel=dword:00000000\ncbautosave=dword:00000001\ncbclear=dword:00000000\ncbchronex=dword:00000001\ncbbfg=dword:00000001\nMaskEditEx1=sz:"10:00:00"\nEdit3=sz:"Test race"\nEdit2=sz:"10.10.04"\ncbtrim=dword:00000001\ncbinsert=dword:00000001\n' >"$work/ln40util.conf"
mkdir -p "$(dirname "$out")"
LN40UTIL_EXTRA_PORTS="ln40=$tty" LN40UTIL_SETTINGS="$work/ln40util.conf" \
  xvfb-run -a -s "-screen 0 1024x768x24" "$build_dir/tests/gui/gui_screenshot" "$out" "$work" 7000 "$page"
