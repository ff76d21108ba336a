// The Windows stub's decoder against the xz command line, and against damaged
// streams. Buffers are allocated at their exact sizes so that the sanitizer
// build (lzma_decode_sanitize) catches any access outside them.
#include "runtime/lzma_decode.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

typedef std::vector<unsigned char> Bytes;

static const char* const kShowOptions = "--x86 --lzma1=preset=9e,dict=1MiB,lc=3,lp=0,pb=0";

static Bytes Load(const std::string& path) {
  Bytes data;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return data;
  int c;
  while ((c = fgetc(f)) != EOF) data.push_back((unsigned char)c);
  fclose(f);
  return data;
}

static std::string TempPath(const char* name) { return testing::TempDir() + "lzma_" + name; }

// Raw LZMA1 from the xz program, with its options as given.
static Bytes Xz(const Bytes& data, const std::string& options) {
  std::string in = TempPath("in"), out = TempPath("out");
  FILE* f = fopen(in.c_str(), "wb");
  if (!data.empty()) fwrite(data.data(), 1, data.size(), f);
  fclose(f);
  std::string command = "xz --format=raw " + options + " -c " + in + " >" + out + " 2>/dev/null";
  EXPECT_EQ(system(command.c_str()), 0) << command;
  return Load(out);
}

// Decodes from and into heap blocks of exactly the stream's and outSize's
// bytes; with a crc, through the stub's whole check instead.
static int Decode(const Bytes& stream, size_t outSize, Bytes* result, int lc = 3, int lp = 0,
                  int pb = 0, bool x86 = false, const unsigned* crc = nullptr) {
  unsigned char* in = new unsigned char[stream.size() + !stream.size()];
  std::copy(stream.begin(), stream.end(), in);
  unsigned char* out = new unsigned char[outSize + !outSize];
  unsigned short* probs = new unsigned short[LZMA_PROBS(lc, lp)];
  int ok = crc ? UnpackShow(out, (unsigned)outSize, in, (unsigned)stream.size(), probs, *crc)
               : LzmaDecode(out, (unsigned)outSize, in, (unsigned)stream.size(), probs, lc, lp, pb);
  if (ok && x86 && !crc) X86Decode(out, (unsigned)outSize);
  if (result) result->assign(out, out + outSize);
  delete[] in;
  delete[] out;
  delete[] probs;
  return ok;
}

// The stub's acceptance of a packed show.
static int Unpacks(const Bytes& stream, size_t outSize, unsigned crc, Bytes* result = nullptr) {
  return Decode(stream, outSize, result, SHOW_LC, SHOW_LP, SHOW_PB, true, &crc);
}

static unsigned Crc(const Bytes& data) { return Crc32(data.data(), (unsigned)data.size()); }

static Bytes Random(size_t n, unsigned seed) {
  Bytes data(n);
  for (auto& b : data) b = (seed = seed * 1664525 + 1013904223) >> 24;
  return data;
}

// Branch opcodes with targets whose top byte is 00 or FF, packed closely so
// that the filter's memory of recent opcodes decides each conversion.
static Bytes Branches(size_t n) {
  Bytes data = Random(n, 7);
  for (size_t i = 0; i + 5 <= n; i += 1 + data[i] % 7) {
    data[i] = 0xE8 | (data[i + 1] & 1);
    data[i + 4] = data[i + 2] & 1 ? 0xFF : 0x00;
  }
  return data;
}

static Bytes Runs() {
  Bytes data(200000, 'a');
  data.insert(data.end(), 300000, 0xFF);
  for (int i = 0; i < 100000; i++) data.insert(data.end(), {1, 2, (unsigned char)(i >> 12)});
  return data;
}

static Bytes Show() { return Load(KESTRIN_BUILD_DIR "/kestrin-show"); }

TEST(LzmaDecode, EqualsTheInputOfXz) {
  struct Case {
    const char* name;
    Bytes data;
    const char* options;
    int lc, lp, pb;
    bool x86;
  } cases[] = {
      {"empty", {}, "--lzma1=lc=3,lp=0,pb=0", 3, 0, 0, false},
      {"one byte", {0x5A}, "--lzma1=lc=3,lp=0,pb=0", 3, 0, 0, false},
      {"incompressible", Random(300000, 1), "--lzma1=lc=3,lp=0,pb=0", 3, 0, 0, false},
      {"long runs and longest matches", Runs(), "--lzma1=preset=9e,lc=3,lp=0,pb=0", 3, 0, 0, false},
      {"the show, as packed", Show(), kShowOptions, 3, 0, 0, true},
      {"the show, position bits", Show(), "--x86 --lzma1=lc=1,lp=3,pb=4", 1, 3, 4, true},
      {"the show, no context bits", Show(), "--lzma1=preset=6,lc=0,lp=0,pb=2", 0, 0, 2, false},
      {"dense branches", Branches(100000), "--x86 --lzma1=lc=3,lp=0,pb=0", 3, 0, 0, true},
  };
  ASSERT_GT(cases[4].data.size(), 10000u) << "the show binary is missing";
  for (const Case& c : cases) {
    Bytes decoded;
    Bytes stream = Xz(c.data, c.options);
    ASSERT_TRUE(Decode(stream, c.data.size(), &decoded, c.lc, c.lp, c.pb, c.x86)) << c.name;
    EXPECT_TRUE(decoded == c.data) << c.name;
  }
}

