// Sound effects: loading wave resources (including malformed ones), the slot table, and what
// the mixer really plays: the samples, restarts, looping, stop, volume and frequency.
#include "audio/sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "game/state.h"
#include "platform/platform.h"
#include "platform/resources.h"
#include "platform/sound.h"
#include "tools/process/process.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Chunk {
    std::string id;
    Bytes body;
    uint32_t claimed = UINT32_MAX;  // a size field that lies; UINT32_MAX: the true size
};

void put_u32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

void put_u16(Bytes& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

// A RIFF WAVE image; riff_size UINT32_MAX means the true size.
Bytes riff(const std::vector<Chunk>& chunks, uint32_t riff_size = UINT32_MAX) {
    Bytes out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const Chunk& c : chunks) {
        out.insert(out.end(), c.id.begin(), c.id.end());
        put_u32(out, c.claimed != UINT32_MAX ? c.claimed : uint32_t(c.body.size()));
        out.insert(out.end(), c.body.begin(), c.body.end());
        if (c.body.size() % 2) out.push_back(0);
    }
    uint32_t size = riff_size != UINT32_MAX ? riff_size : uint32_t(out.size() - 8);
    for (int i = 0; i < 4; ++i) out[4 + i] = uint8_t(size >> (8 * i));
    return out;
}

// The format record as the bonus sound stores it: 8-bit mono PCM, 18 bytes.
Bytes fmt_pcm8(uint32_t rate = 11025, uint16_t tag = 1, size_t bytes = 18) {
    Bytes out;
    put_u16(out, tag);
    put_u16(out, 1);
    put_u32(out, rate);
    put_u32(out, rate);
    put_u16(out, 1);
    put_u16(out, 8);
    put_u16(out, 0);
    out.resize(bytes);
    return out;
}

// Unsigned 8-bit noise that never rests at the silent middle value; starts loud.
Bytes test_samples(size_t count) {
    Bytes out(count);
    uint32_t seed = 4711;
    for (size_t i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        int v = 28 + int((seed >> 16) % 200);
        out[i] = uint8_t(v == 128 ? 129 : v);
    }
    out[0] = 230;
    return out;
}

// Laid out like the bonus sound: "fmt " (18), "fact" (4), odd "data" (3939 + pad), "LIST" (68).
Bytes bonus_style_wave(const Bytes& samples) {
    return riff({{"fmt ", fmt_pcm8()},
                 {"fact", {0x63, 0x0f, 0, 0}},
                 {"data", samples},
                 {"LIST", Bytes(68, 'x')}});
}

double rms(const std::vector<int16_t>& v, size_t from, size_t count) {
    double sum = 0;
    for (size_t i = from; i < from + count; ++i) sum += double(v[i]) * v[i];
    return std::sqrt(sum / double(count));
}

// How the mixer's 16-bit output should hold an unsigned 8-bit sample (to within rounding).
int expected(uint8_t sample) {
    return (int(sample) - 128) * 256;
}

// The mixer output from `at` on is `samples` from `first` on, as far as both reach.
::testing::AssertionResult plays(const std::vector<int16_t>& out, size_t at, const Bytes& samples,
                                 size_t first, size_t count) {
    if (at + count > out.size() || first + count > samples.size())
        return ::testing::AssertionFailure() << "too short: " << out.size();
    for (size_t i = 0; i < count; ++i) {
        if (std::abs(out[at + i] - expected(samples[first + i])) > 2)
            return ::testing::AssertionFailure()
                   << "output " << at + i << " is " << out[at + i] << ", sample " << first + i
                   << " should give " << expected(samples[first + i]);
    }
    return ::testing::AssertionSuccess();
}

bool silent(const std::vector<int16_t>& out, size_t from) {
    for (size_t i = from; i < out.size(); ++i) {
        if (out[i] != 0) return false;
    }
    return true;
}

