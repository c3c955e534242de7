// Sound effects: a table of 256 slots, each holding one static buffer filled from a WAVE
// resource, played once or looping at a volume in percent.
#pragma once
#include <cstdint>

#include "platform/sound.h"

constexpr int32_t SOUND_EMPTY = 0;
constexpr int32_t SOUND_LOADED = 1;
constexpr int MAX_SOUNDS = 256;
constexpr int32_t SOUND_DEFAULT_RATE = 11025;

// Play flags of snd_play.
constexpr int DSBPLAY_LOOPING = 1;

struct SoundEntry {
    SoundBuffer* buffer;  // null when the slot is empty
    int32_t state;        // SOUND_EMPTY or SOUND_LOADED
    int32_t rate;         // playback rate in hertz recorded at load
    int32_t size;         // bytes of sample data
    int32_t id;           // the slot's own index
};

extern SoundEntry sound_table[MAX_SOUNDS];
extern SoundDevice* direct_sound;
extern SoundBufferDesc sound_buffer_desc;
// Set until the sound device has been tried; a failed creation is never retried.
extern int32_t sound_first_init;

// 1; 0 when the device or its cooperative level could not be set up.
int snd_init();
// Index of the slot filled from the WAVE resource, or -1.
int snd_load_wave(const char* name);
// Restarts the slot's sound from its first sample (flags: 0 once, DSBPLAY_LOOPING repeats).
int snd_play(int index, int flags);
// Percent 0-100: 100 plays unattenuated, 0 is -30 dB.
int snd_set_volume(int index, int percent);
int snd_stop(int index);
int snd_stop_all();
int snd_shutdown();
// The first free slot with a copy of a loaded slot's sound, or -1.
int snd_duplicate(int index);
int snd_set_frequency(int index, int hertz);
// Stop and release one slot (or all), emptying it for a later load.
int snd_delete(int index);
int snd_delete_all();
