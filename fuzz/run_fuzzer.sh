#!/usr/bin/env bash
# Builds one libFuzzer harness with clang++ and runs it for a number of seconds. Every
# harness of fuzz/ runs through this script; fuzz/CMakeLists.txt registers each with its
# seeds (ln40_add_fuzz_target) and `./build.sh fuzz SECONDS` runs them all.
#
#   run_fuzzer.sh --build DIR --target NAME --seconds N --work DIR
#                 [--dict FILE] [--max-len N] SEED_DIR...
#
# The harnesses and the libraries under them are built by CMake with clang++ in the build
# folder DIR (-fsanitize=fuzzer-no-link,address,undefined), only what changed being
# rebuilt. The harness is NAME_fuzzer there.
#
# Exit status: 0 when the run found nothing, 77 when clang++ or its libFuzzer runtime is
# missing (the test is then skipped), anything else when the build failed or the fuzzer
# found a crash, a leak or a hang. The input is left in the work folder as crash-*, leak-*,
# timeout-* or slow-unit-*; reproduce it with `DIR/NAME_fuzzer FILE`, and once fixed add it
# to the harness's corpus/ with a regression test next to the tests of the code.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
clangxx=${CLANGXX:-clang++}
clang=${CLANG:-clang}

build= target= seconds= work= max_len=65536
extra=()
seeds=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --target) target=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --dict) extra+=(-dict="$2"); shift 2 ;;
    --max-len) max_len=$2; shift 2 ;;
    -*) echo "run_fuzzer.sh: unknown option $1" >&2; exit 2 ;;
    *) seeds+=("$1"); shift ;;
  esac
done
if [ -z "$build" ] || [ -z "$target" ] || [ -z "$seconds" ] || [ -z "$work" ]; then
  echo "usage: run_fuzzer.sh --build DIR --target NAME --seconds N --work DIR [--dict FILE] [--max-len N] SEED_DIR..." >&2
  exit 2
fi

if ! command -v "$clangxx" > /dev/null; then
  echo "run_fuzzer.sh: $clangxx not found; skipping"
  exit 77
fi
mkdir -p "$work" "$build"
sanitizers="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"

# A compiler without the libFuzzer runtime cannot run this test at all.
probe=$build/probe.cpp
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' > "$probe"
if ! "$clangxx" -fsanitize=fuzzer,address,undefined "$probe" -o "$build/probe" 2> "$build/probe.log"; then
  echo "run_fuzzer.sh: $clangxx cannot build libFuzzer targets; skipping"
  cat "$build/probe.log"
  exit 77
fi

# Only the libraries and harnesses are built: no window, no tests, no benchmarks.
if [ ! -f "$build/build.ninja" ]; then
  echo "run_fuzzer.sh: configuring the clang build in $build"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_COMPILER="$clang" -DCMAKE_CXX_COMPILER="$clangxx" \
    -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DCMAKE_CXX_FLAGS="$sanitizers" \
    -DLN40_FUZZ_BUILD=ON -DLN40_BUILD_GUI=OFF -DLN40_BUILD_BENCH=OFF -DLN40_BUILD_TESTS=OFF > "$build/configure.log"
fi
cmake --build "$build" --parallel "$(nproc)" --target "${target}_fuzzer"
binary=$build/fuzz/${target}_fuzzer
[ -x "$binary" ] || binary=$(find "$build/fuzz" -name "${target}_fuzzer" -type f -perm -u+x | head -n 1)

# New inputs go into the work corpus; the committed seeds and fixtures are only read.
mkdir -p "$work/corpus"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
"$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
  "${extra[@]}" -print_final_stats=1 -error_exitcode=1 -artifact_prefix="$work/" \
  "$work/corpus" "${seeds[@]}"
