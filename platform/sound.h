// The sound device and its static PCM buffers: play once or looping, restart, stop, volume in
// hundredths of a decibel, frequency. Stands in for the system's sound-effect service.
#pragma once
#include <cstdint>
#include <vector>

class Window;
class SoundBuffer;

// Cooperative levels.
constexpr int SOUND_COOP_NORMAL = 1;
constexpr int SOUND_COOP_PRIORITY = 2;
constexpr int SOUND_COOP_EXCLUSIVE = 3;
constexpr int SOUND_COOP_WRITEPRIMARY = 4;

// Capability bits of a buffer (the device honours volume and frequency control always).
constexpr uint32_t SOUND_CAPS_STATIC = 0x2;
constexpr uint32_t SOUND_CAPS_LOCSOFTWARE = 0x8;
constexpr uint32_t SOUND_CAPS_CTRLFREQUENCY = 0x20;
constexpr uint32_t SOUND_CAPS_CTRLVOLUME = 0x80;

// Lock flags.
constexpr uint32_t SOUND_LOCK_FROMWRITECURSOR = 0x1;
constexpr uint32_t SOUND_LOCK_ENTIREBUFFER = 0x2;

// Volume range in hundredths of a decibel, and the frequency range in hertz.
constexpr int32_t SOUND_VOLUME_MAX = 0;
constexpr int32_t SOUND_VOLUME_MIN = -10000;
constexpr uint32_t SOUND_FREQUENCY_MIN = 100;
constexpr uint32_t SOUND_FREQUENCY_MAX = 100000;

// The PCM format as a wave file's "fmt " chunk stores it (little-endian, 16 or 18 bytes).
struct WaveFormat {
    uint16_t format_tag;  // 1: PCM
    uint16_t channels;
    uint32_t samples_per_sec;
    uint32_t avg_bytes_per_sec;
    uint16_t block_align;
    uint16_t bits_per_sample;
    uint16_t extra_size;
};

constexpr uint16_t WAVE_FORMAT_PCM = 1;

// What a buffer is made from. format points at the stored format record of format_bytes bytes.
struct SoundBufferDesc {
    uint32_t flags;
    uint32_t buffer_bytes;
    const uint8_t* format;
    uint32_t format_bytes;
};

class SoundDevice {
  public:
    // Null when there is no sound device (headless, or no audio output could be opened).
    static SoundDevice* create();
    bool set_cooperative_level(Window* window, int level);
    // A static buffer of the stored PCM format (8 or 16 bits, 1 or 2 channels). Null when
    // the format or size is unusable.
    SoundBuffer* create_buffer(const SoundBufferDesc& desc);
    // A second buffer with the same samples, format, frequency and volume; stopped.
    SoundBuffer* duplicate(SoundBuffer* original);
    void release();
};

class SoundBuffer {
  public:
    // The first region of a lock of bytes at offset: its memory and, through *region_bytes,
    // its length. A static buffer has no second region. Null when already locked or out of range.
    uint8_t* lock(uint32_t offset, uint32_t bytes, uint32_t flags, uint32_t* region_bytes);
    bool unlock(uint8_t* region, uint32_t region_bytes);
    // Starts from the current position, or restarts if already sounding.
    bool play(bool looping);
    // In bytes of the stored format; a sounding buffer jumps there.
    bool set_current_position(uint32_t position);
    bool stop();
    bool is_playing() const;
    // Hundredths of a decibel, SOUND_VOLUME_MIN to 0.
    bool set_volume(int32_t hundredths_db);
    int32_t volume() const;
    // Samples per second the stored data plays at from the next play on.
    bool set_frequency(uint32_t hertz);
    uint32_t frequency() const;
    void release();
};

// How many devices and buffers are alive, so tests can see releases.
struct SoundCounts {
    int devices, buffers;
};
SoundCounts sound_live_counts();

// Tests: while on, a created device renders into memory instead of a speaker (also headless),
// mono 16-bit at SOUND_CAPTURE_RATE, and mixes only inside sound_capture_run.
constexpr int SOUND_CAPTURE_RATE = 11025;
void sound_capture_mode(bool on);
// Runs the mixer for at least `frames` output frames and returns what it produced.
std::vector<int16_t> sound_capture_run(uint32_t frames);