class SoundTest : public ::testing::Test {
  protected:
    // Headless like the test runs of the game; with_device renders the mixer into memory.
    void start(bool with_device) {
        Options options;
        options.headless = true;
        ASSERT_TRUE(platform_init(options));
        sound_capture_mode(with_device);
        sound_first_init = 1;
        init_result = snd_init();
    }
    void SetUp() override { start(true); }
    void TearDown() override {
        snd_shutdown();
        sound_capture_mode(false);
        resource_clear_overrides();
        platform_shutdown();
        volume = 10;
    }
    int load(const char* name, const Bytes& image) {
        images.push_back(image);
        resource_override("WAVE", name, images.back().data(), images.back().size());
        return snd_load_wave(name);
    }
    std::vector<Bytes> images;  // moving a vector keeps its bytes where they are
    int init_result = 0;
    Bytes samples = test_samples(3939);
};

TEST_F(SoundTest, LoadsTheBonusLayoutAndPlaysItsSamples) {
    ASSERT_EQ(init_result, 1);
    int index = load("BONUS_WAV", bonus_style_wave(samples));
    ASSERT_EQ(index, 0);
    EXPECT_EQ(sound_table[0].state, SOUND_LOADED);
    EXPECT_EQ(sound_table[0].size, 3939);
    EXPECT_EQ(sound_table[0].rate, 11025);
    EXPECT_EQ(sound_table[0].id, 0);
    EXPECT_EQ(sound_buffer_desc.flags, 0xAAu);
    EXPECT_EQ(sound_buffer_desc.buffer_bytes, 3939u);
    EXPECT_EQ(sound_buffer_desc.format_bytes, 18u);

    EXPECT_TRUE(sound_capture_run(1000).size() >= 1000);
    EXPECT_TRUE(silent(sound_capture_run(1000), 0)) << "nothing plays before snd_play";
    ASSERT_EQ(snd_play(index, 0), 1);
    std::vector<int16_t> out = sound_capture_run(5000);
    EXPECT_TRUE(plays(out, 0, samples, 0, samples.size()));
    EXPECT_TRUE(silent(out, samples.size())) << "played once only";
}

TEST_F(SoundTest, BuiltInBonusSoundLoadsAndSounds) {
    ResourceData wave;
    ASSERT_TRUE(find_resource("WAVE", "BONUS_WAV", &wave));
    // "fmt " (18) and "fact" (4) come first, so the samples start at byte 58.
    ASSERT_GT(wave.size, 58u + 3939u);
    ASSERT_EQ(memcmp(wave.data + 50, "data", 4), 0);
    Bytes stored(wave.data + 58, wave.data + 58 + 3939);

    int index = snd_load_wave("BONUS_WAV");
    ASSERT_EQ(index, 0);
    EXPECT_EQ(sound_table[index].size, 3939);
    EXPECT_EQ(sound_buffer_desc.format_bytes, 18u);
    snd_play(index, 0);
    std::vector<int16_t> out = sound_capture_run(4000);
    EXPECT_TRUE(plays(out, 0, stored, 0, stored.size()));
    EXPECT_GT(rms(out, 0, stored.size()), 1000) << "audible, not a silent wave";
}

TEST_F(SoundTest, PlayingAgainRestartsFromTheFirstSample) {
    int index = load("BONUS_WAV", bonus_style_wave(samples));
    ASSERT_EQ(snd_play(index, 0), 1);
    std::vector<int16_t> first = sound_capture_run(1000);
    ASSERT_GE(first.size(), 1000u);
    ASSERT_LT(first.size(), samples.size());
    EXPECT_TRUE(plays(first, 0, samples, 0, first.size()));

    ASSERT_EQ(snd_play(index, 0), 1);
    std::vector<int16_t> second = sound_capture_run(5000);
    EXPECT_TRUE(plays(second, 0, samples, 0, samples.size()));
    EXPECT_TRUE(silent(second, samples.size())) << "one slot never sounds twice at once";
}

