#!/usr/bin/env bash
# Builds the workbook fuzzer with clang++ (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs it on the seed corpus for a number of seconds.
#
#   run_workbook_fuzzer.sh SECONDS WORK_DIR
#
# Exit status: 0 when the run found nothing, 77 when clang++ or its libFuzzer runtime is
# missing (the test is then skipped), anything else when the build failed or the fuzzer
# found a crash, a leak or a hang (the input is left in WORK_DIR as crash-*, leak-* or
# timeout-*; add it to fuzz/workbook/corpus/ with a regression test once fixed).
set -euo pipefail
seconds=${1:?seconds}
work=${2:?work dir}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
clangxx=${CLANGXX:-clang++}

if ! command -v "$clangxx" > /dev/null; then
  echo "run_workbook_fuzzer.sh: $clangxx not found; skipping"
  exit 77
fi
mkdir -p "$work"
flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)

# A compiler without the libFuzzer runtime cannot run this test at all.
probe=$work/probe.cpp
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' > "$probe"
if ! "$clangxx" "${flags[@]}" "$probe" -o "$work/probe" 2> "$work/probe.log"; then
  echo "run_workbook_fuzzer.sh: $clangxx cannot build libFuzzer targets; skipping"
  cat "$work/probe.log"
  exit 77
fi

sources=(
  "$here/workbook_fuzzer.cpp"
  "$root"/src/workbook/*.cpp
  "$root"/src/text/*.cpp
)
binary=$work/workbook_fuzzer
rebuild=0
[ -x "$binary" ] || rebuild=1
for source in "${sources[@]}" "$root"/src/workbook/*.h "$root"/src/text/*.h; do
  [ "$source" -nt "$binary" ] && rebuild=1
done
if [ "$rebuild" = 1 ]; then
  echo "run_workbook_fuzzer.sh: building $binary"
  "$clangxx" "${flags[@]}" -I "$root/src" "${sources[@]}" -o "$binary"
fi

# New inputs go into the work corpus; the committed seeds and fixtures are only read.
mkdir -p "$work/corpus"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -print_final_stats=1 -error_exitcode=1 -artifact_prefix="$work/" \
  "$work/corpus" "$here/corpus" "$root/tests/workbook/fixtures"
