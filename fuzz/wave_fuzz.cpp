// The wave resource loader on any bytes: the RIFF chunk walk, then the buffer made from the
// format it found, played for a moment through a sound device that renders into memory.
#include <cstdint>
#include <cstdlib>

#include "audio/sound.h"
#include "fuzz/fuzz_support.h"
#include "platform/resources.h"
#include "platform/sound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool sound_up = false;
    if (!sound_up) {
        fuzz_start(false);
        sound_capture_mode(true);
        sound_first_init = 1;
        if (!snd_init() || !direct_sound) abort();
        sound_up = true;
    }
    resource_override("WAVE", "BONUS_WAV", data, size);
    const int index = snd_load_wave("BONUS_WAV");
    if (index >= 0) {
        snd_play(index, 0);
        sound_capture_run(64);
        snd_delete(index);
    }
    resource_clear_overrides();
    return 0;
}
