// The joystick device: the first attached joystick read through SDL, its X and Y axes mapped
// into the ranges the game sets, with a dead zone around the centre.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/input.h"
#include "platform/sdl/internal.h"

int32_t joystick_axis_value(int16_t raw, int32_t min, int32_t max, uint32_t dead_zone) {
    double position = std::max(-1.0, raw / 32767.0);  // -1 .. 1
    double zone = std::min(dead_zone, 10000u) / 10000.0;
    double magnitude = std::fabs(position);
    // Outside the dead zone the rest of the travel is spread over the whole half range.
    double scaled = magnitude <= zone ? 0.0 : (magnitude - zone) / (1.0 - zone);
    double signed_scaled = position < 0 ? -scaled : scaled;
    double value = min + (signed_scaled + 1.0) / 2.0 * (double(max) - double(min));
    return int32_t(std::lround(value));
}

bool InputDevice::set_axis_range(JoystickAxis axis, int32_t min, int32_t max) {
    if (type_ != DeviceType::Joystick || acquired_ || min >= max) return false;
    range_[int(axis)][0] = min;
    range_[int(axis)][1] = max;
    return true;
}

bool InputDevice::set_dead_zone(uint32_t hundredths_of_percent) {
    if (type_ != DeviceType::Joystick || acquired_ || hundredths_of_percent > 10000) return false;
    dead_zone_ = hundredths_of_percent;
    return true;
}

bool InputDevice::read_joystick(DIJOYSTATE* state) {
    auto* joystick = static_cast<SDL_Joystick*>(joystick_);
    SDL_JoystickUpdate();
    DIJOYSTATE read;
    std::memset(&read, 0, sizeof read);
    read.lX = joystick_axis_value(SDL_JoystickGetAxis(joystick, 0), range_[0][0], range_[0][1],
                                  dead_zone_);
    read.lY = joystick_axis_value(SDL_JoystickGetAxis(joystick, 1), range_[1][0], range_[1][1],
                                  dead_zone_);
    for (uint32_t& pov : read.rgdwPOV) pov = 0xFFFFFFFF;  // centred
    int buttons = std::min(SDL_JoystickNumButtons(joystick), 32);
    for (int b = 0; b < buttons; ++b)
        read.rgbButtons[b] = SDL_JoystickGetButton(joystick, b) ? 0x80 : 0;
    *state = read;
    return true;
}
