// The Windows stub's decoder against xz and damaged streams (also under the sanitizers).
#include "runtime/lzma_decode.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

typedef std::vector<unsigned char> Bytes;
static const char* const kShow = "--x86 --lzma1=preset=9e,dict=1MiB,lc=3,lp=0,pb=0";

static Bytes Load(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), {});
}

static Bytes Xz(const Bytes& data, const std::string& options = kShow) {
  // Per process: the plain and the sanitized test binaries run side by side.
  std::string in = testing::TempDir() + "lzma_in." + std::to_string(getpid());
  std::ofstream(in, std::ios::binary).write((const char*)data.data(), data.size());
  EXPECT_EQ(system(("xz --format=raw " + options + " -c " + in + " >" + in + ".xz").c_str()), 0);
  Bytes packed = Load(in + ".xz");
  remove(in.c_str()), remove((in + ".xz").c_str());
  return packed;
}

// With a crc, the stub's whole check; else LZMA (then x86). Exact sizes for the sanitizer.
static bool Decode(const Bytes& stream, size_t outSize, Bytes* result, const unsigned* crc,
                   int lc = 3, int lp = 0, int pb = 0, bool x86 = true) {
  Bytes in(stream), out(outSize);
  std::vector<unsigned short> probs(LZMA_PROBS(lc, lp));
  unsigned n = (unsigned)in.size(), size = (unsigned)outSize;
  bool ok = crc ? UnpackShow(out.data(), size, in.data(), n, probs.data(), *crc)
                : LzmaDecode(out.data(), size, in.data(), n, probs.data(), lc, lp, pb);
  if (ok && x86 && !crc) X86Decode(out.data(), size);
  if (result) *result = out;
  return ok;
}

// Random bytes; with branches, E8/E9 so close that the filter's memory decides each.
static Bytes Random(size_t n, bool branches = false) {
  Bytes data(n);
  unsigned x = 1;
  for (auto& b : data) b = (x = x * 1664525 + 1013904223) >> 24;
  for (size_t i = 0; branches && i + 5 <= n; i += 1 + data[i] % 7)
    data[i] = 0xE8 | (data[i + 1] & 1), data[i + 4] = data[i + 2] & 1 ? 0xFF : 0;
  return data;
}

TEST(LzmaDecode, EqualsTheInputOfXz) {
  Bytes runs(200000, 'a'), show = Load(KESTRIN_BUILD_DIR "/kestrin-show"), out;
  runs.insert(runs.end(), 300000, 0xFF);
  for (int i = 0; i < 100000; i++) runs.insert(runs.end(), {1, 2, (unsigned char)(i >> 12)});
  ASSERT_GT(show.size(), 10000u) << "the show binary is missing";
  const Bytes random = Random(300000), branches = Random(100000, true);
  const std::tuple<Bytes, Bytes, bool> cases[] = {
      {random, Xz(random, "--lzma1=lc=3,lp=0,pb=0"), false},
      {runs, Xz(runs, "--lzma1=preset=9e,lc=3,lp=0,pb=0"), false},
      {show, Load(KESTRIN_BUILD_DIR "/show_payload.c.lzma"), true},
      {branches, Xz(branches), true}};
  for (auto& [data, stream, x86] : cases)  // x86: filtered
    EXPECT_TRUE(Decode(stream, data.size(), &out, nullptr, 3, 0, 0, x86) && out == data)
        << data.size();
  Bytes positionBits = Xz(show, "--x86 --lzma1=lc=1,lp=3,pb=4");
  EXPECT_TRUE(Decode(positionBits, show.size(), &out, nullptr, 1, 3, 4) && out == show);
  // Every small size, empty included: the filter never converts the last 4 bytes.
  for (size_t n = 0; n <= 40; n++)
    EXPECT_TRUE(Decode(Xz(Random(n, true)), n, &out, nullptr) && out == Random(n, true)) << n;
}

// Early literals are near raw bits: a flip may decode cleanly, which only the CRC catches.
TEST(UnpackShow, RefusesEveryCutEveryFlippedBitAndAWrongSize) {
  const char text[] =
      "Every byte of a short stream matters: the decoder checks its end, "
      "the CRC the rest, so no cut and no flipped bit passes as the show.";
  Bytes data(text, text + sizeof text - 1), stream = Xz(data), longer = stream;
  unsigned crc = Crc32(data.data(), (unsigned)data.size()), n = (unsigned)data.size();
  ASSERT_TRUE(Decode(stream, n, nullptr, &crc));
  longer.push_back(0);
  EXPECT_FALSE(Decode(longer, n, nullptr, &crc) || Decode(stream, n - 1, nullptr, &crc) ||
               Decode(stream, n + 1, nullptr, &crc));
  int passed = 0, decodedOther = 0;
  for (size_t keep = 0; keep < stream.size(); keep++)
    passed += Decode(Bytes(stream.begin(), stream.begin() + keep), n, nullptr, &crc);
  for (size_t bit = 0; bit < stream.size() * 8; bit++) {
    Bytes s = stream;
    s[bit / 8] ^= 1 << bit % 8;
    passed += Decode(s, n, nullptr, &crc);
    decodedOther += Decode(s, n, nullptr, nullptr);
  }
  EXPECT_EQ(passed, 0);
  EXPECT_GT(decodedOther, 0) << "the CRC guards nothing here: choose a stream that needs it";
}
