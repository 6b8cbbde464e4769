#!/usr/bin/env bash
# One entry point for a fresh Debian machine: installs what the build needs (as root, when
# missing), configures, builds, and then runs the tests, the demo or the benchmarks.
#
#   ./build.sh test    build and run every test (what CI runs)
#   ./build.sh demo    build and show the program handling a recorded reader stream
#   ./build.sh bench   build in release mode and run the benchmarks
#   ./build.sh build   configure and build only
set -euo pipefail
cd "$(dirname "$0")"

command=${1:-test}
build_dir=${BUILD_DIR:-build}
packages=(cmake ninja-build g++ clang pkg-config libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev python3-olefile)

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
    echo "Reader lines from examples/reader_stream.txt, nulltime 10:00:00:"
    "$build_dir/tools/ln40cli/ln40cli" feed examples/reader_stream.txt --nulltime 10:00:00 \
      --acks "$build_dir/demo_acks.txt" | tr -d '\r' | column -t -s, || true
    echo "Acknowledgements sent back: $(tr '\r' ' ' < "$build_dir/demo_acks.txt")"
    ;;
  bench)
    configure_and_build Release
    for program in "$build_dir"/bench/*_bench; do
      "$program" --benchmark_min_time=0.5
    done
    ;;
  *)
    echo "usage: ./build.sh [test|demo|bench|build]" >&2
    exit 2
    ;;
esac
