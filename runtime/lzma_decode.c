/* Raw LZMA1 and x86 branch filter decoders. Every index into the model comes
   from a bounded number of decoded bits, so only the input reads and the
   match copies need guards; both are checked where they happen. */
#include "lzma_decode.h"

typedef struct {
  const unsigned char *in, *end;
  unsigned range, code;
  int truncated; /* a read was wanted past the end: the result is void */
} Range;

/* Offsets of the adaptive probabilities in the workspace. */
enum {
  IS_MATCH = 0,            /* 12 states x 16 positions */
  IS_REP = IS_MATCH + 192, /* 12 states each */
  IS_REP_G0 = IS_REP + 12,
  IS_REP_G1 = IS_REP_G0 + 12,
  IS_REP_G2 = IS_REP_G1 + 12,
  IS_REP0_LONG = IS_REP_G2 + 12, /* 12 states x 16 positions */
  POS_SLOT = IS_REP0_LONG + 192, /* 4 length classes x 64-leaf tree */
  SLOT_BITS = POS_SLOT + 256,    /* low bits of distances in slots 4..13, reversed */
  ALIGN = SLOT_BITS + 114,       /* low 4 bits of longer distances, reversed */
  LEN = ALIGN + 16,              /* choice, choice2, 16 x 8 low, 16 x 8 mid, 256 high */
  REP_LEN = LEN + 514,
  LITERAL = REP_LEN + 514 /* 0x300 per literal context: 1846 words before it */
};

static void Normalize(Range* rc) {
  if (rc->range < 1u << 24) {
    rc->range <<= 8;
    rc->code <<= 8;
    if (rc->in < rc->end)
      rc->code |= *rc->in++;
    else
      rc->truncated = 1;
  }
}

static unsigned Bit(Range* rc, unsigned short* p) {
  Normalize(rc);
  unsigned bound = (rc->range >> 11) * *p;
  if (rc->code < bound) {
    rc->range = bound;
    *p += (2048 - *p) >> 5;
    return 0;
  }
  rc->range -= bound;
  rc->code -= bound;
  *p -= *p >> 5;
  return 1;
}

/* count bits, most significant first; the result keeps the tree's leading 1 */
static unsigned Tree(Range* rc, unsigned short* p, int count) {
  unsigned m = 1;
  while (count--) m = m * 2 + Bit(rc, p + m);
  return m;
}

/* count bits, least significant first */
static unsigned Reverse(Range* rc, unsigned short* p, int count) {
  unsigned m = 1, value = 0;
  for (int i = 0; i < count; i++) {
    unsigned b = Bit(rc, p + m);
    m = m * 2 + b;
    value |= b << i;
  }
  return value;
}

/* count bits at probability one half */
static unsigned Direct(Range* rc, int count) {
  unsigned value = 0;
  while (count--) {
    Normalize(rc);
    rc->range >>= 1;
    unsigned b = rc->code >= rc->range;
    if (b) rc->code -= rc->range;
    value = value * 2 + b;
  }
  return value;
}

/* match length minus 2: 0..271 */
static unsigned Length(Range* rc, unsigned short* p, unsigned posState) {
  if (!Bit(rc, p)) return Tree(rc, p + 2 + posState * 8, 3) - 8;
  if (!Bit(rc, p + 1)) return Tree(rc, p + 130 + posState * 8, 3);
  return Tree(rc, p + 258, 8) - 240;
}

