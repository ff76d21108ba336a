# The real show as a user starts it: under a virtual X display it opens its
# window and draws a non-blank loading display, Escape ends it with status 0;
# without any display it says so in one line and exits with status 1.
build=$1
fail() { echo "FAIL: $*"; exit 1; }
command -v Xvfb >/dev/null || fail "Xvfb missing (package xvfb)"
work=$(mktemp -d)
trap 'kill $xvfb $show 2>/dev/null; rm -rf "$work"' EXIT

# 1. No display at all.
env -u DISPLAY -u WAYLAND_DISPLAY "$build/kestrin" >"$work/out" 2>"$work/err"
status=$?
[ $status -eq 1 ] || fail "without a display the show exited with $status, not 1"
[ "$(wc -l <"$work/err")" -eq 1 ] || fail "expected one line on stderr, got: $(cat "$work/err")"
grep -qi "display" "$work/err" || fail "the message does not name the display: $(cat "$work/err")"

# 2. A virtual display.
# Xvfb picks a free display number itself and writes it once it is ready.
Xvfb -displayfd 3 -screen 0 640x360x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
for i in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
display=:$(cat "$work/display")
export DISPLAY=$display
"$build/kestrin" >"$work/show.out" 2>&1 &
show=$!
window=
for i in $(seq 300); do
  window=$(xdotool search --name '^KESTRIN$' 2>/dev/null | head -1)
  [ -n "$window" ] && break
  kill -0 $show 2>/dev/null || fail "the show ended early: $(cat "$work/show.out")"
  sleep 0.2
done
[ -n "$window" ] || fail "no window titled KESTRIN appeared within 60 s"
# The shipped file is the packer: the show runs from memory and is told the
# path of the file on disk, whose bytes it shows.
case "$(readlink /proc/$show/exe)" in /memfd:kestrin*) ;; *) fail "the show does not run from memory: $(readlink /proc/$show/exe)";; esac
[ "$(tr '\000' '\n' </proc/$show/cmdline | head -1)" = "$(readlink -f "$build/kestrin")" ] ||
  fail "the show was not handed its file's path: $(tr '\000' ' ' </proc/$show/cmdline)"
# The loading display fades in over 0.6 s, and under load a loading frame can
# take seconds (each builds one program): look until something is drawn.
lit=0
for i in $(seq 40); do
  sleep 0.5
  ffmpeg -loglevel error -y -f x11grab -video_size 640x360 -i $display -frames:v 1 \
    -f rawvideo -pix_fmt gray "$work/shot.raw" || fail "screenshot failed"
  lit=$(tr -d '\000' <"$work/shot.raw" | wc -c)
  [ "$lit" -gt 2000 ] && break
done
echo "lit pixels in the screenshot: $lit"
[ "$lit" -gt 2000 ] || fail "the screen stayed blank for 20 s"
kill -0 $show 2>/dev/null || fail "the show ended before Escape: $(cat "$work/show.out")"

xdotool keydown Escape; sleep 0.3; xdotool keyup Escape
for i in $(seq 150); do kill -0 $show 2>/dev/null || break; sleep 0.2; done
kill -0 $show 2>/dev/null && fail "the show did not end within 30 s of Escape"
wait $show
status=$?
[ $status -eq 0 ] || fail "after Escape the show exited with $status: $(cat "$work/show.out")"
echo "ok"
