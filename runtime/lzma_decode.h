/* Raw LZMA1 and the x86 branch filter, decoded without any library: the
   Windows unpacking stub carries this code, so it is written for size and
   for hostile input. Plain C, no C runtime calls. */
#pragma once
#ifdef __cplusplus
extern "C" {
#endif

/* 16-bit probability words the decoder needs as workspace for literal
   context bits lc and literal position bits lp. */
#define LZMA_PROBS(lc, lp) (1846u + (0x300u << ((lc) + (lp))))

/* Decodes one raw LZMA1 stream (literal context bits lc 0..8, literal and
   match position bits lp and pb 0..4) into exactly outSize bytes. The stream
   must end with its end marker exactly at inSize. Returns 1 on success; 0 for
   a truncated, corrupted or overlong stream, in which case out holds garbage.
   Never reads in past inSize nor writes out past outSize. */
int LzmaDecode(unsigned char* out, unsigned outSize, const unsigned char* in, unsigned inSize,
               unsigned short* probs, int lc, int lp, int pb);

/* Undoes the x86 branch filter (call and jump targets made absolute) on data
   that starts at stream position 0. */
void X86Decode(unsigned char* data, unsigned size);

/* CRC-32 as zlib and gzip compute it. */
unsigned Crc32(const unsigned char* data, unsigned size);

/* The packed show's stream settings: x86 filter, then LZMA1 with these. */
#define SHOW_LC 3
#define SHOW_LP 0
#define SHOW_PB 0

/* Unpacks the packed show: decodes, undoes the filter and checks the result
   against its CRC-32, since a flipped bit early in a stream can decode into
   different bytes without breaking the stream. Returns 1 when out holds the
   show. probs: LZMA_PROBS(SHOW_LC, SHOW_LP) words of workspace. */
int UnpackShow(unsigned char* out, unsigned outSize, const unsigned char* in, unsigned inSize,
               unsigned short* probs, unsigned crc);

#ifdef __cplusplus
}
#endif
