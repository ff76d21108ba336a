// The arrangement: walks the 92 bars and plays every instrument; each worker
// renders only its own family, worker 0 records the words and the choir.
#include "audio/audio.h"
#include "music/instruments.h"
#include "runtime/runtime.h"

Bar DeriveBar(int b) {
  Bar x;
  char digit = OrderString[b];
  x.c = digit - '0';
  x.K = b < 48 ? 0 : b < 72 ? 1 : 2;
  for (int i = 0; i < 4; i++) x.n[i] = ChordTable[x.c][i] + x.K;
  x.r = RootTable[x.c] + x.K;
  int arp[5] = {x.n[1], x.n[2], x.n[3], x.n[1] + 12, x.n[2] + 12};
  for (int i = 0; i < 5; i++) x.A[i] = arp[i];
  x.R = 1;
  while (b + x.R < SongBars && OrderString[b + x.R] == digit) x.R++;
  x.chordStart = b == 0 || OrderString[b - 1] != digit || b == 48 || b == 72;
  x.drop = (b >= 24 && b < 40) || (b >= 48 && b < 64) || (b >= 72 && b < 88);
  x.calm = b < 8 || (b >= 16 && b < 24) || (b >= 40 && b < 48) || (b >= 64 && b < 72) || b >= 88;
  x.breakbeat = b >= 72 && b < 80;
  return x;
}

// --- Voice data (worker 0) -----------------------------------------------------------
void VoiceNote(int th, int voice, int start, int end, double note, float level, float v0,
               float v1) {
  if (th != 0) return;
  VoiceControl& v = voiceControl[voice];
  int f0 = start / 64, f1 = end / 64;
  for (int f = f0; f < f1 && f < ControlFrames; f++) {
    v.pitch[f] = (float)note;
    v.level[f] = level;
    v.vowel[f] = v0 + (float)(f - f0) / (f1 - f0) * (v1 - v0);
  }
}

// The root an octave up on voice 3, the upper chord notes on voices 2, 1, 0.
void ChoirChord(int th, int bar, int run, const int* chord, int root, float level, float v0,
                float v1) {
  if (th != 0) return;
  int t0 = (int)(bar * 75600.0), t1 = t0 + run * BarSamples;
  VoiceNote(0, 3, t0, t1, root + 12, level * 1.1f, v0, v1);
  for (int k = 1; k <= 3; k++) VoiceNote(0, 3 - k, t0, t1, chord[k], level, v0, v1);
}

static void RecordWord(int sample, int word) {
  EventList& e = eventLists[ListWord];
  if (e.count < MaxEvents) wordNumbers[e.count] = (unsigned char)word;
  Record(ListWord, sample);
}

static void AddPhoneme(int start, int length, int phoneme, double pitch, float level) {
  if (phonemeEventCount < MaxPhonemeEvents)
    phonemeEvents[phonemeEventCount++] = {start, length, (uint8_t)phoneme, (float)pitch, level};
}

int SpeakWords(int th, int start, int first, int count, double pitch, float level, double factor) {
  if (th != 0) return start;
  int P = start;
  for (int w = first; w < first + count; w++) {
    RecordWord(P, w);
    for (const char* c = WordPhonemes[w]; *c; c++) {
      int i = PhonemeIndex(*c), len = (int)(PhonemeTable[i].duration * factor * 441.0);
      AddPhoneme(P, len, i, pitch, level);
      P += len;
    }
    P += (int)(1764 * factor);  // 40 ms between words
  }
  return P;
}

// Sings the phrase from entry on: each word fills its note but 2,362 samples by
// stretching or shrinking its vowels.
int SingPhrase(int th, int start, int entry, int K) {
  if (th != 0) return start;
  int P = start;
  for (const uint8_t* e = SungPhrase + 3 * entry; e[0] != 0xFF; e += 3) {
    int N = e[2] * BeatSamples, D = 0, V = 0, wordStart = P;
    for (const char* c = WordPhonemes[e[0]]; *c; c++) {
      const PhonemeRecord& p = PhonemeTable[PhonemeIndex(*c)];
      D += 441 * p.duration;
      if (p.phonemeClass == 0) V += p.duration;
    }
    RecordWord(P, e[0]);
    for (const char* c = WordPhonemes[e[0]]; *c; c++) {
      int i = PhonemeIndex(*c), len = 441 * PhonemeTable[i].duration;
      if (PhonemeTable[i].phonemeClass == 0 && V > 0)
        len += (N - D - 2362) * PhonemeTable[i].duration / V;
      AddPhoneme(P, len, i, e[1] + K - 12, 1.0f);
      P += len;
    }
    P = wordStart + N;
  }
  return P;
}

