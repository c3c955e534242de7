// Sound effects: the slot table, loading wave resources into static buffers, playing,
// stopping and setting the volume of a slot.
#include "audio/sound.h"

#include <cstring>

#include "platform/resources.h"
#include "platform/window.h"

SoundEntry sound_table[MAX_SOUNDS];
SoundDevice* direct_sound = nullptr;
SoundBufferDesc sound_buffer_desc;
int32_t sound_first_init = 1;

namespace {

// Where the format and the samples lie inside a wave resource.
struct WaveChunks {
    const uint8_t* format;
    uint32_t format_bytes;
    const uint8_t* samples;
    uint32_t sample_bytes;
};

uint32_t read_u32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Walks the chunks of a RIFF WAVE image. The image is not trusted: false when it is not one,
// when a chunk runs past its end, or when the format or samples are missing.
bool snd_find_chunks(const uint8_t* data, size_t size, WaveChunks* chunks) {
    if (!data || size < 12 || memcmp(data, "RIFF", 4) != 0 || memcmp(data + 8, "WAVE", 4) != 0)
        return false;
    uint64_t end = 8 + uint64_t(read_u32(data + 4));
    if (end > size) return false;
    *chunks = WaveChunks{};
    uint64_t pos = 12;
    while (pos < end) {
        if (pos + 8 > end) return false;
        uint32_t bytes = read_u32(data + pos + 4);
        if (pos + 8 + bytes > end) return false;
        const uint8_t* body = data + pos + 8;
        // A later chunk of the same name replaces an earlier one.
        if (memcmp(data + pos, "fmt ", 4) == 0) {
            chunks->format = body;
            chunks->format_bytes = bytes;
        } else if (memcmp(data + pos, "data", 4) == 0) {
            chunks->samples = body;
            chunks->sample_bytes = bytes;
        }
        pos += 8 + uint64_t(bytes) + (bytes & 1);
    }
    return chunks->format && chunks->format_bytes >= 16 && chunks->samples;
}

bool snd_valid(int index) {
    return index >= 0 && index < MAX_SOUNDS && sound_table[index].buffer;
}

int snd_free_slot() {
    for (int i = 0; i < MAX_SOUNDS; ++i) {
        if (sound_table[i].state == SOUND_EMPTY) return i;
    }
    return -1;
}

void snd_empty_slot(int index) {
    SoundEntry& slot = sound_table[index];
    if (slot.buffer) {
        slot.buffer->stop();
        slot.buffer->release();
    }
    slot = SoundEntry{};
    slot.state = SOUND_EMPTY;
    slot.id = index;
}

// Fills a new buffer with the samples; false (buffer released) when it cannot be written.
bool snd_fill(SoundBuffer* buffer, const WaveChunks& chunks) {
    uint32_t region_bytes = 0;
    uint8_t* region =
        buffer->lock(0, sound_buffer_desc.buffer_bytes, SOUND_LOCK_FROMWRITECURSOR, &region_bytes);
    if (!region) return false;
    memcpy(region, chunks.samples,
           region_bytes < chunks.sample_bytes ? region_bytes : chunks.sample_bytes);
    return buffer->unlock(region, region_bytes);
}

}  // namespace

int snd_init() {
    if (sound_first_init) {
        memset(sound_table, 0, sizeof sound_table);
        sound_first_init = 0;
        direct_sound = SoundDevice::create();
        if (!direct_sound) return 0;
        if (!direct_sound->set_cooperative_level(main_window, SOUND_COOP_NORMAL)) return 0;
    }
    return snd_delete_all();
}

int snd_load_wave(const char* name) {
    int index = snd_free_slot();
    if (index < 0 || !direct_sound) return -1;
    ResourceData resource;
    WaveChunks chunks;
    if (!find_resource("WAVE", name, &resource) ||
        !snd_find_chunks(resource.data, resource.size, &chunks))
        return -1;
    sound_buffer_desc.flags = SOUND_CAPS_STATIC | SOUND_CAPS_LOCSOFTWARE |
                              SOUND_CAPS_CTRLFREQUENCY | SOUND_CAPS_CTRLVOLUME;
    sound_buffer_desc.buffer_bytes = chunks.sample_bytes;
    sound_buffer_desc.format = chunks.format;
    sound_buffer_desc.format_bytes = chunks.format_bytes;
    SoundEntry& slot = sound_table[index];
    slot.buffer = direct_sound->create_buffer(sound_buffer_desc);
    if (!slot.buffer) return -1;
    if (!snd_fill(slot.buffer, chunks)) {
        slot.buffer->release();
        slot.buffer = nullptr;
        return -1;
    }
    slot.rate = SOUND_DEFAULT_RATE;
    slot.size = int32_t(chunks.sample_bytes);
    slot.state = SOUND_LOADED;
    return index;
}

int snd_play(int index, int flags) {
    if (!snd_valid(index)) return 1;
    SoundBuffer* buffer = sound_table[index].buffer;
    if (!buffer->set_current_position(0)) return 0;
    return buffer->play((flags & DSBPLAY_LOOPING) != 0) ? 1 : 0;
}

int snd_set_volume(int index, int percent) {
    if (!snd_valid(index)) return 0;
    return sound_table[index].buffer->set_volume(-30 * (100 - percent)) ? 1 : 0;
}

int snd_stop(int index) {
    if (snd_valid(index)) {
        sound_table[index].buffer->stop();
        sound_table[index].buffer->set_current_position(0);
    }
    return 1;
}

int snd_stop_all() {
    for (int i = 0; i < MAX_SOUNDS; ++i) snd_stop(i);
    return 1;
}

int snd_shutdown() {
    snd_stop_all();
    for (SoundEntry& slot : sound_table) {
        if (slot.buffer) slot.buffer->release();
        slot.buffer = nullptr;
    }
    if (direct_sound) direct_sound->release();
    direct_sound = nullptr;
    return 1;
}

int snd_duplicate(int index) {
    if (!snd_valid(index) || !direct_sound) return -1;
    int copy = snd_free_slot();
    if (copy < 0) return -1;
    SoundBuffer* buffer = direct_sound->duplicate(sound_table[index].buffer);
    if (!buffer) return -1;
    sound_table[copy] = sound_table[index];
    sound_table[copy].buffer = buffer;
    sound_table[copy].id = copy;
    return copy;
}

int snd_set_frequency(int index, int hertz) {
    if (!snd_valid(index) || hertz < 0) return 0;
    return sound_table[index].buffer->set_frequency(uint32_t(hertz)) ? 1 : 0;
}

int snd_delete(int index) {
    if (index < 0 || index >= MAX_SOUNDS) return 0;
    snd_empty_slot(index);
    return 1;
}

int snd_delete_all() {
    for (int i = 0; i < MAX_SOUNDS; ++i) snd_empty_slot(i);
    return 1;
}
