// The show runtime: process-wide state, GPU resources, clock and uniforms,
// text and HUD, and the loops. Everything here runs on the main thread.
#pragma once

// --- Process-wide state ----------------------------------------------------
constexpr int ExeImageBytes = 65536;
extern unsigned char* exeImage;  // first 65,536 bytes of our own file, zero-padded

extern int screenWidth, screenHeight;   // display size in physical pixels
extern float U[8][4];                   // the uniform block, location 0; all 0 at start
extern unsigned char textGrid[10][64];  // character codes; a row ends at its first 0
extern float resolutionScale;           // fraction of full resolution rendered, 0.35..1
extern double frameMilliseconds;        // last frame's work, shown by the HUD
extern int hudVisible;                  // 0/1, toggled by H
extern int liquidOn;                    // 0/1, the viewer's liquid switch

// --- Shader pieces and programs --------------------------------------------
constexpr int ShaderPieceCount = 17;
extern const char* shaderPieces[ShaderPieceCount];  // NUL-terminated, decoded once

enum ProgramIndex {
  ProgLoading,
  ProgStage,
  ProgBloomDown,
  ProgBloomUp,
  ProgComposite,
  ProgParticles,
  ProgSimulate,
  ProgLiquidSplat,
  ProgLiquidBlur,
  ProgLiquidShade,
  ProgVolume,
  ProgTrail,
  ProgramCount
};
extern unsigned programs[ProgramCount];

// Pieces of each program: vertex (or compute) and fragment; -1 for none.
extern const signed char programPieces[ProgramCount][2];

// --- GPU resources (all created once by CreateResources) -------------------
constexpr int RenderTargetCount = 12;
extern unsigned targetTextures[RenderTargetCount];
extern unsigned targetFramebuffers[RenderTargetCount];
extern int bloomLevels;                                                   // 7: pyramid targets 2..8
extern unsigned textureAtlas, textureTextGrid, textureExe, textureWords;  // TF TT TE TW
extern unsigned textureDensity, textureLight;                             // GD, GL (= TV)
extern unsigned particleBuffers[3];                                       // P, V, Q
extern unsigned windowFramebuffer;  // "the window": 0 on a display, an FBO headless

int DecodeShaderBlob();  // fills shaderPieces; returns 0 when the blob is damaged
unsigned CompileShader(unsigned stage, int piece);
unsigned BuildProgram(int index);
void UseProgram(int index);  // makes it current and uploads all of U
void DrawPass(int program, int target, int width, int height);  // target -1: window
void VolumePass(int pass);
unsigned CreateTexture2D(int width, int height, int internalFormat, int format, int type,
                         const void* data, int filter);
void BindTextureUnit(int unit, unsigned texture);
void CreateResources();  // every GPU object, in start-up order

// --- Show clock, timeline and uniforms -------------------------------------
constexpr double BeatSeconds = 3.0 / 7.0;
constexpr double BarSeconds = 12.0 / 7.0;
extern const unsigned char SHAPES[92];      // formation per bar
extern const unsigned char sectionBars[5];  // 0, 24, 48, 72, closed by 255
struct EventList;
int LastEventIndex(const EventList& list, double t);
float Envelope(const EventList& list, double t, float rate);
void FillUniforms(double t);
int FormationAt(double t);  // PLAY.x when >= 0, else SHAPES at the clamped bar
int BarNumber(double t);    // as the viewer counts: from 1
int BeatNumber(double t);   // 1..4

// --- Text and HUD ------------------------------------------------------------
constexpr int FormationCount = 34;
extern const char* const formationNames[FormationCount];
extern const char* const formationDescriptions[FormationCount];
extern const char titleDescription[];  // the title formation's: names the text rasteriser
constexpr int AtlasWidth = 1024, AtlasHeight = 768;  // 16 x 6 cells of 64 x 128
constexpr int WordSheetSize = 2048;                  // 32 bands of 64 rows
constexpr int WordSheetLines = 29;                   // the 23 display words, 6 title cards
// A text surface: 8-bit coverage (white on black), top row first, and the face drawing on it.
struct TextSurface {
  unsigned char* pixels;  // width x height bytes, owned by the caller
  int width, height;
  int spacing;  // extra pixels after every character
  void* face;   // FreeType face; 0 when no usable face was found (nothing is drawn)
};
// face: a fontconfig pattern whose first family is the face wanted (only that face is taken
// from it); fallback: the pattern of the nearest stand-in. Clears the pixels; with neither
// found, prints one line naming the face. pixelHeight: the em, i.e. the character height
// without internal leading.
TextSurface MakeTextSurface(int width, int height, const char* face, const char* fallback,
                            int pixelHeight, unsigned char* pixels);
void DrawTextCentred(TextSurface& s, int x, int y, const char* text);  // x: centre, y: baseline
TextSurface DrawGlyphAtlas(unsigned char* pixels);                     // AtlasWidth x AtlasHeight
TextSurface DrawWordSheet(unsigned char* pixels);                      // WordSheetSize squared
void BuildTextTextures();          // glyph atlas (unit 3) and word sheet (unit 6)
void LoadingRows(float progress);  // fills textGrid rows 4 and 5
void DrawLoading(float progress, double elapsed);
void UpdateHud(double t, double ms);
int AppendDecimal(int row, int position, int value);
int AppendText(int row, int position, const char* text);

// --- Loops -------------------------------------------------------------------
// Loading display's fraction: from the worker counters, programs built and
// songProgress, in single precision, at most 1.
float LoadingProgress(const int worker[4], int built, int song);
int LoadingFinished(int built, int song);  // all 12 programs and the song

// Show clock of the automatic loop, kept apart from the loop to be testable.
struct ShowClock {
  double start;   // NowSeconds at the first frame
  double offset;  // correction towards the audio clock
  double last;    // last show time used; it never runs backwards
};
double ClockWall(const ShowClock& clock, double now);
// Jump to the audio time when more than 0.15 s off, else slew 5 %.
void ClockCorrect(ShowClock& clock, double wall, double audio, double freshNow);
double ClockShowTime(ShowClock& clock, double wall);
float AdaptScale(float scale, double ms);

void RunShow(const char* ownPath);             // the entry sequence and the loops; never returns
void InteractiveLoop();                        // until Escape or the window closes
extern const unsigned char KeyFormations[10];  // digit key -> formation
// One frame's polled input applied to U, hudVisible and liquidOn.
void InteractiveInput();
