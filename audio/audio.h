// The audio engine: the song render job, the voices, the master and output.
#pragma once
#include <stddef.h>

#include <atomic>

// Progress of the song render; written with atomic exchanges, read by the
// loading display. songProgress 100 hands the finished song to the main thread.
extern std::atomic<int> songProgress;
extern std::atomic<int> workerProgress[4];

// The finished song: 7,182,000 frames of interleaved left/right int16.
extern short* songBuffer;

void StartSongRender();  // starts SongRenderThread; returns at once
void SongRenderThread();
void RenderWorker(int group);
void MasterMix();           // track groups and the KICK list -> songBuffer
float KickEnvelope(int d);  // ducking envelope d samples after a kick, 0..1
void SortEventLists();      // stable, ascending; once, after the workers
// Forgets the lists, voice arrays, song, caches and progress so that the song
// can be rendered again in the same process (tests and the capture tool).
void ResetSong();
void RenderVoices();  // worker 0, after its arrangement pass
void SpeechSynth();

// Playback; the position is the show's master clock. Main thread only.
constexpr int AudioChunkFrames = 176400;  // 4 s per queued chunk
constexpr int AudioMaxChunks = 64;        // bounds one playback; the song needs 41
extern unsigned audioDevice;              // SDL device; 0 before the first start or none
extern int audioStartFrame;               // songBuffer frame of the current playback
// Frames of each chunk queued from startFrame to the song's end; the count.
int AudioChunkPlan(int startFrame, int frames[AudioMaxChunks]);
// Clears what is queued and queues the song from startFrame (>= 0) to its end.
// Without an audio device it prints one line and the clock runs on wall time.
void AudioStart(int startFrame);
// Song seconds heard: start frame plus frames played since, / 44,100. Stops
// at the song's end.
double AudioPositionSeconds();