TEST_F(SoundTest, LoopsUntilStopped) {
    int index = load("BONUS_WAV", bonus_style_wave(samples));
    ASSERT_EQ(snd_play(index, DSBPLAY_LOOPING), 1);
    std::vector<int16_t> out = sound_capture_run(2 * 3939 + 100);
    EXPECT_TRUE(plays(out, 0, samples, 0, samples.size()));
    EXPECT_TRUE(plays(out, samples.size(), samples, 0, samples.size()));
    EXPECT_TRUE(plays(out, 2 * samples.size(), samples, 0, 100));

    EXPECT_EQ(snd_stop(index), 1);
    EXPECT_TRUE(silent(sound_capture_run(1000), 0));
    // A stopped sound starts again from its beginning.
    ASSERT_EQ(snd_play(index, 0), 1);
    EXPECT_TRUE(plays(sound_capture_run(500), 0, samples, 0, 500));
    EXPECT_EQ(snd_stop_all(), 1);
    EXPECT_TRUE(silent(sound_capture_run(500), 0));
}

TEST_F(SoundTest, VolumeSettingAttenuatesByItsDecibels) {
    int index = load("BONUS_WAV", bonus_style_wave(samples));
    bonus_sound = index;
    auto level_at = [&](int setting, int32_t* hundredths) {
        volume = setting;
        EXPECT_EQ(game_apply_volume(), 1);
        *hundredths = sound_table[index].buffer->volume();
        snd_play(index, 0);
        std::vector<int16_t> out = sound_capture_run(3939);
        return rms(out, 0, samples.size());
    };
    int32_t full_db = 1, half_db = 1, none_db = 1;
    double full = level_at(10, &full_db);
    double half = level_at(5, &half_db);
    double none = level_at(0, &none_db);
    EXPECT_EQ(full_db, 0);
    EXPECT_EQ(half_db, -1500);
    EXPECT_EQ(none_db, -3000);
    EXPECT_NEAR(20 * std::log10(full / half), 15.0, 0.02);
    EXPECT_NEAR(20 * std::log10(full / none), 30.0, 0.02);
    EXPECT_GT(none, 0) << "-30 dB is quiet, not silent";

    // Settings beyond the range are refused and leave the volume as it was.
    EXPECT_EQ(snd_set_volume(index, 101), 0);
    EXPECT_EQ(snd_set_volume(index, -234), 0);
    EXPECT_EQ(sound_table[index].buffer->volume(), -3000);
}

TEST_F(SoundTest, FrequencyChangesTheLengthOfTheSound) {
    int index = load("BONUS_WAV", bonus_style_wave(samples));
    ASSERT_EQ(snd_set_frequency(index, 22050), 1);
    snd_play(index, 0);
    std::vector<int16_t> out = sound_capture_run(5000);
    size_t last = out.size();
    while (last > 0 && out[last - 1] == 0) --last;
    EXPECT_NEAR(double(last), 3939 / 2.0, 16);
    EXPECT_EQ(snd_set_frequency(index, 50), 0);
    EXPECT_EQ(snd_set_frequency(-1, 22050), 0);
}

TEST_F(SoundTest, ChunkWalkHonoursPaddingAndLaterChunks) {
    // An odd chunk before the format: only a walk that skips its pad byte finds "fmt ".
    Bytes odd_first = riff({{"junk", Bytes(7, 1)}, {"fmt ", fmt_pcm8()}, {"data", samples}});
    EXPECT_EQ(load("ODD", odd_first), 0);
    EXPECT_EQ(sound_table[0].size, 3939);

    // The later of two "data" chunks counts.
    Bytes twice = riff({{"fmt ", fmt_pcm8()}, {"data", Bytes(10, 200)}, {"data", samples}});
    ASSERT_EQ(load("TWICE", twice), 1);
    EXPECT_EQ(sound_table[1].size, 3939);
    snd_play(1, 0);
    EXPECT_TRUE(plays(sound_capture_run(3939), 0, samples, 0, samples.size()));

    // A 16-byte format record (no extra-size field) is complete.
    EXPECT_EQ(load("SHORTFMT", riff({{"fmt ", fmt_pcm8(11025, 1, 16)}, {"data", samples}})), 2);
}

