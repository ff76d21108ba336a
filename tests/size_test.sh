# The release show binary must fit in 65,536 bytes.
size=$(stat -c %s "$1/kestrin") || exit 1
echo "kestrin: $size of 65536 bytes"
[ "$size" -le 65536 ]
