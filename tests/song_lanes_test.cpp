// The voices in lanes against the plain loops on calls the song never makes:
// short and mixed groups, a string too short for lanes, a lead longer than
// the scratch, a pad longer than its table, cuts at the end of the track. The whole song is
// compared in song_render_test.
#include <gtest/gtest.h>

#include <vector>

#include "tests/song_helpers.h"
#include "tests/song_plain.h"

struct Voices {
  const PlainSong* plain;  // null: the real voices
  void Pad(int start, int length, const int* chord) const {
    (plain ? plain->pad : ::Pad)(2, start, length, chord, 0.5f, 600, 1600, 0.0f);
  }
  void Drone(int start, int length, const int* chord) const {
    (plain ? plain->chordDrone : ::ChordDrone)(2, start, length, chord, 0.4f);
  }
  void Plucks(const std::vector<PluckNote>& p) const {
    (plain ? plain->plucks : ::Plucks)(3, p.data(), (int)p.size());
  }
  void Leads(const std::vector<LeadNote>& p) const {
    (plain ? plain->leads : ::Leads)(3, p.data(), (int)p.size());
  }
  void Bells(const std::vector<BellNote>& p) const {
    (plain ? plain->bells : ::Bells)(3, p.data(), (int)p.size());
  }
};

static const int Chord[4] = {58, 63, 67, 70};
static const int End = SongFrames;
static const LeadNote Chords = {0, 6300, 48, 0.17f, 1400, 2, 14, 0.2f, 0, false};
static LeadNote At(LeadNote n, int start, double note, float pan, bool record) {
  n.start = start, n.note = note, n.pan = pan, n.record = record;
  return n;
}

static const struct Case {
  const char* name;
  int from, span;  // the samples compared, in every group
  void (*play)(const Voices&);
} cases[] = {
    {"pad cut three samples into a block", End - 50003, 50003,
     [](const Voices& v) { v.Pad(End - 50003, 20000, Chord); }},
    {"pad longer than the song's longest (its wobble past the table)", 5000000, 444100,
     [](const Voices& v) { v.Pad(5000000, 400000, Chord); }},
    {"drone cut at the end", End - 30001, 30001,
     [](const Voices& v) { v.Drone(End - 30001, 5000, Chord); }},
    {"three plucks, starts falling, one string shorter than four", 1000000, 100000,
     [](const Voices& v) {
       v.Plucks({{1009000, 71, 0.2f, 0.4f, 0.25f},
                 {1004001, 131, 0.3f, 0.5f, 0.75f},  // 14 kHz: a line of 2
                 {1000000, 40, 0.2f, 0.3f, 0.5f},
                 {1000300, 52, 0.1f, 0.6f, 0.6f}});
     }},
    {"plucks cut at the end", End - 70000, 70000,
     [](const Voices& v) {
       v.Plucks({{End - 60000, 60, 0.2f, 0.4f, 0.25f}, {End - 70000, 67, 0.2f, 0.4f, 0.75f}});
     }},
    {"leads of mixed starts and lengths, marked and not", 2000000, 60000,
     [](const Voices& v) {
       LeadNote melody = {2000000, 9000, 72, 1.15f, 1900, 3, 9, 0.5f, 0.22f, true};
       v.Leads({melody, At(Chords, 2004725, 50, 0.5f, false), At(melody, 2001111, 77, 0.3f, true),
                At(Chords, 2004725, 53, 0.8f, false), At(Chords, 2030000, 55, 0.2f, true)});
     }},
    {"a lead longer than the scratch runs alone", 3000000, 120000,
     [](const Voices& v) {
       v.Leads({At(Chords, 3000000, 48, 0.2f, false),
                {3000100, 110001, 60, 0.3f, 2000, 2, 4, 0.6f, 0.1f, true}});
     }},
    {"leads cut at the end", End - 9001, 9001,
     [](const Voices& v) { v.Leads({At(Chords, End - 9001, 60, 0.5f, true)}); }},
    {"bells with and without their top partials", 4000000, 140000,
     [](const Voices& v) {
       v.Bells({{4000000, 58, 0.28f, 0.3f},
                {4000600, 100, 0.2f, 0.7f},  // 2.6 kHz: eight partials
                {4001200, 62, 0.2f, 0.5f}});
     }},
    {"bells cut at the end", End - 1003, 1003,
     [](const Voices& v) {
       v.Bells({{End - 1003, 70, 0.2f, 0.5f}});
     }},
};

static std::vector<float> Take(int from, int span) {
  std::vector<float> v;
  for (TrackGroup& t : trackGroups)
    for (float* b : {t.left, t.right, t.sendA, t.sendB})
      if (b) v.insert(v.end(), b + from, b + from + span);
  return v;
}

static std::vector<float> Lists(const EventList* lists) {
  std::vector<float> v;
  for (int k = 0; k < EventListCount; k++)
    v.push_back(lists[k].count), v.insert(v.end(), lists[k].time, lists[k].time + lists[k].count);
  return v;
}

TEST(SongLanes, EveryEdgeAsThePlainLoops) {
  AllocGroups();
  const PlainSong* plain = PlainSongLibrary();
  for (int g = 0; g < 4; g++) plain->trackGroups[g] = trackGroups[g];
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Voices voices[2] = {{nullptr}, {plain}};
    std::vector<float> tracks[2], lists[2];
    for (int i = 0; i < 2; i++) {
      EventList* e = i ? plain->eventLists : eventLists;
      ClearGroups(c.from, c.span), memset(e, 0, EventListCount * sizeof(EventList));
      c.play(voices[i]);
      tracks[i] = Take(c.from, c.span), lists[i] = Lists(e);
    }
    EXPECT_TRUE(tracks[0] == tracks[1]);
    EXPECT_TRUE(lists[0] == lists[1]);
    double energy = 0;
    for (float x : tracks[0]) energy += x * x;
    EXPECT_GT(energy, 0);
    EXPECT_TRUE(GuardsIntact());
  }
  FreeGroups();
}
