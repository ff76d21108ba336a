# The Windows show under Wine as a user starts it, on a virtual X display with
# Mesa's software renderer and no audio device. Below OpenGL 4.3 it names what
# is missing on stderr and in a message box and exits with status 1. Otherwise
# the window titled KESTRIN covers the display, the loading display is drawn,
# show frames follow without audio (saying so in one line), and Escape ends it
# with status 0.
# usage: show_e2e_test.sh BUILD_DIR (the prefix from wine_prefix.sh)
build=$1
exe=$build/kestrin-show.exe
fail() { echo "FAIL: $*"; exit 1; }
for tool in Xvfb xdotool ffmpeg wine; do command -v $tool >/dev/null || fail "$tool missing"; done
work=$(mktemp -d)
show=
trap 'kill $show $xvfb 2>/dev/null; rm -rf "$work"' EXIT
export WINEPREFIX="$build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

Xvfb -displayfd 3 -screen 0 640x360x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
for i in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(cat "$work/display")

# Waits up to $1 tenths of a second for a window titled KESTRIN; sets $window.
find_window() {
  window=
  for i in $(seq $1); do
    window=$(xdotool search --name '^KESTRIN$' 2>/dev/null | head -1)
    [ -n "$window" ] && return 0
    kill -0 $show 2>/dev/null || fail "the show ended early: $(cat "$work/err")"
    sleep 0.1
  done
  fail "no window titled KESTRIN within $(($1 / 10)) s"
}
# Waits up to $1 seconds for the show to end; sets $status.
await_exit() {
  for i in $(seq $(($1 * 5))); do kill -0 $show 2>/dev/null || break; sleep 0.2; done
  kill -0 $show 2>/dev/null && fail "the show did not end within $1 s of $2"
  wait $show
  status=$?
  show=
}
# The lit pixels of the display now, and the frame itself in $work/shot.
lit() {
  ffmpeg -loglevel error -y -f x11grab -video_size 640x360 -i $DISPLAY -frames:v 1 \
    -f rawvideo -pix_fmt gray "$work/shot.raw" || fail "screenshot failed"
  tr -d '\000' <"$work/shot.raw" | wc -c
}
lines() { grep '^kestrin:' "$work/err"; }

# 1. A driver below OpenGL 4.3: the line comes first, then the box, once the
# show's own window is gone.
MESA_GL_VERSION_OVERRIDE=3.3 wine "$exe" >"$work/out" 2>"$work/err" &
show=$!
box=
for i in $(seq 300); do
  for w in $(xdotool search --name '^KESTRIN$' 2>/dev/null); do
    geometry=$(xdotool getwindowgeometry "$w" 2>/dev/null | sed -n 's/ *Geometry: //p')
    [ -n "$geometry" ] && [ "$geometry" != 640x360 ] && box=$w
  done
  [ -n "$box" ] && break
  kill -0 $show 2>/dev/null || fail "ended without a message box: $(cat "$work/err")"
  sleep 0.1
done
[ -n "$box" ] || fail "no message box titled KESTRIN within 30 s: $(cat "$work/err")"
[ "$(lines | wc -l)" -eq 1 ] && lines | grep -q '^kestrin: needs OpenGL 4\.3; the driver offers 3\.3' ||
  fail "expected one line naming OpenGL 4.3, got: $(cat "$work/err")"
xdotool windowfocus --sync "$box" key Return
await_exit 20 "the message box's OK"
[ $status -eq 1 ] || fail "below OpenGL 4.3 the show exited with $status, not 1"
echo "below OpenGL 4.3: $(lines), in a message box ($geometry) too; status 1"

# 2. The show.
wine "$exe" >"$work/out" 2>"$work/err" &
show=$!
find_window 600
geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/ *Geometry: //p')
[ "$geometry" = 640x360 ] || fail "the window is $geometry, not the display's 640x360"
# The loading display lights part of the screen; show frames (floor and sky)
# light all but a few pixels.
for i in $(seq 100); do
  n=$(lit)
  [ "$n" -gt 2000 ] && break
  sleep 0.2
done
[ "$n" -gt 2000 ] && [ "$n" -lt 115200 ] || fail "no loading display: $n pixels lit"
echo "loading display: $n of 230400 pixels lit"
for i in $(seq 600); do
  n=$(lit)
  [ "$n" -gt 207360 ] && break
  kill -0 $show 2>/dev/null || fail "the show ended early: $(cat "$work/err")"
  sleep 0.2
done
[ "$n" -gt 207360 ] || fail "no show frame within 2 minutes: $n pixels lit"
echo "show frames: $n of 230400 pixels lit"

# Escape at once: until the simulation's catch-up is bounded per frame, each
# frame under the software renderer takes longer than the one before.
xdotool windowfocus --sync "$window" keydown Escape
await_exit 60 Escape
xdotool keyup Escape
[ $status -eq 0 ] || fail "after Escape the show exited with $status: $(cat "$work/err")"
[ "$(lines)" = "$(lines | grep '^kestrin: no audio device (.*), playing silent on the wall clock$')" ] &&
  [ "$(lines | wc -l)" -eq 1 ] || fail "expected the one no-audio line, got: $(cat "$work/err")"
echo "ok: $(lines)"
