#!/usr/bin/env bash
# One entry point for a fresh Debian machine: installs what the build needs (as root, when
# missing), configures, builds, and then runs the tests, the demo or the benchmarks.
#
#   ./build.sh test    build and run every test (what CI runs)
#   ./build.sh test --sanitize
#                      the same in build-sanitize/ with AddressSanitizer and
#                      UndefinedBehaviorSanitizer (fuzz-short is left out: the fuzzers
#                      carry both sanitizers already)
#   ./build.sh fuzz SECONDS
#                      build every libFuzzer harness with clang and run each for SECONDS
#   ./build.sh demo    build and open the window with a simulated LN40 sending times
#                      (without a display: the program handling a recorded reader stream)
#   ./build.sh run     build and open the window for a real reader (arguments go to ln40util)
#   ./build.sh bench   build in release mode and run the benchmarks
#   ./build.sh build   configure and build only
set -euo pipefail
cd "$(dirname "$0")"

command=${1:-test}
sanitize=0
[ "${2:-}" = "--sanitize" ] && sanitize=1
if [ "$sanitize" = 1 ]; then build_dir=${BUILD_DIR:-build-sanitize}; else build_dir=${BUILD_DIR:-build}; fi
# The last three are the peers of the interop tests: LibreOffice and Gnumeric open the
# workbooks we write, Chromium shows the result list page.
packages=(cmake ninja-build g++ clang pkg-config libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev python3-olefile python3-xlrd python3-xlwt poppler-utils libsqlite3-dev e2fsprogs
          libreoffice-calc-nogui gnumeric chromium)

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
  local extra=()
  if [ "$sanitize" = 1 ]; then
    local flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
    # -O1 with line tables only: half the compile time of -O2 -g, and the reports still
    # name file and line. Benchmarks measure nothing useful under the sanitizers.
    type=Debug
    extra=(-DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags"
           -DCMAKE_SHARED_LINKER_FLAGS="$flags" -DCMAKE_MODULE_LINKER_FLAGS="$flags" -DLN40_BUILD_BENCH=OFF)
  fi
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "${extra[@]}" >/dev/null
  cmake --build "$build_dir" --parallel "$(nproc)"
}

# Every report of the sanitizers fails the test that caused it. Leaks inside third-party
# libraries (Qt, fontconfig) are suppressed by name in tests/sanitize/lsan.supp.
sanitizer_environment() {
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:check_initialization_order=1}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/sanitize/lsan.supp:print_suppressions=0}
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
    if [ "$sanitize" = 1 ]; then
      sanitizer_environment
      ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)" --label-exclude '^(soak|fuzz|fuzz-short)$'
    else
      ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)" --label-exclude '^(soak|fuzz)$'
    fi
    ;;
  fuzz)
    seconds=${2:-}
    case "$seconds" in ''|*[!0-9]*) echo "usage: ./build.sh fuzz SECONDS" >&2; exit 2 ;; esac
    # The harnesses are built with clang by their tests (fuzz/run_fuzzer.sh), in
    # $build_dir/fuzz-clang; the main build only has to be configured. One harness after
    # the other, each for SECONDS; a finding fails its test and leaves the input in
    # $build_dir/fuzz/.../NAME/.
    cmake -S . -B "$build_dir" -G Ninja -DLN40_FUZZ_SECONDS="$seconds" >/dev/null
    ctest --test-dir "$build_dir" --output-on-failure -L '^fuzz$'
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
    echo "usage: ./build.sh [test [--sanitize]|fuzz SECONDS|demo|run|bench|build]" >&2
    exit 2
    ;;
esac
