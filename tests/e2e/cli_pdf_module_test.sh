#!/usr/bin/env bash
# ln40cli's PDF printing is a module loaded only by --pdf: the tool itself needs no Qt Gui,
# a missing or broken module ends the command with a clear message before anything is
# written, and an installed tool finds the module in the library folder it names.
#   cli_pdf_module_test.sh LN40CLI MODULE
set -u
cli=$1
module=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check NAME COMMAND...: the command must succeed
  local name=$1; shift
  if "$@"; then echo "ok: $name"; else echo "FAILED: $name"; failures=$((failures + 1)); fi
}

check "ln40cli does not link Qt Gui" bash -c "! readelf -d '$cli' | grep -q 'NEEDED.*Qt6Gui'"
check "the module links Qt Gui" bash -c "readelf -d '$module' | grep -q 'NEEDED.*Qt6Gui'"

printf '%s\r\n' 'Fornavn,Etternavn,Klasse,Klubb,Kjønn,Løype,Startnr,Brikkenr,Starttid,Kid,Inkomst,Sluttid' \
  'Kari,Nordmann,D21,Club 1,,,1,,10:00:00,1,,00:31:12' > "$work/sheet.csv"

# ln40cli alone in a folder like an installed program's: the module is neither beside it nor
# in the library folder. Then a file of the module's name beside it that is no module.
mkdir -p "$work/usr/bin" "$work/out"
cp "$cli" "$work/usr/bin/ln40cli"
installed=$work/usr/bin/ln40cli
for case in missing broken; do
  [ "$case" = broken ] && echo 'not a module' > "$work/usr/bin/$(basename "$module")"
  for command in results startlist; do
    "$installed" "$command" "$work/sheet.csv" "$work/out/list.htm" --pdf "$work/out/list.pdf" \
      --data-dir "$work/out/data" > "$work/stdout" 2> "$work/stderr"
    check "$case module: $command --pdf exits 1" test $? -eq 1
    check "$case module: $command says so in one line" test "$(wc -l < "$work/stderr")" -eq 1
    check "$case module: $command names the module and the remedy" \
      grep -Eq "^ln40cli: PDF printing is not available: cannot load $work/usr/.*$(basename "$module") \(.+\)\. Reinstall ln40util\.$" "$work/stderr"
    check "$case module: $command writes nothing" test -z "$(ls -A "$work/out")" -a ! -s "$work/stdout"
  done
done
check "a broken module beside ln40cli is the one named" grep -q "cannot load $work/usr/bin/$(basename "$module") (" "$work/stderr"
rm "$work/usr/bin/$(basename "$module")"

# The module where the message said it was looked for: the installed tool prints.
"$installed" results "$work/sheet.csv" "$work/out/list.htm" --pdf "$work/out/list.pdf" 2> "$work/stderr"
searched=$(sed -n 's/^ln40cli: PDF printing is not available: cannot load \(.*\) (.*/\1/p' "$work/stderr")
check "the installed place is in the library folder" grep -Eq "^$work/usr/lib/.*ln40util/" <<< "$searched"
mkdir -p "$(dirname "$searched")"
cp "$module" "$searched"
"$installed" results "$work/sheet.csv" "$work/out/list.htm" --pdf "$work/out/list.pdf" 2> "$work/stderr"
check "installed: results --pdf exits 0" test $? -eq 0 || cat "$work/stderr"
check "installed: the PDF is written" grep -q '^%PDF' "$work/out/list.pdf"

[ "$failures" -eq 0 ] || { echo "$failures checks failed"; exit 1; }
