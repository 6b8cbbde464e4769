#!/usr/bin/env bash
# The layers' includes against their CMake links. A file under src/X (or qt/) that includes
# "Y/..." of another src/ folder Y needs the target_link_libraries of ln40_X to name ln40_Y,
# so every dependency between layers is declared where a reader looks for it. Nothing under
# src/ includes a Qt header: Qt stays in gui/ and qt/.
set -u
root=${1:?usage: layering_test.sh SOURCE_DIR}
cd "$root" || exit 1
failures=0

for dir in src/*/ qt/; do
  dir=${dir%/}
  lib=ln40_${dir##*/}
  links=$(tr '\n' ' ' < "$dir/CMakeLists.txt" | grep -oE "target_link_libraries\($lib [^)]*\)")
  used=$(grep -rhoE --include='*.h' --include='*.cpp' '^\s*#\s*include\s*"[a-z_]+/' "$dir" |
         sed -E 's/.*"([a-z_]+)\/$/\1/' | sort -u)
  for y in $used; do
    if [ "src/$y" = "$dir" ] || [ ! -d "src/$y" ]; then continue; fi
    if ! grep -qw "ln40_$y" <<< "$links"; then
      echo "FAILED: $lib does not link ln40_$y, included by:"
      grep -rlE --include='*.h' --include='*.cpp' "^\s*#\s*include\s*\"$y/" "$dir"
      failures=$((failures + 1))
    fi
  done
done

if grep -rnE --include='*.h' --include='*.cpp' '^\s*#\s*include\s*[<"]Q' src; then
  echo "FAILED: Qt headers included under src/ (above)"
  failures=$((failures + 1))
fi

[ "$failures" -eq 0 ] && echo "ok: every include between layers is declared, no Qt under src/"
[ "$failures" -eq 0 ]
