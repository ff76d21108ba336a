# The release show binary, as shipped (packed), must fit in 65,536 bytes, and
# the packed program must carry the show unchanged.
size=$(stat -c %s "$1/kestrin") || exit 1
echo "kestrin: $size of 65536 bytes (the show unpacked: $(stat -c %s "$1/kestrin-show"))"
[ "$size" -le 65536 ] || { echo "FAIL: over budget"; exit 1; }