// --- The schedule -----------------------------------------------------------------------
// Spoken lines: bar, offset in eighths, first word, count, pitch, level x 10,
// duration factor x 20; a bar of 0 ends the table.
// clang-format off
static const uint8_t SpokenWords[] = {
    4,  1, 0,  3, 53, 10, 23,   17, 0, 3,  5, 53, 10, 23,
    41, 0, 8,  3, 54, 10, 23,   42, 2, 11, 5, 54, 10, 23,
    43, 4, 21, 2, 54, 10, 25,   70, 4, 16, 3, 55, 11, 26,
    89, 0, 3,  5, 55, 10, 24,   91, 0, 19, 2, 55, 10, 28,   0};
// clang-format on

static bool Playing(const uint8_t* note, int b) { return note[0] >> 4 == b % 4; }
// Leads of one bar: seven melody notes with their octaves, seven echoes and
// twelve chord stabs at most.
constexpr int MaxBarNotes = 40;

void ArrangementRenderer(int th) {
  for (int b = 0; b < SongBars; b++) {
    Bar x = DeriveBar(b);
    const int S = (int)(b * 75600.0), *n = x.n, r = x.r;
    const uint8_t* pattern = ArpPatterns[b < 24 ? 0 : b < 48 ? 1 : b < 72 ? 2 : 3];
    auto step = [S](int s) { return S + s * StepSamples; };
    workerProgress[th].exchange(b + 1);

    // Impacts, crashes, sweeps, sub drops.
    bool section = b == 0 || b == 24 || b == 48 || b == 72 || b == 88;
    if (section || b == 80) Impact(th, S, 1.1f), Crash(th, S, 1.0f);
    if (b == 64) Impact(th, S, 0.6f), Sweep(th, S, 151200, 0.6f);
    if (b == 40) Sweep(th, S, 151200, 0.6f);
    if (section) SubDrop(th, S);

    // Glitches driven by the program's own bytes.
    if (b >= 80 && b < 88)
      for (int s = 0; s < 16; s++) {
        int c = exeImage[((s + 16 * b) * 61) % 65536];
        if (c & 3) Glitch(th, step(s), c, 0.07f);
      }

    if (b == 8 || (x.drop && b % (b < 48 ? 4 : 2) == 0)) Crash(th, S, 0.8f);

    // Drums.
    if (!x.breakbeat && ((b >= 4 && b < 16) || x.drop)) {
      for (int k = 0; k < 4; k++) Kick(th, S + k * BeatSamples, 1.0f);
      if (b >= 8) Clap(th, S + 18900, 0.8f), Clap(th, S + 56700, 0.8f);
      for (int k = 0; k < 4; k++)
        Hat(th, S + 9450 + k * BeatSamples, b < 6 ? 0.3f : 0.55f, 9, 0.55f);
      if (b >= 8)
        for (int s = 0; s < 16; s++)
          Hat(th, step(s), s % 4 == 2 ? 0.4f : 0.22f, 60, s % 2 == 0 ? 0.7f : 0.3f);
      if (b % 8 == 7 && b > 14)
        for (int k = 0; k < 8; k++)
          Snare(th, S + 37800 + k * StepSamples, 0.25f + 0.06f * k, 0.25f);
    }
    if (x.breakbeat) {
      for (int s = 0; s < 16; s++) {
        if (s == 0 || s == 7 || s == 10 || s == 13) Kick(th, step(s), 1.0f);
        if (s == 4 || s == 7 || s == 11 || s == 14)
          Snare(th, step(s), 0.75f, 0.25f), Clap(th, step(s), 0.5f);
        Hat(th, step(s), s % 2 == 0 ? 0.45f : 0.25f, 45, (s & 2) == 0 ? 0.7f : 0.3f);
      }
      if (b % 4 == 3)
        for (int k = 0; k < 4; k++) Tom(th, S + 56700 + k * StepSamples, 52 - 3 * k, 0.6f);
    }

    // Snare fills rising within and across the four fill bars.
    if ((b >= 20 && b < 24) || (b >= 44 && b < 48) || (b >= 68 && b < 72)) {
      int F = b - b % 4, i = b - F, hits = i < 2 ? 2 : i == 2 ? 4 : 8;
      for (int j = 0; j < (i == 3 ? 3 : 4) * hits; j++)
        Snare(th, S + j * BeatSamples / hits, (float)(((double)j / (4 * hits) + i) * 0.13 + 0.12),
              0.3f);
      if (i >= 2)
        for (int k = 0; k < (i == 2 ? 4 : 3); k++) Kick(th, S + k * BeatSamples, 0.75f);
      if (i == 0) Riser(th, S, 283500, 0.9f), Swell(th, F * BarSamples + 283500, 113400, 0.8f);
    }
    if (b >= 64 && b < 68)
      Kick(th, S, 0.7f), Snare(th, S + 37800, 0.55f, 0.7f), Hat(th, S + 66150, 0.25f, 9, 0.5f);
    if (b == 6) Riser(th, S, 151200, 0.7f), Swell(th, 604800, 75600, 0.7f);
    if (b >= 40 && b < 44) Clap(th, S + 37800, 0.7f), Hat(th, S + 66150, 0.3f, 8, 0.5f);

    // Bass.
    if ((b >= 8 && b < 16) || x.drop)
      for (int s = 0; s < 16; s++)
        if (s % 4)
          OffbeatBass(th, step(s), 4325, r + (s % 4 == 3 && b % 2 ? 12 : 0), x.drop ? 0.44f : 0.4f,
                      x.drop ? 650 : 450);
    if (b >= 4 && b < 8)
      for (int k = 0; k < 4; k++) OffbeatBass(th, S + 9450 + k * BeatSamples, 9450, r, 0.35f, 300);
    if (b >= 72 && b < 88)
      for (int s = 0; s < 16; s++) {
        if (s == 5 || s == 13) continue;
        int slide = 0x4482 >> s & 1, accent = 0x9124 >> s & 1;
        AcidBass(th, step(s), slide ? 4725 : 3825, r + BassOffsets[s],
                 r + slide * BassOffsets[(s + 15) % 16], b < 80 ? 0.22f : 0.3f, accent);
      }
    if (b >= 80 && b < 88)
      for (int k = 1; k <= 3; k++) {
        float q = 0.3f * k + 0.2f;
        Stab(th, S, 28350, n[k], 0.2f, q), Stab(th, S + 47250, 9450, n[k], 0.16f, q);
      }

    if (x.drop) {
      if (b % 8 == 3)
        for (int k = 0; k < 4; k++) Tom(th, S + 56700 + k * StepSamples, 48 - 2 * k, 0.5f);
      if (b % 4 == 1)
        for (int s = 0; s < 16; s++)
          if (HatMasks[b / 4 % 4] >> s & 1)
            Hat(th, S + 56700 + s * BeatSamples / 16, 0.2f + 0.02f * s, 70, s % 2 ? 0.2f : 0.8f);
    }

    // Chords: pads, the sub, the choir, drones.
    if (x.chordStart) {
      int len = x.R * BarSamples;
      if (x.calm)
        Pad(th, S, len, n, 0.5f, 600, 1600, 1.5f), SubPad(th, S, len, r);
      else
        Pad(th, S, len, n, 0.14f, 2500, 3500, 0.05f);
      if (b >= 16 && b < 24) ChoirChord(th, b, x.R, n, r, 0.55f, 0.0f, 2.0f);
      if (b >= 40 && b < 48) ChoirChord(th, b, x.R, n, r, 0.6f, 1.0f, 2.5f);
      if ((b >= 48 && b < 64) || b >= 76)
        ChoirChord(th, b, b >= 88 ? 4 : x.R, n, r, b < 88 ? 0.55f : 0.6f, 2.0f,
                   b < 88 ? 2.0f : 0.0f);
      if (b >= 64 && b < 72) ChoirChord(th, b, x.R, n, r, 0.45f, 0.0f, 1.0f);
      if ((b >= 16 && b < 20) || (b >= 64 && b < 72) || b >= 88)
        ChordDrone(th, S, len, n, b < 88 ? 0.4f : 0.5f);
    }

    // The melodic voices of a bar are played in runs of calls of one voice,
    // collected here in call order.
    PluckNote plucks[16];
    LeadNote leads[MaxBarNotes];
    BellNote bells[16];
    int count = 0;

    // Arpeggio plucks.
    if (b < 16 || (b >= 24 && b < 64) || (b >= 72 && b < 88)) {
      for (int s = 0; s < 16; s++)
        plucks[s] = {step(s), (double)(x.A[pattern[s]] + (x.drop ? 12 : 0)),
                     b < 4    ? 0.12f + 0.04f * b
                     : x.drop ? 0.14f
                              : 0.22f,
                     0.4f + 0.05f * (b % 8), s % 2 ? 0.25f : 0.75f};
      Plucks(th, plucks, 16);
    }

    // The lead melody, its octave, the bass-register echo and chord stabs.
    if (x.drop) {
      const uint8_t* M = b >= 72 && b < 80 ? MelodyB : MelodyA;
      for (const uint8_t* m = M; m[0] != 0xFF; m += 3) {
        if (!Playing(m, b)) continue;
        int T = step(m[0] % 16), len = 4725 * m[2] - 600;
        leads[count++] = {T, len, (double)(m[1] + x.K), 1.15f, 1900, 3, 9, 0.5f, 0.22f, true};
        if (b >= 56)
          leads[count++] = {T,     len,  (double)(m[1] + x.K + 12), 0.45f, 2600, 2, 9, 0.5f,
                            0.15f, false};
      }
      if (b >= 80)
        for (const uint8_t* m = MelodyB; m[0] != 0xFF; m += 3)
          if (Playing(m, b))
            leads[count++] = {step(m[0] % 16),
                              4725 * m[2] - 600,
                              (double)(m[1] + x.K - 12),
                              0.5f,
                              1500,
                              2,
                              9,
                              0.3f,
                              0.2f,
                              false};
    }
    if (x.drop || (b >= 12 && b < 16))
      for (int k = 0; k < 4; k++)
        for (int j = 0; j < 3; j++)
          leads[count++] = x.drop ? LeadNote{S + 9450 + k * BeatSamples,
                                             6300,
                                             (double)(n[j + 1] - 12),
                                             0.17f,
                                             1400,
                                             2,
                                             14,
                                             0.2f + 0.3f * j,
                                             0.0f,
                                             false}
                                  : LeadNote{S + 9450 + k * BeatSamples,
                                             4725,
                                             (double)(n[j + 1] - 12),
                                             0.12f + 0.04f * (b - 12),
                                             300.0f * (b - 9),
                                             2,
                                             14,
                                             0.2f + 0.3f * j,
                                             0.0f,
                                             false};
    Leads(th, leads, count);
    if ((b >= 16 && b < 20) || (b >= 40 && b < 44)) {
      count = 0;
      for (const uint8_t* m = MelodyA; m[0] != 0xFF; m += 3)
        if (Playing(m, b)) {
          int T = step(m[0] % 16);
          plucks[count++] = {T, (double)(m[1] - 12), 0.3f, 0.25f, 0.45f};
          plucks[count++] = {T + 300, (double)m[1], 0.14f, 0.35f, 0.55f};
        }
      Plucks(th, plucks, count);
    }

    // Bells.
    count = 0;
    if (b >= 64 && b < 72) {
      for (int k = 0; k < 4; k++)
        bells[count++] = {S + 600 * k, (double)(n[k] - 12), 0.28f, 0.3f + 0.13f * k};
      bells[count++] = {S, (double)(r - 12), 0.3f, 0.5f};
      for (int s = 0; s < 8; s++)
        bells[count++] = {S + 37800 + s * StepSamples,
                          (double)(x.A[pattern[2 * s]] + (s > 3 ? 12 : 0)), 0.12f,
                          s % 2 ? 0.3f : 0.7f};
    }
    if (b >= 88)
      for (const uint8_t* m = MelodyB; m[0] != 0xFF; m += 3)
        if (Playing(m, b))
          bells[count++] = {step(m[0] % 16), (double)(m[1] + x.K - 12), 0.16f, 0.5f};
    Bells(th, bells, count);

    // Sung lines, vocal chops, words.
    bool singB = b >= 84 && b < 88, singA = b >= 56 && b < 64;
    if (singA || singB)
      for (const uint8_t* m = singB ? MelodyB : MelodyA; m[0] != 0xFF; m += 3)
        if (Playing(m, b)) {
          int T = step(m[0] % 16);
          VoiceNote(th, 4, T, T + 4725 * m[2] - 400, m[1] + x.K, 0.9f, 2.0f,
                    singB || m[2] >= 3 ? 1.0f : 2.0f);
        }
    if ((b >= 32 && b < 40) || (b >= 48 && b < 64) || (b >= 76 && b < 88))
      for (int i = 0; i < 6; i++) {
        int T = S + 4725 * ChopSteps[i];
        VoiceNote(th, 0, T, T + 4725 * ChopLengths[i] - 300, (i % 2 ? n[3] : n[2]) + 12, 1.0f,
                  ChopVowels[i], ChopVowels[(i + 1) % 6]);
      }
    for (const uint8_t* w = SpokenWords; w[0]; w += 7)
      if (w[0] == b) SpeakWords(th, S + w[1] * 9450, w[2], w[3], w[4], w[5] / 10.0f, w[6] / 20.0);
    if (b == 64 || b == 80) SingPhrase(th, S, 0, x.K);
    if (b == 84) SingPhrase(th, S, SungPhraseSeventh, x.K);
  }
}