TEST_F(SoundTest, MalformedWavesGiveMinusOneAndLeaveTheSlotEmpty) {
    Bytes good = bonus_style_wave(samples);
    Bytes truncated(good.begin(), good.begin() + 1000);
    Bytes not_riff = good;
    not_riff[0] = 'X';
    Bytes not_wave = good;
    not_wave[11] = 'X';
    const std::vector<std::pair<const char*, Bytes>> bad = {
        {"truncated", truncated},
        {"riff size past the end", riff({{"fmt ", fmt_pcm8()}, {"data", samples}}, 9000)},
        {"data past the end", riff({{"fmt ", fmt_pcm8()}, {"data", samples, 4000}})},
        {"size that wraps", riff({{"fmt ", fmt_pcm8()}, {"data", samples, 0xFFFFFFF8u}})},
        {"half a chunk header", riff({{"fmt ", fmt_pcm8()}, {"data", samples}, {"ab", {}}})},
        {"not RIFF", not_riff},
        {"not WAVE", not_wave},
        {"too short", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0}},
        {"empty", Bytes{}},
        {"no format", riff({{"data", samples}})},
        {"no samples", riff({{"fmt ", fmt_pcm8()}, {"LIST", Bytes(68, 'x')}})},
        {"format too short", riff({{"fmt ", fmt_pcm8(11025, 1, 14)}, {"data", samples}})},
        {"not PCM", riff({{"fmt ", fmt_pcm8(11025, 2)}, {"data", samples}})},
        {"no sample bytes", riff({{"fmt ", fmt_pcm8()}, {"data", {}}})},
    };
    for (const auto& [what, image] : bad) {
        EXPECT_EQ(load(what, image), -1) << what;
        EXPECT_EQ(sound_table[0].state, SOUND_EMPTY) << what;
        EXPECT_EQ(sound_table[0].buffer, nullptr) << what;
    }
    EXPECT_EQ(snd_load_wave("NO_SUCH_WAVE"), -1);
    EXPECT_EQ(sound_live_counts().buffers, 0);
    EXPECT_EQ(load("BONUS_WAV", good), 0);
}

TEST_F(SoundTest, FullTableRefusesTheNextLoad) {
    Bytes image = riff({{"fmt ", fmt_pcm8()}, {"data", Bytes(16, 200)}});
    resource_override("WAVE", "SMALL", image.data(), image.size());
    for (int i = 0; i < MAX_SOUNDS; ++i) ASSERT_EQ(snd_load_wave("SMALL"), i);
    EXPECT_EQ(snd_load_wave("SMALL"), -1);
    EXPECT_EQ(snd_duplicate(0), -1);
    EXPECT_EQ(sound_live_counts().buffers, MAX_SOUNDS);

    // Deleting frees a slot for the next load; snd_init empties them all.
    EXPECT_EQ(snd_delete(17), 1);
    EXPECT_EQ(sound_table[17].state, SOUND_EMPTY);
    EXPECT_EQ(snd_load_wave("SMALL"), 17);
    EXPECT_EQ(snd_init(), 1);
    EXPECT_EQ(sound_live_counts().buffers, 0);
    EXPECT_EQ(sound_table[200].id, 200);
    EXPECT_EQ(snd_load_wave("SMALL"), 0);
}

