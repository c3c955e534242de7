// The music performance and its segment slots, made after the sound device (whose output it
// uses) and closed before that device goes.
#include "audio/music.h"

#include "audio/sound.h"
#include "platform/window.h"

MusicSlot music_slots[MAX_MUSIC];
MusicPerformance* music_performance = nullptr;
MusicLoader* music_loader = nullptr;
int32_t music_active = -1;

namespace {

bool mus_filled(int index) {
    return index >= 0 && index < MAX_MUSIC && music_slots[index].segment && music_performance;
}

}  // namespace

int mus_init() {
    if (!music_performance) music_performance = MusicPerformance::create();
    if (!music_performance->init(direct_sound, main_window)) return 0;
    if (!music_performance->add_port()) return 0;
    if (!music_loader) music_loader = MusicLoader::create();
    for (int i = 0; i < MAX_MUSIC; ++i) music_slots[i] = MusicSlot{nullptr, nullptr, i, 0};
    music_active = -1;
    return 1;
}

int mus_shutdown() {
    if (music_performance) music_performance->stop(nullptr);
    for (MusicSlot& slot : music_slots) {
        if (slot.segment) {
            slot.segment->unload(music_performance);
            slot.segment->release();
        }
        slot.segment = nullptr;
        slot.segment_state = nullptr;
        slot.status = 0;
    }
    if (music_performance) {
        music_performance->close_down();
        music_performance->release();
        music_performance = nullptr;
    }
    if (music_loader) music_loader->release();
    music_loader = nullptr;
    music_active = -1;
    return 1;
}

int mus_play(int index) {
    if (!mus_filled(index) || music_slots[index].status == 0) return 0;
    if (music_active >= 0) mus_stop(music_active);
    MusicSlot& slot = music_slots[index];
    if (!music_performance->play_segment(slot.segment, &slot.segment_state)) return 0;
    slot.status = MUSIC_PLAYING;
    music_active = index;
    return 1;
}

int mus_stop(int index) {
    if (!mus_filled(index)) return 0;
    music_performance->stop(music_slots[index].segment);
    music_slots[index].status = MUSIC_STOPPED;
    music_active = -1;
    return 1;
}

int mus_status(int index) {
    if (!mus_filled(index)) return 0;
    MusicSlot& slot = music_slots[index];
    slot.status = music_performance->is_playing(slot.segment) ? MUSIC_PLAYING : MUSIC_STOPPED;
    return slot.status;
}
