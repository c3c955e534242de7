// The browser's shared libraries: a page loads one program, so SDL_mixer is linked into it and
// "loading" it finds its functions by name in this table (the system interface's library calls,
// which the browser's system folder leaves to this file: only the SDL part sees SDL_mixer).
#include <SDL_mixer.h>

#include <cstring>

#include "platform/system/system.h"

namespace {

struct LinkedFunction {
    const char* name;
    void* address;
};

// The functions the sound device asks SDL_mixer for.
const LinkedFunction mixer_functions[] = {
    {"Mix_OpenAudioDevice", reinterpret_cast<void*>(&Mix_OpenAudioDevice)},
    {"Mix_CloseAudio", reinterpret_cast<void*>(&Mix_CloseAudio)},
    {"Mix_QuerySpec", reinterpret_cast<void*>(&Mix_QuerySpec)},
    {"Mix_AllocateChannels", reinterpret_cast<void*>(&Mix_AllocateChannels)},
    {"Mix_PlayChannelTimed", reinterpret_cast<void*>(&Mix_PlayChannelTimed)},
    {"Mix_HaltChannel", reinterpret_cast<void*>(&Mix_HaltChannel)},
    {"Mix_Playing", reinterpret_cast<void*>(&Mix_Playing)},
    {"Mix_RegisterEffect", reinterpret_cast<void*>(&Mix_RegisterEffect)},
    {"Mix_SetPostMix", reinterpret_cast<void*>(&Mix_SetPostMix)},
};

}  // namespace

void* system_library_load(const char* name) {
    return strcmp(name, "SDL2_mixer") == 0 ? const_cast<LinkedFunction*>(mixer_functions) : nullptr;
}

void* system_library_function(void* library, const char* function) {
    if (library != mixer_functions) return nullptr;
    for (const LinkedFunction& f : mixer_functions)
        if (strcmp(f.name, function) == 0) return f.address;
    return nullptr;
}

void system_library_unload(void*) {}
