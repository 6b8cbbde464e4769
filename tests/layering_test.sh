#!/usr/bin/env bash
# The layers' includes against their CMake links. A file of a library under src/X (or qt/)
# that includes "Y/..." of another src/ folder Y needs the library's target_link_libraries to
# name ln40_Y, so every dependency between layers is declared where a reader looks for it. A
# folder with one library owns all its files; in a folder with several (qt/), a library owns
# the sources its add_library lists and their headers. Nothing under src/ includes a Qt
# header: Qt stays in gui/ and qt/.
set -u
root=${1:?usage: layering_test.sh SOURCE_DIR}
cd "$root" || exit 1
failures=0

check_library() {  # check_library DIR LIB FILE...
  local dir=$1 lib=$2; shift 2
  local links used y
  if [ $# -eq 0 ]; then echo "FAILED: no files found for $lib"; failures=$((failures + 1)); return; fi
  links=$(tr '\n' ' ' < "$dir/CMakeLists.txt" | grep -oE "target_link_libraries\($lib [^)]*\)")
  used=$(grep -hoE '^\s*#\s*include\s*"[a-z_]+/' "$@" | sed -E 's/.*"([a-z_]+)\/$/\1/' | sort -u)
  for y in $used; do
    if [ "src/$y" = "$dir" ] || [ ! -d "src/$y" ]; then continue; fi
    if ! grep -qw "ln40_$y" <<< "$links"; then
      echo "FAILED: $lib does not link ln40_$y, included by:"
      grep -lE "^\s*#\s*include\s*\"$y/" "$@"
      failures=$((failures + 1))
    fi
  done
}

for dir in src/*/ qt/; do
  dir=${dir%/}
  libraries=$(grep -oE 'add_library\([a-z0-9_]+' "$dir/CMakeLists.txt" | cut -c13-)
  if [ "$(wc -w <<< "$libraries")" -eq 1 ]; then
    check_library "$dir" "$libraries" $(find "$dir" -name '*.h' -o -name '*.cpp')
    continue
  fi
  for lib in $libraries; do
    files=()
    for source in $(tr '\n' ' ' < "$dir/CMakeLists.txt" | grep -oE "add_library\($lib [^)]*\)" | grep -oE '[a-z0-9_/]+\.cpp'); do
      files+=("$dir/$source")
      [ -f "$dir/${source%.cpp}.h" ] && files+=("$dir/${source%.cpp}.h")
    done
    check_library "$dir" "$lib" "${files[@]}"
  done
done

if grep -rnE --include='*.h' --include='*.cpp' '^\s*#\s*include\s*[<"]Q' src; then
  echo "FAILED: Qt headers included under src/ (above)"
  failures=$((failures + 1))
fi

[ "$failures" -eq 0 ] && echo "ok: every include between layers is declared, no Qt under src/"
[ "$failures" -eq 0 ]
