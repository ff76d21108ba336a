# The real show as a user starts it: under a virtual X display (Mesa's
# software renderer) it opens its window named kestrin, draws a non-blank
# loading display and says it will run far below real time; Escape or SIGTERM
# 40 s after start end it within seconds with status 0. Without any display,
# or with DISPLAY naming no server, it says so in one line and exits 1.
build=$1
fail() { echo "FAIL: $*"; exit 1; }
command -v Xvfb >/dev/null || fail "Xvfb missing (package xvfb)"
work=$(mktemp -d)
trap 'kill $xvfb $show 2>/dev/null; rm -rf "$work"' EXIT
LateSeconds=40  # well into the show: loading takes about 10 s here
QuitSeconds=8   # the most a quit may take: a frame under llvmpipe is about a second

# 1. No display at all, and a display that no server answers (a stale DISPLAY
#    after a crashed X server): one line each, status 1, at once.
n=199
while [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
for display in "" DISPLAY=:$n; do
  env -u DISPLAY -u WAYLAND_DISPLAY $display timeout 10 "$build/kestrin" >"$work/out" 2>"$work/err"
  status=$?
  [ $status -eq 1 ] || fail "[$display]: the show exited with $status, not 1"
  [ "$(wc -l <"$work/err")" -eq 1 ] || fail "[$display]: expected one line on stderr, got: $(cat "$work/err")"
  grep -qi "display" "$work/err" || fail "[$display]: the message does not name the display: $(cat "$work/err")"
done

# 2. A virtual display. Xvfb picks a free display number itself and writes it
#    once it is ready.
Xvfb -displayfd 3 -screen 0 640x360x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
for i in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
display=:$(cat "$work/display")
export DISPLAY=$display

# Starts the show; at $LateSeconds after its start, quits it by $1 (key: Escape,
# term: SIGTERM) and sets took to the seconds it took to end. The show's own
# checks run meanwhile when $2 is 1.
Late() {
  start=$(date +%s)
  "$build/kestrin" >/dev/null 2>"$work/show.err" &
  show=$!
  [ "$2" = 1 ] && Looks
  sleep $((start + LateSeconds - $(date +%s)))
  kill -0 $show 2>/dev/null || fail "the show ended before it was told: $(cat "$work/show.err")"
  t0=$(date +%s.%N)
  if [ $1 = key ]; then
    xdotool keydown Escape; sleep 0.1; xdotool keyup Escape
  else
    kill -TERM $show
  fi
  deadline=$(($(date +%s) + QuitSeconds))
  while kill -0 $show 2>/dev/null && [ $(date +%s) -le $deadline ]; do sleep 0.05; done
  t1=$(date +%s.%N)
  kill -0 $show 2>/dev/null && fail "the show did not end within $QuitSeconds s ($1)"
  wait $show
  status=$?
  [ $status -eq 0 ] || fail "after $1 the show exited with $status: $(cat "$work/show.err")"
  took=$(echo "$t1 - $t0" | bc)
}

Looks() {
  window=
  for i in $(seq 300); do
    window=$(xdotool search --classname '^kestrin$' 2>/dev/null | head -1)
    [ -n "$window" ] && break
    kill -0 $show 2>/dev/null || fail "the show ended early: $(cat "$work/show.err")"
    sleep 0.2
  done
  [ -n "$window" ] || fail "no window of class kestrin appeared within 60 s"
  [ "$(xdotool getwindowname "$window")" = KESTRIN ] || fail "title: $(xdotool getwindowname "$window")"
  # The shipped file is the packer: the show runs from memory and is told the
  # path of the file on disk, whose bytes it shows; it still calls itself kestrin.
  case "$(readlink /proc/$show/exe)" in /memfd:kestrin*) ;; *) fail "the show does not run from memory: $(readlink /proc/$show/exe)";; esac
  [ "$(tr '\000' '\n' </proc/$show/cmdline | head -1)" = "$(readlink -f "$build/kestrin")" ] ||
    fail "the show was not handed its file's path: $(tr '\000' ' ' </proc/$show/cmdline)"
  [ "$(cat /proc/$show/comm)" = kestrin ] || fail "process name: $(cat /proc/$show/comm)"
  # SIGPIPE (13) ignored: a vanished X server ends in Xlib's message, not a silent death.
  ignored=$(sed -n 's/^SigIgn:\t*//p' /proc/$show/status)
  [ $(((0x$ignored >> 12) & 1)) -eq 1 ] || fail "SIGPIPE is not ignored (SigIgn $ignored)"
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
  # Besides the audio layer's notes, one line says the renderer is software.
  [ "$(grep -c 'far below real time' "$work/show.err")" -eq 1 ] ||
    fail "no single software-renderer line: $(cat "$work/show.err")"
}

# 3. Late in the show, on the software renderer: Escape, then SIGTERM.
Late key 1
escape=$took
Late term
echo "ended $escape s after Escape and $took s after SIGTERM, $LateSeconds s after start"
echo "ok"
