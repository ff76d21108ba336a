# The Windows show under Wine as a user starts it, on a virtual X display with
# Mesa's software renderer and no audio device. Below OpenGL 4.3 it names what
# is missing on stderr and in a message box, then exits with status 1.
# Otherwise its window covers the display, the loading display is drawn, show
# frames follow without audio (saying so in one line), and Escape ends it with
# status 0. usage: show_e2e_test.sh BUILD_DIR [PROGRAM] (default kestrin-show.exe;
# with the prefix of wine_prefix.sh)
build=$1
program=${2:-kestrin-show.exe}
fail() { echo "FAIL: $*"; exit 1; }
for tool in Xvfb xdotool ffmpeg wine; do command -v $tool >/dev/null || fail "$tool missing"; done
work=$(mktemp -d)
export WINEPREFIX="$build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  MESA_SHADER_CACHE_DIR="$build/mesa_cache" LIBGL_ALWAYS_SOFTWARE=1
# A Wine session's desktop takes the display of its first program: wait for
# any earlier session to end, and end this one with the virtual display.
wineserver -w
trap 'kill $show $xvfb 2>/dev/null; wineserver -k; rm -rf "$work"' EXIT
Xvfb -displayfd 3 -screen 0 640x360x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for i in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display")

start() { "$@" wine "$build/$program" >/dev/null 2>"$work/err" & show=$!; }
alive() { kill -0 $show 2>/dev/null || fail "the show ended early: $(cat "$work/err")"; }
said() { grep '^kestrin:' "$work/err"; }
# Sets $window to the window titled KESTRIN whose size is $1 (or is not, with !).
await_window() {
  for i in $(seq 600); do
    for window in $(xdotool search --name '^KESTRIN$' 2>/dev/null); do
      size=$(xdotool getwindowgeometry "$window" 2>/dev/null | sed -n 's/ *Geometry: //p')
      [ -n "$size" ] && [ "$size" $2= "$1" ] && return
    done
    alive
    sleep 0.1
  done
  fail "no window titled KESTRIN ($2$1) within a minute"
}
await_exit() {
  for i in $(seq 300); do kill -0 $show 2>/dev/null || break; sleep 0.2; done
  kill -0 $show 2>/dev/null && fail "the show did not end within a minute of $1"
  wait $show
  status=$?
}
# Lit pixels of the display, polled up to 2 minutes until above $1.
await_lit() {
  for i in $(seq 600); do
    n=$(ffmpeg -loglevel error -f x11grab -video_size 640x360 -i $DISPLAY -frames:v 1 \
      -f rawvideo -pix_fmt gray - | tr -d '\000' | wc -c)
    [ "$n" -gt $1 ] && return
    alive
    sleep 0.2
  done
  fail "$2 within 2 minutes: $n of 230400 pixels lit"
}

# 1. Below OpenGL 4.3: the line, then the box once the show's window is gone.
start env MESA_GL_VERSION_OVERRIDE=3.3
await_window 640x360 !
[ "$(said | wc -l)" -eq 1 ] && said | grep -q '^kestrin: needs OpenGL 4\.3; the driver offers 3\.3' ||
  fail "expected one line naming OpenGL 4.3: $(cat "$work/err")"
xdotool windowfocus --sync "$window" key Return
await_exit "the message box's OK"
[ $status -eq 1 ] || fail "below OpenGL 4.3 the show exited with $status, not 1"
echo "below OpenGL 4.3: $(said), in a $size message box too; status 1"

# 2. The show. The loading display lights part of the screen, show frames
# (floor and sky) all but a few pixels.
start env
await_window 640x360
await_lit 2000 "no loading display"
[ "$n" -lt 115200 ] || fail "the first picture is no loading display: $n pixels lit"
echo "loading display: $n of 230400 pixels lit"
await_lit 207360 "no show frame"
echo "show frame: $n of 230400 pixels lit"
# Escape at once: until the simulation's catch-up is bounded per frame, each
# frame under the software renderer takes longer than the one before.
xdotool windowfocus --sync "$window" keydown Escape
await_exit Escape
xdotool keyup Escape
[ $status -eq 0 ] || fail "after Escape the show exited with $status: $(cat "$work/err")"
[ "$(said | wc -l)" -eq 1 ] && said | grep -q '^kestrin: no audio device (.*), playing silent on the wall clock$' ||
  fail "expected the one no-audio line: $(cat "$work/err")"
echo "ok: $(said)"