TEST_F(SoundTest, EmptySlotsAndBadIndexesAreHarmless) {
    EXPECT_EQ(snd_play(5, 0), 1);
    EXPECT_EQ(snd_play(-1, 0), 1);
    EXPECT_EQ(snd_play(256, DSBPLAY_LOOPING), 1);
    EXPECT_EQ(snd_set_volume(-1, 50), 0);
    EXPECT_EQ(snd_set_volume(5, 50), 0);
    EXPECT_EQ(snd_stop(-1), 1);
    EXPECT_EQ(snd_stop(300), 1);
    EXPECT_EQ(snd_duplicate(-1), -1);
    EXPECT_EQ(snd_duplicate(5), -1);
    EXPECT_EQ(snd_delete(-1), 0);
    bonus_sound = -1;
    EXPECT_EQ(game_apply_volume(), 0);
    EXPECT_TRUE(silent(sound_capture_run(1000), 0));
}

TEST_F(SoundTest, DuplicatePlaysTheSameSoundInItsOwnSlot) {
    int index = load("BONUS_WAV", bonus_style_wave(samples));
    snd_set_volume(index, 0);
    int copy = snd_duplicate(index);
    ASSERT_EQ(copy, 1);
    EXPECT_EQ(sound_table[copy].id, 1);
    EXPECT_EQ(sound_table[copy].size, 3939);
    EXPECT_EQ(sound_table[copy].buffer->volume(), -3000);
    snd_set_volume(copy, 100);
    snd_play(copy, 0);
    EXPECT_TRUE(plays(sound_capture_run(3939), 0, samples, 0, samples.size()));
    EXPECT_EQ(snd_delete_all(), 1);
    EXPECT_EQ(sound_live_counts().buffers, 0);
}

TEST_F(SoundTest, ShutdownReleasesEverythingAndTwiceIsHarmless) {
    load("BONUS_WAV", bonus_style_wave(samples));
    snd_play(0, DSBPLAY_LOOPING);
    EXPECT_EQ(sound_live_counts().devices, 1);
    EXPECT_EQ(snd_shutdown(), 1);
    EXPECT_EQ(snd_shutdown(), 1);
    EXPECT_EQ(direct_sound, nullptr);
    EXPECT_EQ(sound_live_counts().devices, 0);
    EXPECT_EQ(sound_live_counts().buffers, 0);
    EXPECT_EQ(snd_play(0, 0), 1);
    EXPECT_EQ(snd_load_wave("BONUS_WAV"), -1);
}

class HeadlessSoundTest : public SoundTest {
  protected:
    void SetUp() override { start(false); }
};

TEST_F(HeadlessSoundTest, NoDeviceMeansSilenceNotFailure) {
    EXPECT_EQ(init_result, 0);
    EXPECT_EQ(direct_sound, nullptr);
    EXPECT_EQ(sound_first_init, 0);
    EXPECT_EQ(load("BONUS_WAV", bonus_style_wave(samples)), -1);
    EXPECT_EQ(sound_table[0].state, SOUND_EMPTY);
    bonus_sound = -1;
    EXPECT_EQ(game_apply_volume(), 0);
    EXPECT_EQ(snd_play(bonus_sound, 0), 1);
    EXPECT_EQ(snd_stop_all(), 1);
    // A creation that failed is not tried again.
    sound_capture_mode(true);
    EXPECT_EQ(snd_init(), 1);
    EXPECT_EQ(direct_sound, nullptr);
    EXPECT_EQ(snd_shutdown(), 1);
    EXPECT_EQ(snd_shutdown(), 1);
}

}  // namespace

