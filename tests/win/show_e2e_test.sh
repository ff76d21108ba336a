# The packed show and its unpacking stub under Wine on Xvfb. usage: show_e2e_test.sh BUILD_DIR CC
build=$(cd "$1" && pwd) cc=$2 src=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$build/e2e" && mkdir -p "$build/e2e" && cd "$build/e2e" || exit 1
fail() { echo "FAIL: $*"; exit 1; }
export WINEPREFIX="$build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d" \
  MESA_SHADER_CACHE_DIR="$build/mesa_cache" LIBGL_ALWAYS_SOFTWARE=1
# A Wine session's desktop takes its first program's display: a session of our own.
wineserver -w
trap 'kill $show $xvfb 2>/dev/null; wineserver -k' EXIT
Xvfb -displayfd 3 -screen 0 640x360x24 -nolisten tcp 3>display >/dev/null 2>&1 & xvfb=$!
for i in $(seq 100); do [ -s display ] && break; sleep 0.1; done
export DISPLAY=:$(cat display)

start() { "$@" >/dev/null 2>err & show=$!; }
says() {  # TEXT: the program's one line on stderr
  [ "$(grep -c '^kestrin:' err)" -eq 1 ] && grep -q "^kestrin: $1" err || fail "not \"$1\": $(cat err)"
}
poll() {  # SECONDS CONDITION WHAT: until the condition holds, while the program runs
  for i in $(seq $(($1 * 10))); do
    eval "$2" && return
    if ! kill -0 $show 2>/dev/null; then eval "$2" && return || fail "ended early: $(cat err)"; fi
    sleep 0.1
  done
  eval "fail \"$3 within $1 s\""
}
ended() { kill -0 $show 2>/dev/null && return 1; wait $show; status=$?; }
sized() {  # SIZE [!]: sets $window to a window titled KESTRIN of that size (or not)
  for window in $(xdotool search --name '^KESTRIN$' 2>/dev/null); do
    size=$(xdotool getwindowgeometry "$window" 2>/dev/null | sed -n 's/ *Geometry: //p')
    [ -n "$size" ] && [ "$size" $2= "$1" ] && return
  done
  return 1
}
lit() {  # more than $1 of the display's 230,400 pixels lit, counted in $n
  n=$(ffmpeg -loglevel error -f x11grab -video_size 640x360 -i $DISPLAY -frames:v 1 \
    -f rawvideo -pix_fmt gray - | tr -d '\000' | wc -c)
  [ "$n" -gt $1 ]
}
# The stub loads a probe linked at the stub's own base (taken when it runs): it checks itself.
probe() { $cc -Os -nostdlib -e Main -mconsole -o "$@" "$src/tests/win/pack_probe.c" -lkernel32 \
    -luser32; }
probe probe.exe -Wl,--image-base,0x140000000 -Xlinker --stack -Xlinker 3145728 || exit 1
sh "$src/gpu/pack_show_win.sh" $cc probe.exe packed.exe || exit 1
wine packed.exe >out 2>&1 || fail "the packed probe, status $?: $(cat out)"
grep -q "^file .*packed.exe $(stat -c %s packed.exe)$" out || fail "not the packed file: $(cat out)"

# A damaged payload (the probe's first, middle, last byte, the show's): 1 and a line naming it.
damage() {  # PACKED OFFSET: damaged.exe, a copy with that payload byte changed
  at=$(LC_ALL=C grep -obUaP "$(od -An -tx1 -N12 "$1.lzma" | sed 's/ /\\x/g')" "$1")
  cp "$1" damaged.exe
  printf '\125' | dd of=damaged.exe bs=1 seek=$((${at%%:*} + $2)) conv=notrunc 2>/dev/null
}
bytes=$(stat -c %s packed.exe.lzma)
for damaged in "packed.exe 0" "packed.exe $((bytes / 2))" "packed.exe $((bytes - 1))" \
  "$build/kestrin.exe $(($(stat -c %s "$build/kestrin.exe.lzma") / 2))"; do
  damage $damaged
  wine damaged.exe >out 2>err; status=$?
  [ $status -eq 1 ] && [ ! -s out ] && [ "$(wc -l <err)" -eq 1 ] &&
    grep -q 'damaged.exe: damaged file' err || fail "$damaged: $status $(cat err)"
done

# Refused when packing, with the reason.
while IFS='|' read -r file flags reason; do
  [ -z "$flags" ] || probe $file $flags
  sh "$src/gpu/pack_show_win.sh" $cc $file refused.exe 2>err && fail "$file was packed"
  grep -q "$reason" err && [ ! -e refused.exe ] || fail "$file: $(cat err)"
done <<EOF
tls.exe|-DWITH_TLS|thread-local storage or TLS callbacks
fixed.exe|-Wl,--disable-reloc-section|relocations stripped
EOF
echo "unpacking stub: ok"

# Below OpenGL 4.3: one line naming it, then a box (a smaller KESTRIN window) once the
# window is gone, closed by Return (until it ends: a box still being drawn may miss the first).
start env MESA_GL_VERSION_OVERRIDE=4.2 wine "$build/kestrin.exe"
poll 60 'sized 640x360 !' "no message box"
poll 60 'ended || { xdotool windowfocus "$window" key Return 2>/dev/null; false; }' "no exit"
[ $status -eq 1 ] || fail "below OpenGL 4.3: status $status after the message box"
says 'needs OpenGL 4\.3; the driver offers 4\.2'

# The show covers the display; its loading display lights part of it, show frames all but a
# few pixels; without audio it says so in one line; Escape (held: frames are slow) ends it: 0.
start wine "$build/kestrin.exe"
poll 60 'sized 640x360' "no window titled KESTRIN covering the display"
poll 120 'lit 2000' 'no loading display ($n pixels lit)'
[ "$n" -lt 115200 ] || fail "the first picture is no loading display: $n pixels lit"
poll 120 'lit 207360' 'no show frame ($n pixels lit)'
xdotool windowfocus --sync "$window" keydown Escape
poll 60 ended "no exit after Escape"
xdotool keyup Escape
[ $status -eq 0 ] || fail "after Escape the show exited with $status: $(cat err)"
says 'no audio device (.*), playing silent on the wall clock$'
echo ok
