// Text rasterisation: FreeType draws, fontconfig finds the faces by family name.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "runtime/runtime.h"

const char titleDescription[] = "sampled from text drawn by FreeType";

// Opened on first use; the library, the fontconfig patterns and the faces live for the run.
static FT_Library fontLibrary;

// Opens the face fontconfig matches for a pattern at an em of pixelHeight pixels (the
// character height without internal leading). With `wanted` set, only a face one of whose
// family names is `wanted` or its first words counts: fontconfig always answers with some
// face, and a stand-in must come from the fallback pattern instead.
static FT_Face OpenFace(const char* pattern, const char* wanted, int wantedLength,
                        int pixelHeight) {
  FcPattern* request = FcNameParse((const FcChar8*)pattern);
  if (!request) return 0;
  FcConfigSubstitute(0, request, FcMatchPattern);
  FcDefaultSubstitute(request);
  FcResult result;
  FcPattern* match = FcFontMatch(0, request, &result);
  FcChar8 *file, *family;
  if (!match || FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch) return 0;
  int accepted = !wanted;
  for (int k = 0; !accepted && FcPatternGetString(match, FC_FAMILY, k, &family) == FcResultMatch;
       k++) {
    int n = (int)strlen((const char*)family);
    accepted = n <= wantedLength && !strncasecmp((const char*)family, wanted, n) &&
               (n == wantedLength || wanted[n] == ' ');
  }
  int index = 0;
  FcPatternGetInteger(match, FC_INDEX, 0, &index);
  FT_Face face = 0;
  if (!accepted || FT_New_Face(fontLibrary, (const char*)file, index, &face)) return 0;
  // A bitmap-only face cannot be scaled to the size: unusable.
  if (FT_Set_Pixel_Sizes(face, 0, pixelHeight)) return 0;
  return face;
}

TextSurface MakeTextSurface(int width, int height, const char* face, const char* fallback,
                            int pixelHeight, unsigned char* pixels) {
  if (!fontLibrary) FT_Init_FreeType(&fontLibrary);
  memset(pixels, 0, (size_t)width * height);
  int length = (int)strcspn(face, ",:");
  FT_Face opened = 0;
  if (fontLibrary) {
    opened = OpenFace(face, face, length, pixelHeight);
    if (!opened) opened = OpenFace(fallback, 0, 0, pixelHeight);
  }
  if (!opened) fprintf(stderr, "kestrin: no font face for %.*s, drawing no text\n", length, face);
  return {pixels, width, height, 0, opened};
}

// Blends a rendered glyph at (x, y), top-left, by maximum: overlapping antialiased edges
// keep their coverage instead of adding up past white.
static void Blit(TextSurface& s, const FT_Bitmap& bitmap, int x, int y) {
  for (int r = 0; r < (int)bitmap.rows; r++) {
    int py = y + r;
    if (py < 0 || py >= s.height) continue;
    const unsigned char* row = bitmap.buffer + r * bitmap.pitch;
    for (int c = 0; c < (int)bitmap.width; c++) {
      int px = x + c;
      unsigned char* d = s.pixels + (size_t)py * s.width + px;
      if (px >= 0 && px < s.width && row[c] > *d) *d = row[c];
    }
  }
}

// Measures the run of text from pen position x on baseline y, drawing it when asked;
// returns the pen position after it. Every character advances by its hinted advance plus
// the surface's extra spacing, the last one included, as the run's width is measured.
static int TextRun(TextSurface& s, int x, int y, const char* text, int draw) {
  FT_Face face = (FT_Face)s.face;
  for (; *text; text++) {
    if (FT_Load_Char(face, (unsigned char)*text, draw ? FT_LOAD_RENDER : FT_LOAD_DEFAULT)) continue;
    FT_GlyphSlot glyph = face->glyph;
    if (draw) Blit(s, glyph->bitmap, x + glyph->bitmap_left, y - glyph->bitmap_top);
    x += (int)((glyph->advance.x + 32) >> 6) + s.spacing;
  }
  return x;
}

void DrawTextCentred(TextSurface& s, int x, int y, const char* text) {
  if (!s.face) return;
  TextRun(s, x - TextRun(s, 0, y, text, 0) / 2, y, text, 1);
}
