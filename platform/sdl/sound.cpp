// The sound device on SDL_mixer: one mixer channel per buffer, the stored PCM converted to the
// device's format when played, the volume applied as an exact gain by a channel effect. Tests
// can render the mixer into memory instead of a speaker.
#include "platform/sound.h"

#include <SDL_mixer.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/sdl/internal.h"
#include "platform/system/system.h"

namespace {

// SDL_mixer brings some forty libraries with it (its decoders, MIDI synthesis and what they
// need); loading it when the sound device opens, after the first picture, keeps them out of
// the start-up.
struct Mixer {
    decltype(&Mix_OpenAudioDevice) open_audio_device;
    decltype(&Mix_CloseAudio) close_audio;
    decltype(&Mix_QuerySpec) query_spec;
    decltype(&Mix_AllocateChannels) allocate_channels;
    decltype(&Mix_PlayChannelTimed) play_channel_timed;
    decltype(&Mix_HaltChannel) halt_channel;
    decltype(&Mix_Playing) playing;
    decltype(&Mix_RegisterEffect) register_effect;
    decltype(&Mix_SetPostMix) set_post_mix;
};
Mixer mix{};

template <typename Function>
bool find_function(void* library, const char* name, Function* out) {
    *out = reinterpret_cast<Function>(system_library_function(library, name));
    return *out != nullptr;
}

bool load_mixer() {
    static bool loaded = false;
    if (loaded) return true;
    void* library = system_library_load("SDL2_mixer");
    if (!library) return false;
    Mixer m{};
    loaded = find_function(library, "Mix_OpenAudioDevice", &m.open_audio_device) &&
             find_function(library, "Mix_CloseAudio", &m.close_audio) &&
             find_function(library, "Mix_QuerySpec", &m.query_spec) &&
             find_function(library, "Mix_AllocateChannels", &m.allocate_channels) &&
             find_function(library, "Mix_PlayChannelTimed", &m.play_channel_timed) &&
             find_function(library, "Mix_HaltChannel", &m.halt_channel) &&
             find_function(library, "Mix_Playing", &m.playing) &&
             find_function(library, "Mix_RegisterEffect", &m.register_effect) &&
             find_function(library, "Mix_SetPostMix", &m.set_post_mix);
    if (!loaded) {
        system_library_unload(library);
        return false;
    }
    mix = m;
    return true;
}

struct DeviceImpl : SoundDevice {
    Window* window = nullptr;
    int level = 0;
    bool capture = false;
    std::string previous_driver;  // capture mode puts the audio driver back on release
};

struct BufferImpl : SoundBuffer {
    WaveFormat format{};
    uint32_t flags = 0;
    std::vector<uint8_t> pcm;    // the stored samples, what lock() hands out
    std::vector<uint8_t> mixed;  // pcm in the device's format at `frequency`
    bool stale = true;           // pcm or frequency changed since `mixed` was made
    uint32_t frequency = 0;
    int32_t volume = 0;
    float gain = 1.0f;  // read by the mixer thread under the audio lock
    uint32_t position = 0;
    bool locked = false;
    bool looping = false;
    int channel = -1;  // -1: the device is gone
    Mix_Chunk chunk{};
};

DeviceImpl* live_device = nullptr;
int live_buffers = 0;
SDL_AudioDeviceID audio_id = 0;
int out_rate = 0;
int out_channels = 0;
std::vector<BufferImpl*> channel_owner;  // mixer channel -> its buffer, or null when free

bool capture_mode = false;
struct Capture {
    SDL_mutex* mutex = nullptr;
    SDL_cond* done_signal = nullptr;
    std::vector<int16_t> samples;
    uint32_t wanted = 0;
    bool running = false;
    bool done = false;
} capture;

BufferImpl* impl(SoundBuffer* b) {
    return static_cast<BufferImpl*>(b);
}
const BufferImpl* impl(const SoundBuffer* b) {
    return static_cast<const BufferImpl*>(b);
}

// Keeps the mixer thread out while a play and its effect are set up together.
struct AudioLock {
    AudioLock() { SDL_LockAudioDevice(audio_id); }
    ~AudioLock() { SDL_UnlockAudioDevice(audio_id); }
};

// SDL_mixer does not say which device it opened; it is the only one we open.
SDL_AudioDeviceID find_open_device() {
    for (SDL_AudioDeviceID id = 1; id < 64; ++id) {
        if (SDL_GetAudioDeviceStatus(id) != SDL_AUDIO_STOPPED) return id;
    }
    return 0;
}

void SDLCALL gain_effect(int, void* stream, int len, void* udata) {
    float gain = static_cast<BufferImpl*>(udata)->gain;
    if (gain == 1.0f) return;
    auto* samples = static_cast<int16_t*>(stream);
    for (int i = 0; i < len / 2; ++i) samples[i] = int16_t(std::lrint(samples[i] * gain));
}

void SDLCALL capture_post_mix(void*, Uint8* stream, int len) {
    if (!capture.running) return;
    auto* samples = reinterpret_cast<const int16_t*>(stream);
    capture.samples.insert(capture.samples.end(), samples, samples + len / 2);
    if (capture.samples.size() < capture.wanted) return;
    // Freeze the mixer where it is until the test asks for more.
    capture.running = false;
    SDL_PauseAudioDevice(audio_id, 1);
    SDL_LockMutex(capture.mutex);
    capture.done = true;
    SDL_CondSignal(capture.done_signal);
    SDL_UnlockMutex(capture.mutex);
}

// Capture mode borrows the disk driver; the driver in use before comes back afterwards.
void restore_driver(const DeviceImpl* device) {
    if (device->capture && !device->previous_driver.empty())
        SDL_AudioInit(device->previous_driver.c_str());
}

// The disk driver mixes as fast as asked and writes nowhere; small blocks because closing a
// device waits for two of them.
bool open_capture_mixer(DeviceImpl* device) {
    const char* previous = SDL_GetCurrentAudioDriver();
    device->previous_driver = previous ? previous : "";
    SDL_setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    SDL_setenv("SDL_DISKAUDIODELAY", "0", 1);
    // The disk driver announces itself at the highest log priority; tests need no banner.
    SDL_LogPriority priority = SDL_LogGetPriority(SDL_LOG_CATEGORY_AUDIO);
    SDL_LogSetPriority(SDL_LOG_CATEGORY_AUDIO, SDL_NUM_LOG_PRIORITIES);
    bool opened = SDL_AudioInit("disk") == 0 &&
                  mix.open_audio_device(SOUND_CAPTURE_RATE, AUDIO_S16SYS, 1, 32, nullptr, 0) == 0;
    SDL_LogSetPriority(SDL_LOG_CATEGORY_AUDIO, priority);
    return opened;
}

// False with what went wrong in *why.
bool open_mixer(DeviceImpl* device, std::string* why) {
    // SDL's error says why in one line what the system's sound library would say in many.
    system_quiet_sound_library();
    bool opened = load_mixer() && SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (!opened) {
        *why = SDL_GetError();
        return false;
    }
    opened = device->capture ? open_capture_mixer(device)
                             : mix.open_audio_device(44100, AUDIO_S16SYS, 2, 1024, nullptr,
                                                     SDL_AUDIO_ALLOW_FREQUENCY_CHANGE |
                                                         SDL_AUDIO_ALLOW_CHANNELS_CHANGE) == 0;
    if (opened) return true;
    *why = SDL_GetError();
    restore_driver(device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
}

void close_mixer(DeviceImpl* device) {
    mix.halt_channel(-1);
    mix.set_post_mix(nullptr, nullptr);
    mix.close_audio();
    restore_driver(device);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    audio_id = 0;
}

void start_capture() {
    capture.mutex = SDL_CreateMutex();
    capture.done_signal = SDL_CreateCond();
    SDL_PauseAudioDevice(audio_id, 1);
    mix.set_post_mix(capture_post_mix, nullptr);
}

void end_capture() {
    SDL_DestroyCond(capture.done_signal);
    SDL_DestroyMutex(capture.mutex);
    capture = Capture{};
}

int take_channel(BufferImpl* buffer) {
    for (size_t i = 0; i < channel_owner.size(); ++i) {
        if (!channel_owner[i]) {
            channel_owner[i] = buffer;
            return int(i);
        }
    }
    size_t grown = channel_owner.empty() ? 16 : channel_owner.size() * 2;
    if (mix.allocate_channels(int(grown)) != int(grown)) return -1;
    size_t first = channel_owner.size();
    channel_owner.resize(grown, nullptr);
    channel_owner[first] = buffer;
    return int(first);
}

// A usable stored format: 8- or 16-bit PCM, mono or stereo, at a playable rate.
bool read_format(const SoundBufferDesc& desc, WaveFormat* format) {
    if (!desc.format || desc.format_bytes < 16) return false;
    *format = WaveFormat{};
    memcpy(format, desc.format, desc.format_bytes < 18 ? 16 : 18);
    const WaveFormat& f = *format;
    return f.format_tag == WAVE_FORMAT_PCM && (f.channels == 1 || f.channels == 2) &&
           (f.bits_per_sample == 8 || f.bits_per_sample == 16) &&
           f.block_align == f.channels * f.bits_per_sample / 8 &&
           f.samples_per_sec >= SOUND_FREQUENCY_MIN && f.samples_per_sec <= SOUND_FREQUENCY_MAX;
}

// Remakes the device-format copy of the samples at the buffer's frequency.
bool convert(BufferImpl* b) {
    SDL_AudioFormat source = b->format.bits_per_sample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    SDL_AudioCVT cvt;
    if (SDL_BuildAudioCVT(&cvt, source, Uint8(b->format.channels), int(b->frequency), AUDIO_S16SYS,
                          Uint8(out_channels), out_rate) < 0)
        return false;
    size_t whole = b->pcm.size() / b->format.block_align * b->format.block_align;
    std::vector<uint8_t> work(whole * size_t(cvt.len_mult));
    memcpy(work.data(), b->pcm.data(), whole);
    cvt.buf = work.data();
    cvt.len = int(whole);
    if (cvt.needed && SDL_ConvertAudio(&cvt) != 0) return false;
    work.resize(cvt.needed ? size_t(cvt.len_cvt) : whole);
    b->mixed = std::move(work);
    b->stale = false;
    return true;
}

// The mixer chunk for the samples from the buffer's position on.
void aim_chunk(BufferImpl* b) {
    size_t frame_bytes = size_t(out_channels) * 2;
    uint64_t frame = b->position / b->format.block_align;
    size_t offset = size_t(frame * uint64_t(out_rate) / b->frequency) * frame_bytes;
    if (offset > b->mixed.size()) offset = b->mixed.size() / frame_bytes * frame_bytes;
    b->chunk.allocated = 0;
    b->chunk.abuf = b->mixed.data() + offset;
    b->chunk.alen = Uint32(b->mixed.size() - offset);
    b->chunk.volume = MIX_MAX_VOLUME;
}

bool start(BufferImpl* b, bool looping) {
    AudioLock lock;
    if (b->stale) {
        mix.halt_channel(b->channel);
        if (!convert(b)) return false;
    }
    aim_chunk(b);
    b->looping = looping;
    if (mix.play_channel_timed(b->channel, &b->chunk, looping ? -1 : 0, -1) < 0) return false;
    // Starting a channel drops its effects, so the gain goes on again with every start.
    return mix.register_effect(b->channel, gain_effect, nullptr, b) != 0;
}

BufferImpl* new_buffer(const WaveFormat& format, uint32_t flags, size_t bytes) {
    auto* b = new BufferImpl;
    b->format = format;
    b->flags = flags;
    b->pcm.assign(bytes, 0);
    b->frequency = format.samples_per_sec;
    b->channel = take_channel(b);
    if (b->channel < 0) {
        delete b;
        return nullptr;
    }
    ++live_buffers;
    return b;
}

}  // namespace

SoundDevice* SoundDevice::create() {
    if (live_device) return nullptr;
    if (platform_options().headless && !capture_mode) return nullptr;
    auto* device = new DeviceImpl;
    device->capture = capture_mode;
    std::string why;
    if (!open_mixer(device, &why)) {
        fprintf(stderr, "gnatrix: no sound device (%s); playing without sound\n", why.c_str());
        delete device;
        return nullptr;
    }
    audio_id = find_open_device();
    Uint16 format = 0;
    mix.query_spec(&out_rate, &format, &out_channels);
    mix.allocate_channels(0);
    channel_owner.clear();
    if (device->capture) start_capture();
    live_device = device;
    return device;
}

bool SoundDevice::set_cooperative_level(Window* window, int level) {
    if (level < SOUND_COOP_NORMAL || level > SOUND_COOP_WRITEPRIMARY) return false;
    auto* device = static_cast<DeviceImpl*>(this);
    device->window = window;
    device->level = level;
    return true;
}

SoundBuffer* SoundDevice::create_buffer(const SoundBufferDesc& desc) {
    WaveFormat format;
    if (!read_format(desc, &format)) return nullptr;
    if (desc.buffer_bytes < format.block_align || desc.buffer_bytes > 0x0FFFFFFF) return nullptr;
    return new_buffer(format, desc.flags, desc.buffer_bytes);
}

SoundBuffer* SoundDevice::duplicate(SoundBuffer* original) {
    if (!original || impl(original)->channel < 0) return nullptr;
    const BufferImpl* from = impl(original);
    BufferImpl* b = new_buffer(from->format, from->flags, from->pcm.size());
    if (!b) return nullptr;
    b->pcm = from->pcm;
    b->frequency = from->frequency;
    b->volume = from->volume;
    b->gain = from->gain;
    return b;
}

void SoundDevice::release() {
    auto* device = static_cast<DeviceImpl*>(this);
    // Buffers that outlive their device stay valid objects that no longer sound.
    for (BufferImpl* b : channel_owner) {
        if (b) b->channel = -1;
    }
    channel_owner.clear();
    close_mixer(device);
    if (device->capture) end_capture();
    live_device = nullptr;
    delete device;
}

uint8_t* SoundBuffer::lock(uint32_t offset, uint32_t bytes, uint32_t flags,
                           uint32_t* region_bytes) {
    BufferImpl* b = impl(this);
    uint64_t size = b->pcm.size();
    if (flags & SOUND_LOCK_ENTIREBUFFER) bytes = uint32_t(size);
    if (flags & SOUND_LOCK_FROMWRITECURSOR) offset = b->position;
    if (b->locked || bytes == 0 || bytes > size || offset >= size) return nullptr;
    b->locked = true;
    *region_bytes = uint32_t(std::min<uint64_t>(size - offset, bytes));
    return b->pcm.data() + offset;
}

bool SoundBuffer::unlock(uint8_t* region, uint32_t region_bytes) {
    BufferImpl* b = impl(this);
    uint8_t* begin = b->pcm.data();
    if (!b->locked || region < begin || region + region_bytes > begin + b->pcm.size()) return false;
    b->locked = false;
    b->stale = true;
    return true;
}

bool SoundBuffer::play(bool looping) {
    BufferImpl* b = impl(this);
    if (b->channel < 0) return false;
    return start(b, looping);
}

bool SoundBuffer::set_current_position(uint32_t position) {
    BufferImpl* b = impl(this);
    if (position >= b->pcm.size()) return false;
    b->position = position - position % b->format.block_align;
    // A sounding buffer jumps to the new place.
    return !is_playing() || start(b, b->looping);
}

bool SoundBuffer::stop() {
    BufferImpl* b = impl(this);
    if (b->channel >= 0) mix.halt_channel(b->channel);
    return true;
}

bool SoundBuffer::is_playing() const {
    const BufferImpl* b = impl(this);
    return b->channel >= 0 && mix.playing(b->channel) != 0;
}

bool SoundBuffer::set_volume(int32_t hundredths_db) {
    if (hundredths_db < SOUND_VOLUME_MIN || hundredths_db > SOUND_VOLUME_MAX) return false;
    BufferImpl* b = impl(this);
    AudioLock lock;
    b->volume = hundredths_db;
    b->gain = float(std::pow(10.0, hundredths_db / 2000.0));
    return true;
}

int32_t SoundBuffer::volume() const {
    return impl(this)->volume;
}

bool SoundBuffer::set_frequency(uint32_t hertz) {
    BufferImpl* b = impl(this);
    if (hertz == 0) hertz = b->format.samples_per_sec;  // 0 restores the stored rate
    if (hertz < SOUND_FREQUENCY_MIN || hertz > SOUND_FREQUENCY_MAX) return false;
    if (hertz != b->frequency) b->stale = true;
    b->frequency = hertz;
    return true;
}

uint32_t SoundBuffer::frequency() const {
    return impl(this)->frequency;
}

void SoundBuffer::release() {
    BufferImpl* b = impl(this);
    if (b->channel >= 0) {
        // Halting also takes the gain effect (which points at b) off the channel.
        mix.halt_channel(b->channel);
        channel_owner[size_t(b->channel)] = nullptr;
    }
    --live_buffers;
    delete b;
}

void sound_hold(bool hold) {
    static bool resume = false;
    if (hold) {
        // A device already paused (capture mode mixes only on request) stays paused after.
        resume = audio_id && SDL_GetAudioDeviceStatus(audio_id) == SDL_AUDIO_PLAYING;
        if (resume) SDL_PauseAudioDevice(audio_id, 1);
    } else if (resume) {
        resume = false;
        SDL_PauseAudioDevice(audio_id, 0);
    }
}

bool sound_device_playing() {
    return audio_id && SDL_GetAudioDeviceStatus(audio_id) == SDL_AUDIO_PLAYING;
}

SoundCounts sound_live_counts() {
    return {live_device ? 1 : 0, live_buffers};
}

void sound_capture_mode(bool on) {
    capture_mode = on;
}

std::vector<int16_t> sound_capture_run(uint32_t frames) {
    if (!live_device || !live_device->capture) return {};
    {
        AudioLock lock;
        capture.samples.clear();
        capture.wanted = frames;
        capture.running = true;
        capture.done = false;
    }
    SDL_PauseAudioDevice(audio_id, 0);
    SDL_LockMutex(capture.mutex);
    // The mixer thread runs flat out here; the timeout only guards against a hang.
    while (!capture.done) {
        if (SDL_CondWaitTimeout(capture.done_signal, capture.mutex, 10000) == SDL_MUTEX_TIMEDOUT)
            break;
    }
    SDL_UnlockMutex(capture.mutex);
    AudioLock lock;
    SDL_PauseAudioDevice(audio_id, 1);
    capture.running = false;
    return capture.samples;
}