namespace {

// Outside headless runs the device opens on the system's driver (the test runner's dummy one).
TEST(SoundDeviceTest, OpensOnTheSystemDriverOutsideHeadlessRuns) {
    // Never a real speaker, whoever runs the test.
    process_set_env("SDL_AUDIODRIVER", "dummy", false);
    Options options;
    options.headless = false;
    platform_set_options(options);
    sound_capture_mode(false);
    SoundDevice* device = SoundDevice::create();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(SoundDevice::create(), nullptr) << "one device at a time";
    Bytes format = fmt_pcm8(22050);
    SoundBuffer* buffer = device->create_buffer({0xAA, 441, format.data(), 18});
    ASSERT_NE(buffer, nullptr);
    EXPECT_TRUE(buffer->set_volume(-600));
    EXPECT_TRUE(buffer->play(true));
    EXPECT_TRUE(buffer->is_playing());
    EXPECT_TRUE(buffer->stop());
    EXPECT_FALSE(buffer->is_playing());
    device->release();
    EXPECT_FALSE(buffer->play(false)) << "a buffer outliving its device stays silent";
    buffer->release();
    EXPECT_EQ(sound_live_counts().devices, 0);
    EXPECT_EQ(sound_live_counts().buffers, 0);
    platform_set_options(Options{});
}

// No sound device: one line says why and that the game plays on silently; nothing from the
// audio library itself. A device name ALSA does not know fails alike with or without a card.
TEST(SoundDeviceTest, WithoutADeviceOneLineSaysSoAndTheLibraryNothing) {
    Options options;
    options.headless = false;
    platform_set_options(options);
    sound_capture_mode(false);
    const char* before = getenv("SDL_AUDIODRIVER");
    const std::string driver = before ? before : "dummy";
    process_set_env("SDL_AUDIODRIVER", "alsa");
    process_set_env("AUDIODEV", "gnatrix_no_such_device");
    testing::internal::CaptureStderr();
    SoundDevice* device = SoundDevice::create();
    const std::string said = testing::internal::GetCapturedStderr();
    process_set_env("SDL_AUDIODRIVER", driver.c_str());
    process_unset_env("AUDIODEV");
    platform_set_options(Options{});
    EXPECT_EQ(device, nullptr);
    EXPECT_TRUE(said.starts_with("gnatrix: no sound device (")) << said;
    EXPECT_TRUE(said.ends_with("); playing without sound\n")) << said;
    EXPECT_EQ(1, std::count(said.begin(), said.end(), '\n')) << said;
}

}  // namespace

namespace {

// The buffer itself: what a lock hands out, what an unlock makes audible, where a play starts.
TEST_F(SoundTest, BufferLockWritesWhatTheNextPlaySounds) {
    Bytes format = fmt_pcm8();
    SoundBuffer* buffer = direct_sound->create_buffer({0xAA, 3939, format.data(), 18});
    ASSERT_NE(buffer, nullptr);
    uint32_t bytes = 0;
    uint8_t* region = buffer->lock(0, 3939, SOUND_LOCK_ENTIREBUFFER, &bytes);
    ASSERT_NE(region, nullptr);
    EXPECT_EQ(bytes, 3939u);
    EXPECT_EQ(buffer->lock(0, 10, 0, &bytes), nullptr) << "already locked";
    EXPECT_FALSE(buffer->unlock(region + 3000, 1000)) << "not the region handed out";
    memcpy(region, samples.data(), 3939);
    ASSERT_TRUE(buffer->unlock(region, 3939));
    EXPECT_EQ(buffer->lock(3939, 1, 0, &bytes), nullptr) << "past the end";

    ASSERT_TRUE(buffer->play(false));
    EXPECT_TRUE(plays(sound_capture_run(3939), 0, samples, 0, samples.size()));

    // New samples written while stopped are what the next play sounds.
    region = buffer->lock(2000, 3000, 0, &bytes);
    ASSERT_NE(region, nullptr);
    EXPECT_EQ(bytes, 1939u) << "only the first region, up to the end";
    memset(region, 128, bytes);
    ASSERT_TRUE(buffer->unlock(region, bytes));
    ASSERT_TRUE(buffer->set_current_position(1000));
    ASSERT_TRUE(buffer->play(false));
    std::vector<int16_t> out = sound_capture_run(3939);
    EXPECT_TRUE(plays(out, 0, samples, 1000, 1000)) << "starts at the position set";
    EXPECT_TRUE(silent(out, 1000));
    EXPECT_FALSE(buffer->set_current_position(3939));
    buffer->release();
}

}  // namespace
