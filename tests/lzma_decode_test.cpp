// The Windows stub's decoder against the xz command line and against damaged
// streams. Exact-size heap copies let the sanitizer build of this test
// (lzma_decode_sanitize) catch any access outside the buffers.
#include "runtime/lzma_decode.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

typedef std::vector<unsigned char> Bytes;
static const char* const kLzma = "--lzma1=lc=3,lp=0,pb=0";
static const char* const kShow = "--x86 --lzma1=preset=9e,dict=1MiB,lc=3,lp=0,pb=0";

static Bytes Load(const std::string& path) {
  Bytes data;
  FILE* f = fopen(path.c_str(), "rb");
  for (int c; f && (c = fgetc(f)) != EOF;) data.push_back((unsigned char)c);
  if (f) fclose(f);
  return data;
}

static Bytes Xz(const Bytes& data, const std::string& options) {
  // Per process: the plain and the sanitized test binaries run side by side.
  std::string in = testing::TempDir() + "lzma_in." + std::to_string(getpid()), out = in + ".lzma";
  FILE* f = fopen(in.c_str(), "wb");
  if (!data.empty()) fwrite(data.data(), 1, data.size(), f);
  fclose(f);
  EXPECT_EQ(system(("xz --format=raw " + options + " -c " + in + " >" + out).c_str()), 0);
  Bytes packed = Load(out);
  remove(in.c_str()), remove(out.c_str());
  return packed;
}

// With a crc, through the stub's whole check; otherwise LZMA (then x86) only.
static bool Decode(const Bytes& stream, size_t outSize, Bytes* result, const unsigned* crc,
                   int lc = 3, int lp = 0, int pb = 0, bool x86 = false) {
  std::unique_ptr<unsigned char[]> in(new unsigned char[stream.size()]);
  std::unique_ptr<unsigned char[]> out(new unsigned char[outSize]);
  std::unique_ptr<unsigned short[]> probs(new unsigned short[LZMA_PROBS(lc, lp)]);
  std::copy(stream.begin(), stream.end(), in.get());
  unsigned n = (unsigned)stream.size(), size = (unsigned)outSize;
  bool ok = crc ? UnpackShow(out.get(), size, in.get(), n, probs.get(), *crc)
                : LzmaDecode(out.get(), size, in.get(), n, probs.get(), lc, lp, pb);
  if (ok && x86 && !crc) X86Decode(out.get(), size);
  if (result) result->assign(out.get(), out.get() + outSize);
  return ok;
}

static unsigned Crc(const Bytes& data) { return Crc32(data.data(), (unsigned)data.size()); }

// Random bytes; with branches, E8/E9 opcodes so close together that the
// filter's memory of recent ones decides each conversion.
static Bytes Random(size_t n, bool branches = false) {
  Bytes data(n);
  unsigned x = 1;
  for (auto& b : data) b = (x = x * 1664525 + 1013904223) >> 24;
  for (size_t i = 0; branches && i + 5 <= n; i += 1 + data[i] % 7)
    data[i] = 0xE8 | (data[i + 1] & 1), data[i + 4] = data[i + 2] & 1 ? 0xFF : 0;
  return data;
}

static Bytes Show() { return Load(KESTRIN_BUILD_DIR "/kestrin-show"); }

TEST(LzmaDecode, EqualsTheInputOfXz) {
  Bytes runs(200000, 'a');
  runs.insert(runs.end(), 300000, 0xFF);
  for (int i = 0; i < 100000; i++) runs.insert(runs.end(), {1, 2, (unsigned char)(i >> 12)});
  Bytes show = Show();
  ASSERT_GT(show.size(), 10000u) << "the show binary is missing";
  struct Case {
    const char* name;
    Bytes data, stream;
    int lc, lp, pb;
    bool x86;
  } cases[] = {
      {"empty", {}, Xz({}, kLzma), 3, 0, 0, false},
      {"one byte", {0x5A}, Xz({0x5A}, kLzma), 3, 0, 0, false},
      {"incompressible", Random(300000), Xz(Random(300000), kLzma), 3, 0, 0, false},
      {"long runs, longest matches", runs, Xz(runs, "--lzma1=preset=9e,lc=3,lp=0,pb=0"), 3, 0, 0,
       false},
      {"the show, as the Linux build packs it", show,
       Load(KESTRIN_BUILD_DIR "/show_payload.c.lzma"), 3, 0, 0, true},
      {"the show, position bits", show, Xz(show, "--x86 --lzma1=lc=1,lp=3,pb=4"), 1, 3, 4, true},
      {"dense branches", Random(100000, true), Xz(Random(100000, true), kShow), 3, 0, 0, true},
  };
  for (const Case& c : cases) {
    Bytes decoded;
    ASSERT_TRUE(Decode(c.stream, c.data.size(), &decoded, nullptr, c.lc, c.lp, c.pb, c.x86))
        << c.name;
    EXPECT_TRUE(decoded == c.data) << c.name;
  }
  // The filter at every small size: the last 4 bytes are never converted.
  for (size_t n = 0; n <= 40; n++) {
    Bytes data = Random(n, true), decoded;
    EXPECT_TRUE(Decode(Xz(data, kShow), n, &decoded, nullptr, 3, 0, 0, true) && decoded == data)
        << n << " bytes";
  }
}

TEST(UnpackShow, RefusesDamagedStreams) {
  Bytes show = Show(), stream = Xz(show, kShow), flipped = stream, longer = stream;
  unsigned crc = Crc(show);
  ASSERT_TRUE(Decode(stream, show.size(), nullptr, &crc));
  flipped[stream.size() / 2] ^= 0x10;
  longer.push_back(0);
  struct Case {
    const char* name;
    Bytes stream;
    size_t outSize;
  } cases[] = {
      {"flipped in the middle", flipped, show.size()},
      {"cut in the end marker", Bytes(stream.begin(), stream.end() - 6), show.size()},
      {"a byte too many", longer, show.size()},
      {"output one byte short", stream, show.size() - 1},
      {"output one byte long", stream, show.size() + 1},
  };
  for (const Case& c : cases) EXPECT_FALSE(Decode(c.stream, c.outSize, nullptr, &crc)) << c.name;
  const char check[] = "123456789";  // the pack script takes its CRC from gzip
  EXPECT_EQ(Crc32((const unsigned char*)check, 9), 0xCBF43926u);
}

TEST(UnpackShow, RefusesEveryCutAndEveryFlippedBitOfAShortStream) {
  // The first literals are close to raw bits: a flip there can decode
  // cleanly into other bytes, which only the CRC tells apart.
  const char text[] =
      "Every byte of a short stream matters: the decoder checks its end, "
      "the CRC the rest, so no cut and no flipped bit passes as the show.";
  Bytes data(text, text + sizeof text - 1), stream = Xz(data, kShow);
  unsigned crc = Crc(data);
  int passed = 0, decodedOther = 0;
  for (size_t keep = 0; keep < stream.size(); keep++)
    passed += Decode(Bytes(stream.begin(), stream.begin() + keep), data.size(), nullptr, &crc);
  for (size_t bit = 0; bit < stream.size() * 8; bit++) {
    Bytes s = stream;
    s[bit / 8] ^= 1 << bit % 8;
    passed += Decode(s, data.size(), nullptr, &crc);
    decodedOther += Decode(s, data.size(), nullptr, nullptr);
  }
  EXPECT_EQ(passed, 0);
  EXPECT_GT(decodedOther, 0) << "the CRC guards nothing here: choose a stream that needs it";
}
