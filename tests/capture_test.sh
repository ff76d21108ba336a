# kestrin-capture end to end. Usage: sh capture_test.sh BUILD_DIR
capture="$1/kestrin-capture"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# --- Bad requests: status 2, a message naming the fault, no file written.
while IFS='|' read -r args message; do
  said=$(timeout 60 "$capture" $args 2>&1 >/dev/null)  # a fault may start a whole capture
  status=$?
  [ $status -eq 2 ] && echo "$said" | grep -q -- "$message" && [ -z "$(ls -A "$dir")" ] ||
    fail "[$args]: status $status, message '$said', want 2 and '$message'; $(ls -A "$dir")"
done <<EOF
--bogus|usage
--video $dir/x.mp4 --fps 2.5|--fps
--video $dir/x.mp4 --size 32x30|--size
--video $dir/x.mp4 --size 321x180|even width and height
--video $dir/x.mp4 --size 320x181|even width and height
--video $dir/x.mp4 --from 5 --to 3|--from < --to
--video $dir/x.mp4 --to 170|--from < --to
--video $dir/x.mp4 --png $dir/x.png --at 1|choose one
--video $dir/x.mp4 --wav $dir/x.wav|run apart
--png $dir/x.png|--png needs --at
--png $dir/x.png --at -0.5|--at must lie within the show
--png $dir/x.png --at nan|is not a number
--png $dir/x.png --at 3 --settle 0|--settle
--png $dir/missing/x.png --at 1|cannot write $dir/missing/x.png
--frames $dir/missing/deeper --to 1|cannot create $dir/missing/deeper
EOF
PATH=/nonexistent "$capture" --video "$dir/x.mp4" --to 1 2>"$dir/err"
[ $? -eq 2 ] && grep -q ffmpeg "$dir/err" || fail "missing ffmpeg: $(cat "$dir/err")"

# --- A still: the size asked for, not black, the first frame of a span from that time.
shot="--settle 0.05 --size 200x120"
"$capture" --png "$dir/still.png" --at 41.25 $shot 2>"$dir/err" || fail "still: $(cat "$dir/err")"
"$capture" --frames "$dir/a" --from 41.25 --to 41.27 $shot 2>"$dir/err" || fail "frames: $(cat "$dir/err")"
size=$(ffprobe -v error -show_entries stream=width,height -of csv=p=0 "$dir/still.png")
[ "$size" = "200,120" ] || fail "still: size '$size', want 200,120"
brightest=$(ffmpeg -v error -err_detect crccheck+explode -i "$dir/still.png" -f rawvideo \
  -pix_fmt gray - | od -An -tu1 -v | tr -s ' ' '\n' | sort -n | tail -1)
[ "${brightest:-0}" -gt 16 ] || fail "still: black (brightest gray level '$brightest')"
[ "$(ls "$dir/a" | tr '\n' ' ')" = "000000.png 000001.png " ] &&
  cmp -s "$dir/still.png" "$dir/a/000000.png" || fail "frames: $(ls "$dir/a" | tr '\n' ' ')"

# --- A short video: frames at from + k / fps before --to (3), and 0.3 s of soundtrack.
"$capture" --video "$dir/clip.mp4" --from 41.2 --to 41.5 --fps 10 $shot 2>"$dir/err" ||
  fail "video: $(cat "$dir/err")"
streams=$(ffprobe -v error -count_frames -show_entries stream=codec_type,duration,nb_read_frames \
  -of csv=p=0 "$dir/clip.mp4" | tr '\n' ' ')  # type, seconds, frames
case "$streams" in "video,"*",3 audio,0.30"*) ;; *) fail "video: $streams, want 3 frames, 0.3 s of sound" ;; esac

# --- Interrupted: neither the final file nor a temporary remains.
"$capture" --video "$dir/cut.mp4" --to 60 --fps 30 --size 160x90 2>/dev/null &
pid=$!
sleep 4 && kill -INT $pid
wait $pid && fail "interrupted: status 0"
[ ! -e "$dir/cut.mp4" ] || fail "interrupted: left cut.mp4"
left=$(find "$dir" -name '.part*')
[ -z "$left" ] || fail "temporary files left: $left"

[ $failures -eq 0 ] && echo "capture: all checks passed"  # and the status
