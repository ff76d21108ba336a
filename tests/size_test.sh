# The release show binary, as shipped (packed), must fit in 65,536 bytes, and
# the packed program must carry the show unchanged.
# usage: size_test.sh BUILD_DIR [.exe]   (.exe: the Windows build)
size=$(stat -c %s "$1/kestrin$2") || exit 1
echo "kestrin$2: $size of 65536 bytes (the show unpacked: $(stat -c %s "$1/kestrin-show$2"))"
[ "$size" -le 65536 ] || { echo "FAIL: over budget"; exit 1; }