TEST(UnpackShow, UnpacksThePayloadTheBuildShips) {
  Bytes show = Show(), decoded;
  ASSERT_TRUE(
      Unpacks(Load(KESTRIN_BUILD_DIR "/show_payload.c.lzma"), show.size(), Crc(show), &decoded));
  EXPECT_TRUE(decoded == show);
  const char check[] = "123456789";  // the pack script takes its CRC from gzip
  EXPECT_EQ(Crc32((const unsigned char*)check, 9), 0xCBF43926u);
}

TEST(X86Decode, UndoesTheFilterAtEverySmallSize) {
  // Sizes below 5 hold no whole branch; the last 4 bytes are never converted.
  Bytes all = Branches(40);
  for (size_t n = 0; n <= all.size(); n++) {
    Bytes data(all.begin(), all.begin() + n), decoded;
    ASSERT_TRUE(Decode(Xz(data, "--x86 --lzma1=lc=3,lp=0,pb=0"), n, &decoded, 3, 0, 0, true));
    EXPECT_TRUE(decoded == data) << n << " bytes";
  }
}

TEST(UnpackShow, RefusesDamagedStreams) {
  Bytes show = Show();
  Bytes stream = Xz(show, kShowOptions);
  size_t n = stream.size();
  ASSERT_GT(n, 1000u);
  auto cut = [&](size_t keep) { return Bytes(stream.begin(), stream.begin() + keep); };
  auto flip = [&](size_t at, int bit) {
    Bytes s = stream;
    s[at] ^= 1 << bit;
    return s;
  };
  Bytes longer = stream;
  longer.push_back(0);
  struct Case {
    const char* name;
    Bytes stream;
    size_t outSize;
  } cases[] = {
      {"no input", cut(0), show.size()},
      {"the range coder's start only", cut(5), show.size()},
      {"cut in half", cut(n / 2), show.size()},
      {"end marker cut", cut(n - 6), show.size()},
      {"last byte cut", cut(n - 1), show.size()},
      {"a byte too many", longer, show.size()},
      {"first byte not zero", flip(0, 0), show.size()},
      {"code start flipped", flip(1, 7), show.size()},
      {"flipped early", flip(40, 3), show.size()},
      {"flipped in the middle", flip(n / 2, 5), show.size()},
      {"flipped in the end marker", flip(n - 6, 0), show.size()},
      {"last byte flipped", flip(n - 1, 2), show.size()},
      {"output one byte short", stream, show.size() - 1},
      {"output one byte long", stream, show.size() + 1},
      {"no output expected", stream, 0},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(Decode(c.stream, c.outSize, nullptr)) << c.name;
    EXPECT_FALSE(Unpacks(c.stream, c.outSize, Crc(show))) << c.name;
  }
}

TEST(UnpackShow, RefusesEveryCutAndEveryFlippedBitOfAShortStream) {
  // The first literals are close to raw bits: a flip there decodes cleanly
  // into other bytes, which only the CRC tells apart.
  const char text[] =
      "Every byte of a short stream matters: the decoder checks its end, "
      "the CRC the rest, so no cut and no flipped bit passes as the show.";
  Bytes data(text, text + sizeof text - 1);
  Bytes stream = Xz(data, kShowOptions);
  int passed = 0, decodedOther = 0;
  for (size_t keep = 0; keep < stream.size(); keep++)
    passed += Unpacks(Bytes(stream.begin(), stream.begin() + keep), data.size(), Crc(data));
  for (size_t bit = 0; bit < stream.size() * 8; bit++) {
    Bytes s = stream;
    s[bit / 8] ^= 1 << bit % 8;
    passed += Unpacks(s, data.size(), Crc(data));
    decodedOther += Decode(s, data.size(), nullptr);
  }
  EXPECT_EQ(passed, 0);
  EXPECT_GT(decodedOther, 0) << "the CRC guards nothing here: choose a stream that needs it";
}
