// The music performance: created after the sound device and closed before it, with 64 segment
// slots that nothing fills. The game makes it and closes it; no music sounds.
#pragma once
#include <cstdint>

#include "platform/music.h"

constexpr int MAX_MUSIC = 64;
constexpr int32_t MUSIC_PLAYING = 2;
constexpr int32_t MUSIC_STOPPED = 3;

struct MusicSlot {
    MusicSegment* segment;  // null when the slot is empty
    MusicSegmentState* segment_state;
    int32_t id;
    int32_t status;  // 0 empty, MUSIC_PLAYING or MUSIC_STOPPED
};

extern MusicSlot music_slots[MAX_MUSIC];
extern MusicPerformance* music_performance;
extern MusicLoader* music_loader;
// The slot last started, -1 for none.
extern int32_t music_active;

// 1, or 0 at the first step that failed (what was made so far stays for mus_shutdown).
int mus_init();
int mus_shutdown();
int mus_play(int index);
int mus_stop(int index);
// The slot's status as it is now, or 0 for an empty slot.
int mus_status(int index);
