# The Windows unpacking stub under Wine: a packed probe program checks from the
# inside that it was linked, relocated and protected as the system would do
# it; a damaged payload (the probe's, and the shipped kestrin.exe's) ends with
# status 1 and one line (with no stderr, a message box) instead of running;
# what the loader cannot run is refused when packing.
# usage: pack_test.sh BUILD_DIR CC (with the prefix of wine_prefix.sh)
build=$(cd "$1" && pwd)
cc=$2
src=$(cd "$(dirname "$0")/../.." && pwd)
work=$build/pack
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
export WINEPREFIX="$build/wine" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"  # no installers, no crash dialog
failures=0
fail() { printf 'FAIL: %s\n' "$*"; failures=$((failures + 1)); }
# A Wine session's desktop takes the display of its first program (the box
# needs this one's): wait for any earlier session, end this one with it.
wineserver -w
trap 'kill $xvfb 2>/dev/null; wineserver -k' EXIT
Xvfb -displayfd 3 -screen 0 640x360x24 -nolisten tcp 3>display 2>/dev/null &
xvfb=$!
for i in $(seq 100); do [ -s display ] && break; sleep 0.1; done
export DISPLAY=:$(cat display)

# The probe imports by ordinal from a library beside it, is linked at the
# stub's own base (taken when it runs) and asks for a 3 MiB stack.
printf 'LIBRARY pack_win_ordinal.dll\nEXPORTS\nTwice @7 NONAME\n' >ordinal.def
$cc -shared -nostdlib -e Attach -o pack_win_ordinal.dll "$src/tests/win/pack_ordinal.c" \
  ordinal.def -Wl,--out-implib,libordinal.a || exit 1
probe() {
  name=$1; shift
  $cc -Os -nostdlib -e Main -mconsole -o $name "$@" "$src/tests/win/pack_probe.c" \
    libordinal.a -lkernel32 -luser32
}
probe probe.exe -Wl,--image-base,0x140000000 -Xlinker --stack -Xlinker 3145728 || exit 1
sh "$src/gpu/pack_show_win.sh" $cc probe.exe packed.exe || exit 1
wine packed.exe >out.txt 2>&1
status=$?
cat out.txt
[ $status -eq 0 ] && [ "$(grep -c '^ok ' out.txt)" -eq 8 ] || fail "the packed probe: status $status"
grep -q '^stack 3145728$' out.txt || fail "not the stack the probe asked for"
grep -q "^file .*packed.exe $(stat -c %s packed.exe)$" out.txt || fail "not the packed file's path"

# Damaged payloads (first, middle and last byte): one line naming the file.
damage() {  # PACKED OFFSET: a copy, damaged.exe, with that payload byte changed
  at=$(LC_ALL=C grep -obUaP "$(od -An -tx1 -N12 "$1.lzma" | sed 's/ /\\x/g')" "$1")
  cp "$1" damaged.exe
  printf '\125' | dd of=damaged.exe bs=1 seek=$((${at%%:*} + $2)) conv=notrunc 2>/dev/null
}
bytes=$(stat -c %s packed.exe.lzma)
shown=$(($(stat -c %s "$build/kestrin.exe.lzma") / 2))
for damaged in "packed.exe 0" "packed.exe $((bytes / 2))" "packed.exe $((bytes - 1))" \
  "$build/kestrin.exe $shown"; do
  damage $damaged
  wine damaged.exe >out.txt 2>err.txt
  status=$?
  [ $status -eq 1 ] && [ ! -s out.txt ] && [ "$(wc -l <err.txt)" -eq 1 ] &&
    grep -q 'damaged.exe: damaged file' err.txt || fail "$damaged: $status $(cat err.txt)"
done
# With no stderr, as when started from the desktop: a box, closed by Return.
damage packed.exe 0
wine damaged.exe 2>&- &
program=$!
for i in $(seq 150); do
  box=$(xdotool search --name '^KESTRIN$' 2>/dev/null) && break
  sleep 0.2
done
[ -n "$box" ] && xdotool key --window "$box" Return 2>/dev/null || fail "no message box"
for i in $(seq 50); do kill -0 $program 2>/dev/null && sleep 0.2; done
kill $program 2>/dev/null
wait $program
status=$?
[ $status -eq 1 ] || fail "after the message box: status $status"

# Refused when packing, each with its reason. This linker leaves delayed
# imports to the program's own code; other linkers fill in the directory
# (entry 13, 240 bytes into the PE header): set it by hand.
printf '1 RCDATA { "x" }\n' >resource.rc
x86_64-w64-mingw32-windres resource.rc -O coff -o resource.o
probe tls.exe -DWITH_TLS
probe addr32.exe -DWITH_ADDR32 -Wl,--image-base,0x10000000
probe resources.exe resource.o
probe fixed.exe -Wl,--disable-reloc-section
cp probe.exe delayed.exe
printf '\000\020\000\000\100\000\000\000' | dd of=delayed.exe bs=1 conv=notrunc 2>/dev/null \
  seek=$(($(od -An -tu4 -j60 -N4 delayed.exe) + 240))
while IFS='|' read -r file reason; do
  rm -f refused.exe
  sh "$src/gpu/pack_show_win.sh" $cc $file refused.exe 2>err.txt && fail "$file was packed"
  grep -q "$reason" err.txt && [ ! -e refused.exe ] || fail "$file: $(cat err.txt)"
done <<EOF
tls.exe|thread-local storage or TLS callbacks
addr32.exe|types the loader does not apply: HIGHLOW
resources.exe|resources
fixed.exe|relocations stripped
delayed.exe|delayed imports
pack_win_ordinal.dll|a DLL
EOF
[ $failures -eq 0 ] && echo ok
