#!/usr/bin/env bash
# One entry point for a fresh Debian machine: installs what the build needs (as root, when
# missing), configures, builds, and then runs the tests, the demo or the benchmarks.
#
#   ./build.sh test    build and run every test (what CI runs)
#   ./build.sh demo    build and open the window with a simulated LN40 sending times
#                      (without a display: the program handling a recorded reader stream)
#   ./build.sh run     build and open the window for a real reader (arguments go to ln40util)
#   ./build.sh bench   build in release mode and run the benchmarks
#   ./build.sh build   configure and build only
set -euo pipefail
cd "$(dirname "$0")"

command=${1:-test}
build_dir=${BUILD_DIR:-build}
packages=(cmake ninja-build g++ clang pkg-config libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev python3-olefile python3-xlrd python3-xlwt)

install_missing_packages() {
  local missing=()
  for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "build.sh: missing packages: ${missing[*]}" >&2
    echo "build.sh: install them with: sudo apt-get install ${missing[*]}" >&2
    exit 1
  fi
  echo "build.sh: installing ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

configure_and_build() {
  local type=$1
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" >/dev/null
  cmake --build "$build_dir" --parallel "$(nproc)"
}

# The window with a simulated LN40 (ln40sim) on a pseudo-terminal: times arrive at once.
# The demo keeps its settings, logs and autosave in the build folder; closing the window
# stops the simulator.
demo_window() {
  local demo_dir="$build_dir/demo"
  mkdir -p "$demo_dir"
  demo_sim_pid=""  # global: the trap runs after this function has returned
  trap '[ -n "$demo_sim_pid" ] && kill "$demo_sim_pid" 2>/dev/null; wait 2>/dev/null || true' EXIT
  "$build_dir/tools/ln40sim/ln40sim" --rate 2 --wait-for-program >"$demo_dir/ln40sim.out" 2>"$demo_dir/ln40sim.log" &
  demo_sim_pid=$!
  # The simulator prints its terminal's path on its first line.
  for _ in $(seq 50); do [ -s "$demo_dir/ln40sim.out" ] && break; sleep 0.1; done
  local tty
  tty=$(head -n 1 "$demo_dir/ln40sim.out")
  if [ -z "$tty" ]; then
    echo "build.sh: the simulated reader did not start:" >&2
    cat "$demo_dir/ln40sim.log" >&2
    exit 1
  fi
  # A race whose reader clock started at 10:00:00.
  [ -f "$demo_dir/ln40util.conf" ] ||
    printf 'cbtidel=dword:00000000\ncbautosave=dword:00000001\ncbclear=dword:00000000\ncbchronex=dword:00000001\ncbbfg=dword:00000001\nMaskEditEx1=sz:"10:00:00"\nEdit3=sz:"Test race"\nEdit2=sz:"10.10.04"\ncbtrim=dword:00000001\ncbinsert=dword:00000001\n' >"$demo_dir/ln40util.conf"
  echo "Simulated LN40 on $tty; close the window to stop it."
  LN40UTIL_EXTRA_PORTS="ln40=$tty" LN40UTIL_SETTINGS="$demo_dir/ln40util.conf" \
    "$build_dir/gui/ln40util" --data-dir "$demo_dir" || true
}

install_missing_packages
case "$command" in
  build)
    configure_and_build RelWithDebInfo
    ;;
  test)
    configure_and_build RelWithDebInfo
    # Soak and fuzz runs carry their own labels and stay out of the default run.
    ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)" --label-exclude '^(soak|fuzz)$'
    ;;
  demo)
    configure_and_build RelWithDebInfo
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
      demo_window
    else
      echo "No display: the headless demo instead."
      echo "Reader lines from examples/reader_stream.txt, nulltime 10:00:00:"
      "$build_dir/tools/ln40cli/ln40cli" feed examples/reader_stream.txt --nulltime 10:00:00 --data-dir "$build_dir/demo" \
        --acks "$build_dir/demo_acks.txt" | tr -d '\r' | column -t -s, || true
      echo "Acknowledgements sent back: $(tr '\r' ' ' < "$build_dir/demo_acks.txt")"
    fi
    ;;
  run)
    configure_and_build RelWithDebInfo
    exec "$build_dir/gui/ln40util" "${@:2}"
    ;;
  bench)
    configure_and_build Release
    for program in "$build_dir"/bench/*_bench; do
      "$program" --benchmark_min_time=0.5
    done
    ;;
  *)
    echo "usage: ./build.sh [test|demo|run|bench|build]" >&2
    exit 2
    ;;
esac
