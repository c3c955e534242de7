// A silent stand-in for the music performance: it keeps which segments play and for how long,
// and which sound device it plays through.
#include "platform/music.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/clock.h"

class MusicSegmentState {};

namespace {

struct SegmentImpl : MusicSegment {
    uint32_t length_ms = 0;
};

struct Playing {
    const MusicSegment* segment;
    uint32_t start;
};

struct PerformanceImpl : MusicPerformance {
    SoundDevice* device = nullptr;
    bool set_up = false;
    bool port = false;
    std::vector<Playing> playing;
    std::vector<std::unique_ptr<MusicSegmentState>> states;
};

struct LoaderImpl : MusicLoader {};

MusicCounts counts{};

PerformanceImpl* impl(MusicPerformance* p) {
    return static_cast<PerformanceImpl*>(p);
}
const PerformanceImpl* impl(const MusicPerformance* p) {
    return static_cast<const PerformanceImpl*>(p);
}

}  // namespace

MusicPerformance* MusicPerformance::create() {
    ++counts.performances;
    return new PerformanceImpl;
}

bool MusicPerformance::init(SoundDevice* device, Window*) {
    PerformanceImpl* p = impl(this);
    if (p->set_up) return false;
    p->set_up = true;
    p->device = device;
    if (device) ++counts.bound;
    return true;
}

bool MusicPerformance::add_port() {
    PerformanceImpl* p = impl(this);
    if (!p->set_up) return false;
    p->port = true;
    return true;
}

bool MusicPerformance::play_segment(MusicSegment* segment, MusicSegmentState** state) {
    PerformanceImpl* p = impl(this);
    if (!segment || !p->port) return false;
    stop(segment);
    p->playing.push_back({segment, clock_ticks()});
    p->states.push_back(std::make_unique<MusicSegmentState>());
    if (state) *state = p->states.back().get();
    return true;
}

bool MusicPerformance::stop(MusicSegment* segment) {
    std::vector<Playing>& playing = impl(this)->playing;
    std::erase_if(playing, [&](const Playing& s) { return !segment || s.segment == segment; });
    return true;
}

bool MusicPerformance::is_playing(const MusicSegment* segment) const {
    const std::vector<Playing>& playing = impl(this)->playing;
    auto it = std::find_if(playing.begin(), playing.end(),
                           [&](const Playing& s) { return s.segment == segment; });
    if (it == playing.end()) return false;
    return clock_ticks() - it->start < static_cast<const SegmentImpl*>(segment)->length_ms;
}

bool MusicPerformance::close_down() {
    PerformanceImpl* p = impl(this);
    stop(nullptr);
    p->states.clear();
    if (p->device) --counts.bound;
    p->device = nullptr;
    p->port = false;
    return true;
}

void MusicPerformance::release() {
    PerformanceImpl* p = impl(this);
    if (p->device) --counts.bound;
    --counts.performances;
    delete p;
}

MusicLoader* MusicLoader::create() {
    ++counts.loaders;
    return new LoaderImpl;
}

MusicSegment* MusicLoader::create_segment(uint32_t length_ms) {
    auto* s = new SegmentImpl;
    s->length_ms = length_ms;
    ++counts.segments;
    return s;
}

void MusicLoader::release() {
    --counts.loaders;
    delete static_cast<LoaderImpl*>(this);
}

bool MusicSegment::unload(MusicPerformance* performance) {
    if (performance) performance->stop(this);
    return true;
}

void MusicSegment::release() {
    --counts.segments;
    delete static_cast<SegmentImpl*>(this);
}

MusicCounts music_live_counts() {
    return counts;
}
