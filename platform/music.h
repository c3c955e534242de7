// The music performance, its loader and segments: created after the sound device and closed
// before it. Nothing here sounds; segments only keep the time they would play.
#pragma once
#include <cstdint>

class SoundDevice;
class Window;
class MusicSegment;
class MusicSegmentState;

class MusicPerformance {
  public:
    static MusicPerformance* create();
    // Plays through the sound device (none: into nothing). Fails when already set up.
    bool init(SoundDevice* device, Window* window);
    // The default output port. Fails before init.
    bool add_port();
    // Starts a segment from its beginning; *state (when asked) stays valid until close_down.
    bool play_segment(MusicSegment* segment, MusicSegmentState** state);
    // Stops one segment, or everything for null.
    bool stop(MusicSegment* segment);
    // True while a started segment has neither been stopped nor reached its end.
    bool is_playing(const MusicSegment* segment) const;
    // Stops everything and lets go of the sound device.
    bool close_down();
    void release();
};

class MusicLoader {
  public:
    static MusicLoader* create();
    // A silent segment lasting length_ms milliseconds of the platform clock.
    MusicSegment* create_segment(uint32_t length_ms);
    void release();
};

class MusicSegment {
  public:
    // Frees what the segment holds for the performance (stopping it there first).
    bool unload(MusicPerformance* performance);
    void release();
};

// How many performances, loaders and segments are alive, and how many performances are
// still bound to a sound device.
struct MusicCounts {
    int performances, loaders, segments, bound;
};
MusicCounts music_live_counts();