int LzmaDecode(unsigned char* out, unsigned outSize, const unsigned char* in, unsigned inSize,
               unsigned short* probs, int lc, int lp, int pb) {
  Range rc = {in, in + inSize, 0xFFFFFFFFu, 0, 0};
  unsigned pos = 0, state = 0, rep[4] = {0, 0, 0, 0}, len, i;
  for (i = 0; i < LZMA_PROBS(lc, lp); i++) probs[i] = 1024;
  /* the range coder starts with a zero byte, then its 32-bit code */
  if (inSize < 5 || in[0]) return 0;
  for (i = 0; i < 5; i++) rc.code = rc.code << 8 | *rc.in++;
  if (rc.code == 0xFFFFFFFFu) return 0;
  /* Each pass emits a byte or ends, so a truncated stream (read on as zero
     bytes) also ends; it fails at the final check. */
  for (;;) {
    unsigned short* row = probs + state * 16 + (pos & ((1u << pb) - 1));
    if (!Bit(&rc, row + IS_MATCH)) {
      if (pos >= outSize) return 0;
      unsigned prev = pos ? out[pos - 1] : 0, symbol = 1;
      unsigned short* lit =
          probs + LITERAL + 0x300 * (((pos & ((1u << lp) - 1)) << lc) + (prev >> (8 - lc)));
      /* After a match, the byte at the match distance picks the probabilities
         for as long as the decoded bits agree with its bits (offset 0x100). */
      unsigned match = 0, offset = 0;
      if (state >= 7) { /* rep[0] was checked when it was set */
        match = out[pos - rep[0] - 1];
        offset = 0x100;
      }
      while (symbol < 0x100) {
        unsigned matchBit = (match <<= 1) & offset, b = Bit(&rc, lit + offset + matchBit + symbol);
        symbol = symbol * 2 + b;
        offset &= b ? matchBit : ~matchBit;
      }
      out[pos++] = (unsigned char)symbol;
      state = state < 4 ? 0 : state < 10 ? state - 3 : state - 6;
      continue;
    }
    if (Bit(&rc, probs + IS_REP + state)) {
      /* one of the last four distances, which moves to the front */
      if (!Bit(&rc, probs + IS_REP_G0 + state)) {
        if (!Bit(&rc, row + IS_REP0_LONG)) {
          state = state < 7 ? 9 : 11;
          len = 1;
          goto copy;
        }
        i = 0;
      } else {
        i = !Bit(&rc, probs + IS_REP_G1 + state) ? 1 : 2 + Bit(&rc, probs + IS_REP_G2 + state);
      }
      unsigned distance = rep[i];
      for (; i; i--) rep[i] = rep[i - 1];
      rep[0] = distance;
      len = Length(&rc, probs + REP_LEN, pos & ((1u << pb) - 1)) + 2;
      state = state < 7 ? 8 : 11;
    } else {
      for (i = 3; i; i--) rep[i] = rep[i - 1];
      len = Length(&rc, probs + LEN, pos & ((1u << pb) - 1));
      state = state < 7 ? 7 : 10;
      unsigned slot = Tree(&rc, probs + POS_SLOT + (len < 3 ? len : 3) * 64, 6) - 64;
      if (slot < 4) {
        rep[0] = slot;
      } else {
        unsigned direct = (slot >> 1) - 1;
        rep[0] = (2 | (slot & 1)) << direct;
        if (slot < 14)
          rep[0] += Reverse(&rc, probs + SLOT_BITS + rep[0] - slot - 1, direct);
        else
          rep[0] += (Direct(&rc, direct - 4) << 4) + Reverse(&rc, probs + ALIGN, 4);
      }
      if (rep[0] == 0xFFFFFFFFu) break; /* the end marker */
      len += 2;
    }
  copy:
    if (rep[0] >= pos || len > outSize - pos) return 0;
    for (; len; len--, pos++) out[pos] = out[pos - rep[0] - 1];
  }
  Normalize(&rc);
  return !rc.truncated && pos == outSize && rc.code == 0 && rc.in == rc.end;
}

void X86Decode(unsigned char* data, unsigned size) {
  /* which patterns of recent E8/E9 bytes still allow a conversion, and the
     byte of the target that decides how far to undo it */
  static const unsigned char allowed[8] = {1, 1, 1, 0, 1, 0, 0, 0};
  static const unsigned char byteNumber[8] = {0, 1, 2, 2, 3, 3, 3, 3};
  unsigned prevMask = 0, prevPos = 0u - 5, i = 0;
  if (size < 5) return;
  while (i <= size - 5) {
    unsigned b = data[i];
    if ((b & 0xFE) != 0xE8) {
      i++;
      continue;
    }
    unsigned offset = i - prevPos;
    prevPos = i;
    if (offset > 5)
      prevMask = 0;
    else
      while (offset--) prevMask = (prevMask & 0x77) << 1;
    b = data[i + 4];
    if ((b == 0 || b == 0xFF) && allowed[(prevMask >> 1) & 7] && prevMask < 0x20) {
      unsigned src = b << 24 | data[i + 3] << 16 | data[i + 2] << 8 | data[i + 1], dest;
      for (;;) {
        dest = src - (i + 5);
        if (!prevMask) break;
        unsigned shift = 24 - byteNumber[prevMask >> 1] * 8;
        b = (dest >> shift) & 0xFF;
        if (b != 0 && b != 0xFF) break;
        src = dest ^ ((256u << shift) - 1);
      }
      data[i + 4] = (unsigned char)(0 - ((dest >> 24) & 1));
      data[i + 3] = (unsigned char)(dest >> 16);
      data[i + 2] = (unsigned char)(dest >> 8);
      data[i + 1] = (unsigned char)dest;
      i += 5;
      prevMask = 0;
    } else {
      i++;
      prevMask |= 1;
      if (b == 0 || b == 0xFF) prevMask |= 0x10;
    }
  }
}

unsigned Crc32(const unsigned char* data, unsigned size) {
  unsigned crc = ~0u;
  while (size--) {
    crc ^= *data++;
    for (int k = 0; k < 8; k++) crc = crc >> 1 ^ (0xEDB88320u & (0 - (crc & 1)));
  }
  return ~crc;
}

int UnpackShow(unsigned char* out, unsigned outSize, const unsigned char* in, unsigned inSize,
               unsigned short* probs, unsigned crc) {
  if (!LzmaDecode(out, outSize, in, inSize, probs, SHOW_LC, SHOW_LP, SHOW_PB)) return 0;
  X86Decode(out, outSize);
  return Crc32(out, outSize) == crc;
}
