// Synthesises the bonus chime resources/bonus.wav (RIFF WAVE, 8-bit mono 11025 Hz) from the
// note list in resources/src/bonus.txt.
#include <cmath>
#include <numbers>

#include "tools/resgen.h"

using namespace resgen;

namespace {

const int RATE = 11025;
const size_t LIST_SIZE = 68;

struct Note {
    double start_ms, hz, amplitude, decay;
};
struct Partial {
    double ratio, amplitude;
};
struct ChimeSource {
    int length = 0;
    double peak = 0.8, attack_ms = 3, fade_ms = 50;
    std::vector<Partial> partials;
    std::vector<Note> notes;
    std::vector<std::pair<std::string, std::string>> info;
};

ChimeSource parse(const std::string& text) {
    ChimeSource src;
    auto lines = split_lines(text);
    for (size_t n = 0; n < lines.size(); ++n) {
        std::string where = "bonus.txt:" + std::to_string(n + 1);
        const std::string& line = lines[n];
        auto w = split_words(line);
        if (w.empty()) continue;
        auto real = [&](size_t k) { return to_real(w.at(k), where); };
        if (w[0] == "length" && w.size() == 2)
            src.length = to_int(w[1], where);
        else if (w[0] == "peak" && w.size() == 2)
            src.peak = real(1);
        else if (w[0] == "attack" && w.size() == 2)
            src.attack_ms = real(1);
        else if (w[0] == "fade" && w.size() == 2)
            src.fade_ms = real(1);
        else if (w[0] == "partial" && w.size() == 3)
            src.partials.push_back({real(1), real(2)});
        else if (w[0] == "note" && w.size() == 5)
            src.notes.push_back({real(1), real(2), real(3), real(4)});
        else if (w[0] == "info" && w.size() == 3)
            src.info.push_back({w[1], w[2]});
        else
            fail(where + ": cannot read: " + line);
    }
    if (src.length <= 0 || src.notes.empty() || src.partials.empty())
        fail("bonus.txt: needs a length, notes and partials");
    if (src.peak <= 0 || src.peak >= 1) fail("bonus.txt: the peak must lie between 0 and 1");
    return src;
}

// Raised-cosine ramp from 0 to 1 over `length` seconds.
double ramp(double t, double length) {
    if (t >= length) return 1;
    return t <= 0 ? 0 : 0.5 - 0.5 * std::cos(std::numbers::pi * t / length);
}

Bytes synthesise(const ChimeSource& src) {
    std::vector<double> wave(size_t(src.length), 0.0);
    for (size_t i = 0; i < wave.size(); ++i) {
        double t = double(i) / RATE;
        for (const Note& note : src.notes) {
            double local = t - note.start_ms / 1000;
            if (local < 0) continue;
            double envelope =
                note.amplitude * ramp(local, src.attack_ms / 1000) * std::exp(-note.decay * local);
            for (const Partial& p : src.partials) {
                // Higher partials die away faster, as in a struck bar.
                double f = note.hz * p.ratio;
                if (f >= RATE / 2.0) continue;
                wave[i] += envelope * p.amplitude * std::exp(-(p.ratio - 1) * 3 * local) *
                           std::sin(2 * std::numbers::pi * f * local);
            }
        }
        double end = double(wave.size() - 1 - i) / RATE;
        wave[i] *= ramp(end, src.fade_ms / 1000);
    }
    double loudest = 0;
    for (double v : wave) loudest = std::max(loudest, std::fabs(v));
    Bytes samples;
    for (double v : wave)
        samples.push_back(uint8_t(128 + std::lround(v / loudest * src.peak * 127)));
    return samples;
}

Bytes info_chunk(const ChimeSource& src) {
    Bytes list;
    put_tag(list, "INFO");
    for (size_t k = 0; k < src.info.size(); ++k) {
        std::string text = src.info[k].second;
        size_t size = text.size() + 1;
        size += size & 1;
        if (k + 1 == src.info.size()) {  // the last text takes up the rest of the chunk
            size_t used = list.size() + 8;
            if (used + size > LIST_SIZE) fail("bonus.txt: the info texts are too long");
            size = LIST_SIZE - used;
        }
        if (src.info[k].first.size() != 4) fail("bonus.txt: info ids have four letters");
        put_tag(list, src.info[k].first.c_str());
        put32(list, uint32_t(size));
        text.resize(size, '\0');
        list.insert(list.end(), text.begin(), text.end());
    }
    if (list.size() != LIST_SIZE) fail("bonus.txt: the info chunk must hold 68 bytes");
    return list;
}

void chunk(Bytes& riff, const char* tag, const Bytes& data) {
    put_tag(riff, tag);
    put32(riff, uint32_t(data.size()));
    riff.insert(riff.end(), data.begin(), data.end());
    if (data.size() & 1) riff.push_back(0);
}

Bytes wave_file(const ChimeSource& src) {
    Bytes fmt, fact;
    put16(fmt, 1);  // PCM
    put16(fmt, 1);  // mono
    put32(fmt, RATE);
    put32(fmt, RATE);  // bytes per second
    put16(fmt, 1);     // block align
    put16(fmt, 8);     // bits per sample
    put16(fmt, 0);     // no extra format bytes
    put32(fact, uint32_t(src.length));
    Bytes body;
    put_tag(body, "WAVE");
    chunk(body, "fmt ", fmt);
    chunk(body, "fact", fact);
    chunk(body, "data", synthesise(src));
    chunk(body, "LIST", info_chunk(src));
    Bytes riff;
    put_tag(riff, "RIFF");
    put32(riff, uint32_t(body.size()));
    riff.insert(riff.end(), body.begin(), body.end());
    return riff;
}

}  // namespace

int main(int argc, char** argv) {
    Roots roots = parse_roots(argc, argv, "bonus chime");
    ChimeSource src = parse(read_text(roots.source / "resources/src/bonus.txt"));
    write_file(roots.output / "resources/bonus.wav", wave_file(src));
    return 0;
}
