// Shared song state written during the render and read by the show.
#include "music/music.h"

EventList eventLists[EventListCount];
unsigned char wordNumbers[MaxEvents];
PhonemeEvent phonemeEvents[MaxPhonemeEvents];
int phonemeEventCount;
VoiceControl voiceControl[5];
TrackGroup trackGroups[4];
