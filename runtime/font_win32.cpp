// Text rasterisation by GDI: a memory drawing context with a 32-bit top-down
// bitmap per surface, white antialiased text on black, centred on its
// baseline point.
#include <string.h>
#include <windows.h>

#include "runtime/platform.h"
#include "runtime/runtime.h"

const char titleDescription[] = "sampled from text drawn by GDI";

// A negative height asks for the em: the character height without internal leading.
static HFONT Font(const char* face, int pixelHeight, int weight, int pitchAndFamily) {
  return CreateFontA(-pixelHeight, 0, 0, 0, weight, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, pitchAndFamily, face);
}

// face: a pattern whose first family (up to a comma or colon) is the face wanted;
// fallback: the kind of stand-in, "monospace..." or a proportional face, with
// ":weight=semibold" or ":weight=bold" where it says so.
TextSurface MakeTextSurface(int width, int height, const char* face, const char* fallback,
                            int pixelHeight, unsigned char* pixels) {
  memset(pixels, 0, (size_t)width * height);
  char name[LF_FACESIZE], used[LF_FACESIZE] = "no text", line[3 * LF_FACESIZE];
  int length = (int)strcspn(face, ",:");
  lstrcpynA(name, face, (length < LF_FACESIZE ? length : LF_FACESIZE - 1) + 1);
  BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB}};
  void* bits;
  HDC dc = CreateCompatibleDC(0);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, 0, 0);
  HFONT font = Font(name, pixelHeight, FW_DONTCARE, DEFAULT_PITCH | FF_DONTCARE);
  if (!dc || !bitmap || !font) {
    wsprintfA(line, "no font face for %s, drawing %s", name, used);
    SayLine(line);
    return {pixels, width, height, 0, 0};
  }
  SelectObject(dc, bitmap);
  SelectObject(dc, font);
  // The font mapper answers every name with some face: a missing one is
  // replaced by a stand-in of the kind the fallback names instead.
  GetTextFaceA(dc, LF_FACESIZE, used);
  if (lstrcmpiA(used, name)) {
    int mono = !strncmp(fallback, "monospace", 9);
    int weight = strstr(fallback, "weight=semibold") ? FW_SEMIBOLD
                 : strstr(fallback, "weight=bold")   ? FW_BOLD
                                                     : FW_DONTCARE;
    HFONT standIn =
        Font("", pixelHeight, weight, mono ? FIXED_PITCH | FF_MODERN : VARIABLE_PITCH | FF_SWISS);
    if (standIn) DeleteObject(SelectObject(dc, standIn));
    GetTextFaceA(dc, LF_FACESIZE, used);
    wsprintfA(line, "no font face for %s, drawing with %s", name, used);
    SayLine(line);
  }
  SetTextColor(dc, RGB(255, 255, 255));
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_CENTER | TA_BASELINE);
  return {pixels, width, height, 0, dc};
}

// The line goes through the bitmap's rows from its ascent to its descent,
// cleared first, and is kept in the surface by maximum, so overlapping
// antialiased edges never add up past white.
void DrawTextCentred(TextSurface& s, int x, int y, const char* text) {
  HDC dc = (HDC)s.face;
  if (!dc) return;
  DIBSECTION dib;
  GetObjectA(GetCurrentObject(dc, OBJ_BITMAP), sizeof dib, &dib);
  TEXTMETRICA metrics;
  GetTextMetricsA(dc, &metrics);
  int stride = dib.dsBm.bmWidth;
  int width = s.width < stride ? s.width : stride;
  int top = y - metrics.tmAscent, bottom = y + metrics.tmDescent;
  if (top < 0) top = 0;
  if (bottom > s.height) bottom = s.height;
  if (bottom > dib.dsBm.bmHeight) bottom = dib.dsBm.bmHeight;
  if (top >= bottom) return;
  unsigned* bits = (unsigned*)dib.dsBm.bmBits;
  memset(bits + (size_t)top * stride, 0, (size_t)(bottom - top) * stride * 4);
  SetTextCharacterExtra(dc, s.spacing);
  TextOutA(dc, x, y, text, lstrlenA(text));
  GdiFlush();
  for (int r = top; r < bottom; r++)
    for (int c = 0; c < width; c++) {
      unsigned char red = (unsigned char)(bits[(size_t)r * stride + c] >> 16);
      unsigned char* d = s.pixels + (size_t)r * s.width + c;
      if (red > *d) *d = red;
    }
}
