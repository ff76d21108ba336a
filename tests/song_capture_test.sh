# kestrin-capture's audio modes: a canonical WAV of the whole song, and the event lists as
# text (list, time, and list 7's word number; each list ascending); a show binary it cannot
# read is an error, not a silent song.
tool=$1/kestrin-capture
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$tool" --exe "$tmp" --wav "$tmp/x.wav" 2>/dev/null || [ -e "$tmp/x.wav" ] &&
  fail "a directory taken for the show, or a WAV written"
"$tool" --wav "$tmp/song.wav" --events "$tmp/events.txt" || fail "capture failed"
# RIFF, WAVE, PCM, 2 channels, 44,100 Hz, 16 bits, 7,182,000 frames of data.
[ "$(od -An -tx1 -N44 "$tmp/song.wav" | tr -d ' \n')" = \
  52494646e45ab60157415645666d7420100000000100020044ac000010b102000400100064617461c05ab601 ] &&
  [ "$(stat -c %s "$tmp/song.wav")" -eq $((44 + 7182000 * 4)) ] || fail "WAV header or size"
awk -F'\t' '$1 !~ /^[0-8]$/ || NF != 2 + ($1 == 7) || $1 == prev && $2 + 0 < last + 0 { bad = NR }
  { prev = $1; last = $2 } END { exit bad || NR != 3577 }' "$tmp/events.txt" || fail "events file"
