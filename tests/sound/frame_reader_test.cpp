// Full-resolution frames: every channel, nothing cut to 8 bits, raw bytes as (v - 128) / 128,
// a floating-point file's NaN as silence, a truncated file as an error.
#include "sound/frame_reader.h"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace {

// Writes interleaved frames with libsndfile in the given format.
template <typename T>
void write_sound(const std::string& path, int format, int channels, const std::vector<T>& values) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    const auto frames = static_cast<sf_count_t>(values.size()) / channels;
    if constexpr (std::is_same_v<T, short>) {
        EXPECT_EQ(sf_writef_short(file, values.data(), frames), frames);
    } else {
        EXPECT_EQ(sf_writef_float(file, values.data(), frames), frames);
    }
    sf_close(file);
}

std::vector<float> read_all(const std::string& path, int& channels, bool& ok) {
    SampleSource source;
    EXPECT_EQ(open_sample_source(source, path), SourceOpen::ok);
    channels = frame_channels(source);
    std::vector<float> values, block(3 * static_cast<std::size_t>(channels));
    std::size_t count = 0;
    // Three frames at a time: the blocks' edges fall everywhere.
    while ((ok = read_frames(source, block.data(), 3, count)) && count > 0) {
        values.insert(values.end(), block.begin(), block.begin() + count * channels);
    }
    close_sample_source(source);
    return values;
}

TEST(FrameReader, SixteenBitStereoKeepsEveryChannelAtFullResolution) {
    ScratchDir dir;
    const std::vector<short> samples = {1, -1, 32767, -32768, 256, 0, -3, 7, 100, -100};
    write_sound(dir / "s.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, samples);
    int channels = 0;
    bool ok = false;
    const std::vector<float> values = read_all(dir / "s.wav", channels, ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(channels, 2);
    ASSERT_EQ(values.size(), samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        EXPECT_EQ(values[i], samples[i] / 32768.0f);
}

TEST(FrameReader, RawBytesAreOneChannelAroundTheMiddle) {
    ScratchDir dir;
    write_file(dir / "r.raw", {0, 1, 127, 128, 129, 255, 64});
    int channels = 0;
    bool ok = false;
    const std::vector<float> values = read_all(dir / "r.raw", channels, ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(channels, 1);
    EXPECT_EQ(values, (std::vector<float>{-1.0f, -127 / 128.0f, -1 / 128.0f, 0.0f, 1 / 128.0f,
                                          127 / 128.0f, -0.5f}));
}

TEST(FrameReader, FloatingPointNanBecomesSilenceAndHugeValuesAreHeld) {
    ScratchDir dir;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    write_sound(dir / "f.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1,
                std::vector<float>{0.25f, nan, inf, -inf, 1e9f, -3.0f});
    int channels = 0;
    bool ok = false;
    const std::vector<float> values = read_all(dir / "f.wav", channels, ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(values, (std::vector<float>{0.25f, 0.0f, 8.0f, -8.0f, 8.0f, -3.0f}));
}

TEST(FrameReader, ATruncatedFileIsAnError) {
    ScratchDir dir;
    write_sound(dir / "t.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, std::vector<short>(1000, 5));
    std::vector<uint8_t> bytes = read_file(dir / "t.wav");
    bytes.resize(bytes.size() - 100);
    write_file(dir / "t.wav", bytes);
    SampleSource source;
    // Either the header check refuses it at once or the read runs short.
    if (open_sample_source(source, dir / "t.wav") == SourceOpen::ok) {
        std::vector<float> block(2000);
        std::size_t count = 0;
        EXPECT_FALSE(read_frames(source, block.data(), block.size(), count));
        close_sample_source(source);
    }
}

} // namespace
