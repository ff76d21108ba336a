# The Windows unpacking stub and its loader, under Wine: a probe program,
# packed, checks from the inside that it was linked, relocated and protected
# as the system would do it; damaged packed files end with status 1 and one
# line (or, with no stderr, a message box) instead of running garbage; and
# programs the loader cannot run faithfully are refused when packing.
build=$1
src=$(cd "$(dirname "$0")/.." && pwd)
cc=x86_64-w64-mingw32-gcc
if ! command -v $cc >/dev/null || ! command -v wine >/dev/null; then
  echo "MinGW-w64 or Wine missing (make windows installs them)"
  exit 77
fi
work=$build/pack_win
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
# A prefix of its own: Wine's session keeps the display it first ran with.
export WINEPREFIX=$build/wineprefix-pack WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"  # no installers, no crash dialog
failures=0
fail() { printf 'FAIL: %s\n' "$*"; failures=$((failures + 1)); }
trap 'kill $xvfb 2>/dev/null' EXIT
# A private display for the message box; console runs ignore it.
Xvfb -displayfd 3 -screen 0 640x360x24 -nolisten tcp 3>display >xvfb.log 2>&1 &
xvfb=$!
for i in $(seq 100); do [ -s display ] && break; sleep 0.1; done
[ -s display ] || { echo "Xvfb did not start: $(cat xvfb.log)"; exit 1; }
export DISPLAY=:$(cat display)

# The probe imports Twice by ordinal from a library beside it, is linked at
# the stub's own base (so that base is taken when it runs) and asks for a
# 3 MiB stack.
printf 'LIBRARY pack_win_ordinal.dll\nEXPORTS\nTwice @7 NONAME\n' >ordinal.def
$cc -Os -shared -nostdlib -e Attach -o pack_win_ordinal.dll "$src/tests/pack_win_ordinal.c" \
  ordinal.def -Wl,--out-implib,libordinal.a || exit 1
probe() {
  name=$1; shift
  $cc -Os -nostdlib -e Main -mconsole -o "$name" "$@" "$src/tests/pack_win_program.c" \
    libordinal.a -lkernel32
}
probe probe.exe -Wl,--image-base,0x140000000 -Xlinker --stack -Xlinker 3145728 || exit 1
sh "$src/gpu/pack_show_win.sh" $cc probe.exe packed.exe || exit 1
echo "packed probe: $(stat -c %s packed.exe) bytes"

wine packed.exe >out.txt 2>err.txt
status=$?
cat out.txt
[ $status -eq 0 ] || fail "the packed probe exited with $status: $(cat err.txt)"
[ "$(grep -c '^ok ' out.txt)" -eq 14 ] || fail "not every check of the probe passed"
grep -q '^stack 3145728$' out.txt || fail "the probe did not get the stack it asked for"
grep -q "^file .*packed.exe $(stat -c %s packed.exe)$" out.txt ||
  fail "the probe did not read the packed file through its module path"

# Damaged payloads: the range coder's first byte, the middle, the last byte.
pattern=$(od -An -tx1 -N12 packed.exe.lzma | sed 's/ /\\x/g')
at=$(LC_ALL=C grep -obUaP "$pattern" packed.exe | cut -d: -f1)
bytes=$(stat -c %s packed.exe.lzma)
[ -n "$at" ] || fail "the payload was not found in the packed file"
for offset in 0 $((bytes / 2)) $((bytes - 1)); do
  cp packed.exe damaged.exe
  printf '\125' | dd of=damaged.exe bs=1 seek=$((at + offset)) conv=notrunc 2>/dev/null
  wine damaged.exe >out.txt 2>err.txt
  status=$?
  [ $status -eq 1 ] || fail "payload damaged at $offset: exit status $status, not 1: $(cat err.txt)"
  [ "$(wc -l <err.txt)" -eq 1 ] && grep -q 'damaged.exe: damaged file' err.txt ||
    fail "payload damaged at $offset: not one line naming the file: $(cat err.txt)"
  [ -s out.txt ] && fail "payload damaged at $offset: the probe ran: $(cat out.txt)"
done

# With no stderr, as when started from the desktop: a message box, which
# Return closes, then status 1.
wine damaged.exe 2>&- &
program=$!
for i in $(seq 150); do
  box=$(xdotool search --name '^KESTRIN$' 2>/dev/null | head -1)
  [ -n "$box" ] && break
  kill -0 $program 2>/dev/null || break
  sleep 0.2
done
if [ -n "$box" ]; then
  sleep 0.5
  xdotool key --window "$box" Return 2>/dev/null
  for i in $(seq 50); do kill -0 $program 2>/dev/null || break; sleep 0.2; done
else
  fail "no message box titled KESTRIN appeared"
fi
kill $program 2>/dev/null
wait $program
status=$?
[ $status -eq 1 ] || fail "after the message box: exit status $status, not 1"

# Refused when packing, each with its reason.
printf '1 RCDATA { "x" }\n' >resource.rc
x86_64-w64-mingw32-windres resource.rc -O coff -o resource.o
probe tls.exe -DWITH_TLS
probe addr32.exe -DWITH_ADDR32 -Wl,--image-base,0x10000000
probe resources.exe resource.o
probe fixed.exe -Wl,--disable-reloc-section
# This linker leaves delayed imports to the program's own code; other linkers
# write the directory: set it by hand (entry 13, 240 bytes into the headers).
cp probe.exe delayed.exe
headers=$(od -An -tu4 -j60 -N4 delayed.exe | tr -d ' ')
printf '\000\020\000\000\100\000\000\000' |
  dd of=delayed.exe bs=1 seek=$((headers + 240)) conv=notrunc 2>/dev/null
while IFS='|' read -r file reason; do
  rm -f refused.exe
  if sh "$src/gpu/pack_show_win.sh" $cc "$file" refused.exe 2>err.txt; then
    fail "$file was packed"
  elif ! grep -q "$reason" err.txt; then
    fail "$file refused without saying why ($reason): $(cat err.txt)"
  fi
  [ -e refused.exe ] && fail "$file: an executable was left behind"
done <<EOF
tls.exe|thread-local storage or TLS callbacks
addr32.exe|types the loader does not apply: HIGHLOW
resources.exe|resources
fixed.exe|relocations stripped
delayed.exe|delayed imports
pack_win_ordinal.dll|a DLL
ordinal.def|not a PE file
EOF

[ $failures -eq 0 ] && echo "ok"
[ $failures -eq 0 ]
