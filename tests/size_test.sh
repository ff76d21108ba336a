# The shipped (packed) show fits in 65,536 bytes. usage: size_test.sh BUILD_DIR [.exe]
size=$(stat -c %s "$1/kestrin$2") || exit 1
echo "kestrin$2: $size of 65536 bytes (the show unpacked: $(stat -c %s "$1/kestrin-show$2"))"
[ "$size" -le 65536 ] || { echo "FAIL: over budget"; exit 1; }
