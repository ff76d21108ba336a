# kestrin-capture on a full 4 MB tmpfs: each output exits 2 naming the reason, leaves no
# temporary, and leaves a file already under the final name as it was.
capture="$1/kestrin-capture"
if [ "$2" != inside ]; then
  unshare -m true 2>/dev/null || { echo "SKIPPED: no private mount namespace (unshare -m needs root)"; exit 77; }
  exec unshare -m sh "$0" "$1" inside
fi
disk=$(mktemp -d) log=$(mktemp)
trap 'umount "$disk" 2>/dev/null; rm -rf "$disk" "$log"' EXIT
mount -t tmpfs -o size=4m tmpfs "$disk" || { echo "SKIPPED: cannot mount a tmpfs"; exit 77; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The video's soundtrack span (0.3 s: 52,964 bytes) fits, its MP4 does not.
while IFS='|' read -r name free want args; do
  rm -rf "${disk:?}"/* "$disk"/.part*
  echo "an older file" >"$disk/$name"
  head -c $(($(df -B1 --output=avail "$disk" | tail -1) - free)) /dev/zero >"$disk/filler"
  "$capture" $args "$disk/$name" 2>"$log"
  status=$?
  [ $status -eq 2 ] && case "$(cat "$log")" in *$want*) ;; *) false ;; esac ||
    fail "$name: status $status and '$(cat "$log")', want 2 and '$want'"
  [ "$(cat "$disk/$name")" = "an older file" ] || fail "$name: the older file was replaced"
  [ "$(echo $(ls -A "$disk"))" = "filler $name" ] || fail "$name: left $(ls -A "$disk")"
done <<EOF2
x.wav|0|No space left on device|--wav
x.txt|8192|No space left on device|--events
x.mp4|$(((52964 + 4095) / 4096 * 4096 + 8192))|No space left on device*ffmpeg failed|--from 41.2 --to 41.5 --fps 10 --settle 0.05 --size 160x90 --video
EOF2

[ $failures -eq 0 ] && echo "capture on a full disk: all checks passed"  # and the status
