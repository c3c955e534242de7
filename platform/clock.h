// Milliseconds. Real mode: a regular millisecond count; waits sleep to their deadline.
// Virtual mode (headless): time moves only when the game waits or sleeps.
#pragma once
#include <cstdint>

uint32_t clock_ticks();
// Returns once (ticks - start) >= ms in unsigned arithmetic, with a fresh tick count.
// Presents the screen and keeps the window responsive while it waits.
uint32_t clock_wait(uint32_t start, uint32_t ms);
void clock_sleep(uint32_t ms);
// The milliseconds field of the local time.
uint16_t clock_local_milliseconds();

// Real mode: from a stop to the next go the game's ticks stand still, and that time is taken out
// of the game's time for good (spent on something the game must not notice: saving a
// screenshot, the window in the background). Virtual time never moves by itself anyway.
void clock_stop();
void clock_go();

void clock_set_virtual(bool is_virtual);
bool clock_is_virtual();
// Tests: put the virtual clock at a given tick count.
void clock_set_virtual_ticks(uint32_t ticks);
// Tests: called as every wait or sleep begins, before time moves (null: nothing), so that a
// test can see the screen at each of the game's waits inside a pass.
void clock_set_wait_hook(void (*hook)());
// Tests: where the real clock's time comes from, so that its arithmetic can be checked without
// waiting (null: the system's monotonic clock). Setting one starts the real ticks from 0 again.
struct ClockSource {
    int64_t (*now_ns)();                  // a monotonic count of nanoseconds
    void (*sleep_until)(int64_t now_ns);  // returns once now_ns() has reached the instant
};
void clock_set_real_source(const ClockSource* source);
