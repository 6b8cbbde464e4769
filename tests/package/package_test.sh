#!/usr/bin/env bash
# The Debian package: cpack builds it from the build folder, dpkg -x unpacks it into a
# scratch root, and the installed programs run from there.
#   package_test.sh CPACK BUILD_DIR VERSION SAMPLE_DATA
set -u
cpack=$1
build=$2
version=$3
data=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0
check() {  # check NAME COMMAND...: the command must succeed
  local name=$1; shift
  if "$@"; then echo "ok: $name"; passes=$((passes + 1)); else echo "FAILED: $name"; failures=$((failures + 1)); fi
}

arch=$(dpkg --print-architecture)
deb="$work/out/ln40util_${version}_${arch}.deb"
"$cpack" --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1
check "cpack succeeds" test $? -eq 0 || cat "$work/cpack.log"
check "package file name" test -f "$deb"
if [ ! -f "$deb" ]; then
  cat "$work/cpack.log"
  echo "$passes passed, $failures failed"
  exit 1
fi

# The control fields apt reads to pull the dependencies.
dpkg-deb -f "$deb" Package Version Architecture Depends > "$work/control"
check "package name" grep -qx 'Package: ln40util' "$work/control"
check "version" grep -qx "Version: $version" "$work/control"
for library in libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libc6 libstdc++6; do
  check "depends on $library" grep -q "$library" "$work/control"
done

dpkg-deb -c "$deb" | awk '{print $6}' > "$work/files"
for file in ./usr/bin/ln40util ./usr/bin/ln40cli ./usr/bin/ln40sim ./usr/share/applications/ln40util.desktop \
            ./usr/share/icons/hicolor/scalable/apps/ln40util.svg ./usr/lib/udev/rules.d/60-ln40util.rules; do
  check "holds $file" grep -qx -- "$file" "$work/files"
done
check "holds ln40cli's PDF module in the library folder" grep -qE '^\./usr/lib/(.+/)?ln40util/ln40cli-pdf\.so$' "$work/files"
dpkg-deb -e "$deb" "$work/control.d"
check "postinst is valid shell" sh -n "$work/control.d/postinst"
check "postrm is valid shell" sh -n "$work/control.d/postrm"

root="$work/root"
dpkg -x "$deb" "$root"
bin="$root/usr/bin"
check "udev rule gives the dialout group the USB serial adapters" \
  grep -q 'KERNEL=="ttyUSB\[0-9\]\*", GROUP="dialout", MODE="0660"' "$root/usr/lib/udev/rules.d/60-ln40util.rules"
check "udev rule keeps ModemManager off the reader's adapter and links it as /dev/ln40" \
  grep -qF 'ATTRS{idVendor}=="0403", ATTRS{idProduct}=="6001", ENV{ID_MM_DEVICE_IGNORE}="1", SYMLINK+="ln40"' \
  "$root/usr/lib/udev/rules.d/60-ln40util.rules"
check "desktop entry starts ln40util" grep -qx 'Exec=ln40util' "$root/usr/share/applications/ln40util.desktop"
if command -v desktop-file-validate > /dev/null; then
  check "desktop entry is valid" desktop-file-validate "$root/usr/share/applications/ln40util.desktop"
fi
module=$(find "$root/usr/lib" -name ln40cli-pdf.so)
for program in "$bin/ln40util" "$bin/ln40cli" "$bin/ln40sim" "$module"; do
  check "${program##*/} finds its libraries" test "$(ldd "$program" | grep -c 'not found')" -eq 0
done

"$bin/ln40cli" --help > "$work/help.txt" 2>&1
check "installed ln40cli --help" test $? -eq 0
check "help lists feed" grep -q 'feed' "$work/help.txt"
"$bin/ln40util" --help > "$work/window-help.txt" 2>&1
check "installed ln40util --help" test $? -eq 0
"$bin/ln40sim" --help > /dev/null 2>&1
check "installed ln40sim --help" test $? -eq 0

# A race-day stream through the installed tool gives the same table as the built one.
"$bin/ln40cli" feed "$data/race_day.txt" --data-dir "$work/feed" --date 2026-12-08 --nulltime 10:00:00 \
  --locale nb-NO --decimal-separator . --table "$work/out.csv" --acks "$work/acks.bin"
check "installed ln40cli feed" test $? -eq 0
check "feed table" cmp "$work/out.csv" "$data/race_day_expected.csv"
check "feed acknowledgements" cmp "$work/acks.bin" <(printf '+\r+\r+\r+\r+\r')

# The installed ln40cli finds its PDF module and prints.
printf '%s\r\n' 'Fornavn,Etternavn,Klasse,Klubb,Kjønn,Løype,Startnr,Brikkenr,Starttid,Kid,Inkomst,Sluttid' \
  'Kari,Nordmann,D21,Club 1,,,1,,10:00:00,1,,00:31:12' > "$work/sheet.csv"
"$bin/ln40cli" results "$work/sheet.csv" "$work/results.htm" --pdf "$work/results.pdf" 2> "$work/pdf.err"
check "installed ln40cli results --pdf" test $? -eq 0 || cat "$work/pdf.err"
check "results PDF" grep -q '^%PDF' "$work/results.pdf"

# Installed, the program keeps its files in the user's data folder, not beside itself.
XDG_DATA_HOME="$work/xdg" "$bin/ln40cli" feed "$data/race_day.txt" --nulltime 10:00:00 --locale nb-NO \
  --table "$work/xdg.csv"
check "logs in \$XDG_DATA_HOME/ln40util" test -s "$work/xdg/ln40util/Chronex.log"
check "no logs among the programs" test ! -e "$bin/Chronex.log"
env -u XDG_DATA_HOME HOME="$work/home" "$bin/ln40cli" feed "$data/race_day.txt" --nulltime 10:00:00 \
  --locale nb-NO --table "$work/home.csv"
check "logs in ~/.local/share/ln40util" test -s "$work/home/.local/share/ln40util/Chronex.log"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
