// What the fuzz targets share: the headless platform and display they start once.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Starts the platform headless (virtual clock, dummy drivers); with_display also sets up the
// game's display. Once per process; later calls do nothing.
void fuzz_start(bool with_display);
// The input as a string (it may hold NULs).
std::string fuzz_text(const uint8_t* data, size_t size);
