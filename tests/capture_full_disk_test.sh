# kestrin-capture on a full disk (a 4 MB tmpfs in a private mount namespace):
# --wav, --events and --video each exit 2 naming the system's reason, leave
# neither the final name nor a temporary behind, and leave a file already
# under the final name as it was. Skipped (status 77) only where no tmpfs can
# be mounted. Usage: sh capture_full_disk_test.sh BUILD_DIR
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

# The video's soundtrack span (1 s: 176,444 bytes, 44 pages) fits; its MP4 does not.
span=$(((176444 + 4095) / 4096 * 4096))
while IFS='|' read -r name free args; do
  rm -rf "${disk:?}"/* "$disk"/.part*
  echo "an older file" >"$disk/$name"
  avail=$(df -B1 --output=avail "$disk" | tail -1)
  head -c $((avail - free)) /dev/zero >"$disk/filler"
  # shellcheck disable=SC2086
  "$capture" $args "$disk/$name" 2>"$log"
  status=$?
  err=$(grep -v '^soundtrack\|^simulation\|^lead-in\|^frames' "$log")
  [ $status -eq 2 ] || fail "$name: status $status, want 2"
  case "$err" in *"No space left on device"*) ;; *) fail "$name: no reason given: $err" ;; esac
  [ "$(cat "$disk/$name")" = "an older file" ] || fail "$name: the older file was replaced"
  left=$(find "$disk" -name '.part*')
  [ -z "$left" ] || fail "$name: temporaries left: $left"
done <<EOF2
x.wav|0|--wav
x.txt|8192|--events
x.mp4|$((span + 8192))|--from 0 --to 0.95 --fps 10 --size 160x90 --video
EOF2

[ $failures -eq 0 ] && echo "capture on a full disk: all checks passed"
[ $failures -eq 0 ]
