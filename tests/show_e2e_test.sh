# The real show as a user starts it, under virtual X displays and Mesa's software renderer.
build=$1
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d)
trap 'kill $xvfbs $key $term 2>/dev/null; rm -rf "$work"' EXIT
retry() { # the command until it succeeds, at most $1 times 0.2 s apart
  tries=$1 && shift
  until "$@"; do
    tries=$((tries - 1)) && [ $tries -gt 0 ] && sleep 0.2 || return 1
  done
}

# 1. No display, and a stale DISPLAY that no server answers.
for display in "" DISPLAY=:65535; do
  env -u DISPLAY -u WAYLAND_DISPLAY $display timeout 10 "$build/kestrin" >/dev/null 2>"$work/err"
  status=$?
  [ $status -eq 1 ] && [ "$(wc -l <"$work/err")" -eq 1 ] && grep -qi display "$work/err" ||
    fail "[$display]: status $status (want 1), stderr (want one line naming the display): $(cat "$work/err")"
done

# 2. A show on each of two displays: one to end by Escape, one by SIGTERM; that one
#    without fonts or an audio device, which it must say and go on.
printf '<?xml version="1.0"?>\n<fontconfig></fontconfig>\n' >"$work/fonts.conf"
for q in key term; do
  Xvfb -displayfd 3 -screen 0 640x360x24 -nolisten tcp 3>"$work/$q.display" 2>/dev/null &
  xvfbs="$xvfbs $!"
  retry 50 test -s "$work/$q.display" || fail "Xvfb did not start"
  [ $q = key ] || bare="FONTCONFIG_FILE=$work/fonts.conf SDL_AUDIODRIVER=kestrin-none"
  env DISPLAY=:$(cat "$work/$q.display") $bare "$build/kestrin" >/dev/null 2>"$work/$q.err" &
  eval $q=$!
done
start=$(date +%s)
export DISPLAY=:$(cat "$work/key.display")
found() { window=$(xdotool search --classname '^kestrin$' 2>/dev/null | head -1) && [ -n "$window" ]; }
retry 300 found || fail "no window of class kestrin within 60 s: $(cat "$work/key.err")"
[ "$(xdotool getwindowname "$window")" = KESTRIN ] || fail "title: $(xdotool getwindowname "$window")"
case "$(readlink /proc/$key/exe)" in /memfd:kestrin*) ;; *) fail "the packer did not run the show from memory" ;; esac
[ "$(tr '\000' '\n' </proc/$key/cmdline | head -1)" = "$(readlink -f "$build/kestrin")" ] ||
  fail "the show was not handed its file's path, whose bytes it shows: $(tr '\000' ' ' </proc/$key/cmdline)"
ignored=$(sed -n 's/^SigIgn:\t*//p' /proc/$key/status) # SIGPIPE (13): a lost X server must not kill silently
[ $(((0x$ignored >> 12) & 1)) -eq 1 ] || fail "SIGPIPE is not ignored (SigIgn $ignored)"
# Under load a loading frame can take seconds: look until something is drawn.
lit() {
  ffmpeg -loglevel error -y -f x11grab -video_size 640x360 -i $DISPLAY -frames:v 1 -f rawvideo \
    -pix_fmt gray "$work/shot.raw" && [ "$(tr -d '\000' <"$work/shot.raw" | wc -c)" -gt 2000 ]
}
retry 100 lit || fail "the screen stayed blank for 20 s"

# 3. Late in the show, on the software renderer: Escape, and SIGTERM.
sleep $((start + 40 - $(date +%s))) # well into the show: loading takes about 10 s here
for q in key term; do
  eval pid=\$$q
  [ "$(grep -c 'far below real time' "$work/$q.err")" -eq 1 ] && kill -0 $pid 2>/dev/null ||
    fail "[$q] ended early, or no single software-renderer line: $(cat "$work/$q.err")"
done
[ "$(grep -c '^kestrin: no \(font face for [CB]\|audio device\)' "$work/term.err")" -eq 3 ] ||
  fail "no single line for each missing font face and the audio device: $(cat "$work/term.err")"
xdotool keydown Escape sleep 0.1 keyup Escape
kill -TERM $term
running() { kill -0 $key 2>/dev/null && echo Escape; kill -0 $term 2>/dev/null && echo SIGTERM; }
retry 40 eval '[ -z "$(running)" ]' || fail "still running 8 s after $(running)"
wait $key || fail "after Escape the show exited with $?: $(cat "$work/key.err")"
wait $term || fail "after SIGTERM the show exited with $?: $(cat "$work/term.err")"
