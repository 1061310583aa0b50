#include "sound/sample_source.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "signal/normaliser.h"
#include "support/test_support.h"
#include "tape/tape_signal.h"

namespace {

// ---------------------------------------------------------------------------------------------
// One frame to one raw sample

double from16(int s) { return s / 32768.0; }

TEST(RawSampleOfFrame, EightBitValuesComeBackExactly) {
    for (int b = 0; b < 256; ++b) {
        const double value = (b - 128) / 128.0; // what libsndfile decodes an 8-bit sample to
        EXPECT_EQ(raw_sample_of_frame(&value, 1), b) << "byte " << b;
    }
}

TEST(RawSampleOfFrame, WideSamplesKeepTheirTopBitsRoundedDown) {
    struct Case {
        std::vector<double> frame;
        uint8_t raw;
    };
    const std::vector<Case> cases = {
        {{from16(0)}, 128},
        {{from16(255)}, 128},
        {{from16(256)}, 129},
        {{from16(-1)}, 127},
        {{from16(-256)}, 127},
        {{from16(-257)}, 126},
        {{from16(32767)}, 255},
        {{from16(-32768)}, 0},
        {{(100 * 65536 + 65535) / 8388608.0}, 228}, // 24-bit: the low 16 bits are dropped
        {{-1.0 / 8388608.0}, 127},                  // 24-bit -1 is below the middle
    };
    for (const Case& c : cases) {
        EXPECT_EQ(raw_sample_of_frame(c.frame.data(), 1), c.raw) << c.frame[0] * 32768.0;
    }
}

TEST(RawSampleOfFrame, ChannelsAreAveragedAndTheAverageRoundedDown) {
    struct Case {
        std::vector<double> frame;
        uint8_t raw;
    };
    const std::vector<Case> cases = {
        {{from16(256), from16(256)}, 129},
        {{from16(256), from16(257)}, 129},    // 256.5 -> 256
        {{from16(-1), from16(0)}, 127},       // -0.5 -> -1
        {{from16(-255), from16(0)}, 127},     // -127.5 -> -128, whose top bits are -1
        {{from16(-256), from16(-257)}, 126},  // -256.5 -> -257
        {{from16(25600), from16(-25600)}, 128}, // inverted copies cancel to silence
        {{from16(32767), from16(-32768)}, 127},
        {{from16(512), from16(512), from16(-1024)}, 128},
        {{from16(30000), from16(30000), from16(30000)}, 245},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(raw_sample_of_frame(c.frame.data(), static_cast<int>(c.frame.size())), c.raw)
            << c.frame[0] * 32768.0 << " " << c.frame[1] * 32768.0;
    }
}

TEST(RawSampleOfFrame, FloatingPointBeyondFullScaleIsClippedAndNanIsSilence) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        std::vector<double> frame;
        uint8_t raw;
    };
    const std::vector<Case> cases = {
        {{1.0}, 255},  {{-1.0}, 0},       {{1.5}, 255},       {{-3.0}, 0},
        {{nan}, 128},  {{inf}, 255},      {{-inf}, 0},        {{inf, -inf}, 128},
        {{0.5}, 192},  {{-0.5}, 64},      {{1e-30}, 128},     {{-1e-30}, 127},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(raw_sample_of_frame(c.frame.data(), static_cast<int>(c.frame.size())), c.raw)
            << c.frame[0];
    }
}

// The integer reductions give exactly what the doubles libsndfile would decode the same
// values to give: shorts are value / 32768, ints value / 2^31.
TEST(RawSamplesOfIntegers, AgreeWithTheReductionOfDoubles) {
    uint64_t state = 7;
    auto next = [&state]() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return state >> 16;
    };
    for (int channels = 1; channels <= 5; ++channels) {
        constexpr std::size_t frames = 4000;
        std::vector<int16_t> shorts(frames * channels);
        std::vector<int32_t> ints(frames * channels);
        for (std::size_t i = 0; i < shorts.size(); ++i) {
            // Extremes and values near the boundaries of the top 8 bits, and random ones.
            const int pick = static_cast<int>(next() % 8);
            const int16_t s = pick == 0 ? -32768 : pick == 1 ? 32767
                              : pick == 2 ? static_cast<int16_t>((next() % 256) * 256 - 32768)
                                          : static_cast<int16_t>(next());
            shorts[i] = s;
            ints[i] = pick < 3 ? int32_t{s} * 65536 + (pick == 1 ? 65535 : 0)
                               : static_cast<int32_t>(static_cast<uint32_t>(next()));
        }
        std::vector<uint8_t> from_shorts(frames), from_ints(frames);
        raw_samples_of_shorts(shorts.data(), frames, channels, from_shorts.data());
        raw_samples_of_ints(ints.data(), frames, channels, from_ints.data());
        std::vector<double> frame(channels);
        for (std::size_t i = 0; i < frames; ++i) {
            for (int c = 0; c < channels; ++c) frame[c] = shorts[i * channels + c] / 32768.0;
            ASSERT_EQ(from_shorts[i], raw_sample_of_frame(frame.data(), channels))
                << channels << " channels, frame " << i;
            for (int c = 0; c < channels; ++c) frame[c] = ints[i * channels + c] / 2147483648.0;
            ASSERT_EQ(from_ints[i], raw_sample_of_frame(frame.data(), channels))
                << channels << " channels, frame " << i;
        }
    }
}

// Frames of doubles and floats, batch by batch, against the reduction written plainly.
TEST(RawSamplesOfFloatingPoint, AgreeWithThePlainReduction) {
    const auto plain = [](const double* frame, int channels) {
        double sum = 0.0;
        for (int c = 0; c < channels; ++c) sum += frame[c];
        const double top = std::floor(sum * 128.0 / channels);
        if (std::isnan(top)) return 128;
        return top <= -128.0 ? 0 : top >= 127.0 ? 255 : static_cast<int>(top) + 128;
    };
    uint64_t state = 11;
    for (int channels = 1; channels <= 3; ++channels) {
        constexpr std::size_t frames = 20000;
        std::vector<float> floats(frames * channels);
        for (float& v : floats) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            const int pick = static_cast<int>(state >> 61);
            const double u = static_cast<double>(state >> 11) / 9007199254740992.0; // [0, 1)
            // Whole steps of the 8-bit scale and values just beside them, beyond full scale, NaN.
            v = pick == 0   ? static_cast<float>(std::floor(u * 256 - 128) / 128)
                : pick == 1 ? std::nextafter(static_cast<float>(std::floor(u * 256 - 128) / 128), -2.0f)
                : pick == 2 ? static_cast<float>(4 * u - 2)
                : pick == 3 ? std::nanf("")
                            : static_cast<float>(2 * u - 1);
        }
        const std::vector<double> doubles(floats.begin(), floats.end());
        std::vector<uint8_t> from_floats(frames), from_doubles(frames);
        raw_samples_of_floats(floats.data(), frames, channels, from_floats.data());
        raw_samples_of_doubles(doubles.data(), frames, channels, from_doubles.data());
        for (std::size_t i = 0; i < frames; ++i) {
            const int expected = plain(doubles.data() + i * channels, channels);
            ASSERT_EQ(from_floats[i], expected) << channels << " channels, frame " << i;
            ASSERT_EQ(from_doubles[i], expected) << channels << " channels, frame " << i;
        }
    }
}

TEST(EncodedSampleBytes, FixedSizeEncodingsOnly) {
    EXPECT_EQ(encoded_sample_bytes(SF_FORMAT_WAV | SF_FORMAT_PCM_U8), 1);
    EXPECT_EQ(encoded_sample_bytes(SF_FORMAT_AIFF | SF_FORMAT_PCM_S8), 1);
    EXPECT_EQ(encoded_sample_bytes(SF_FORMAT_WAV | SF_FORMAT_ULAW), 1);
    EXPECT_EQ(encoded_sample_bytes(SF_FORMAT_WAV | SF_FORMAT_PCM_16), 2);
    EXPECT_EQ(encoded_sample_bytes(SF_FORMAT_WAV | SF_FORMAT_PCM_24), 3);
    EXPECT_EQ(encoded_sample_bytes(SF_FORMAT_WAV | SF_FORMAT_PCM_32), 4);
    EXPECT_EQ(encoded_sample_bytes(SF_FORMAT_WAV | SF_FORMAT_FLOAT), 4);
    EXPECT_EQ(encoded_sample_bytes(SF_FORMAT_WAV | SF_FORMAT_DOUBLE), 8);
    EXPECT_EQ(encoded_sample_bytes(SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM), 0);
    EXPECT_EQ(encoded_sample_bytes(SF_FORMAT_FLAC | SF_FORMAT_PCM_16), 2);
}

TEST(DataChunkTruncated, ComparesWholeDeclaredFramesWithTheFramesPresent) {
    struct Case {
        uint64_t declared;
        int sample_bytes;
        int channels;
        int64_t frames;
        bool truncated;
    };
    const std::vector<Case> cases = {
        {4000, 2, 2, 1000, false},
        {4000, 2, 2, 999, true},
        {4003, 2, 2, 1000, false}, // a partial frame at the end is no frame
        {4004, 2, 2, 1000, true},
        {4000, 2, 2, 0, true},
        {2000, 1, 1, 2000, false},
        {2000, 1, 1, 1318, true},
        {0x7FFFFFFF, 2, 1, 10, false}, // a streaming writer's "unknown"
        {0xFFFFFFFF, 2, 1, 10, false},
        {4000, 0, 1, 10, false},       // an encoding of no fixed sample size
    };
    for (const Case& c : cases) {
        EXPECT_EQ(data_chunk_truncated(c.declared, c.sample_bytes, c.channels, c.frames),
                  c.truncated)
            << c.declared << " bytes, " << c.frames << " frames";
    }
}

// ---------------------------------------------------------------------------------------------
// Test recordings and sound files

// The name "test" and a short program, as they go on the tape.
const std::vector<uint8_t> saved_name = {0x39, 0x2A, 0x38, 0xB9};

std::vector<uint8_t> program_bytes() {
    std::vector<uint8_t> program;
    for (int i = 0; i < 48; ++i) program.push_back(static_cast<uint8_t>(i * 37 + 5));
    return program;
}

std::vector<uint8_t> recording(double lead_ms = 300.0, double trail_ms = 300.0) {
    TapeSignal signal;
    signal.lead_ms = lead_ms;
    signal.trail_ms = trail_ms;
    return tape_recording(signal, saved_name, program_bytes());
}

// Writes a sound file through libsndfile: `value(i, c)` is channel c of frame i, as a double
// on libsndfile's full scale (+-1.0), and is written with the given encoding.
void write_sound(const std::string& path, int format, int channels, std::size_t frames,
                 const std::function<double(std::size_t, int)>& value) {
    SF_INFO info{};
    info.samplerate = 22050;
    info.channels = channels;
    info.format = format;
    SNDFILE* sound = sf_open(path.c_str(), SFM_WRITE, &info);
    if (sound == nullptr) throw std::runtime_error("cannot create " + path);
    // Integers go through sf_writef_int so that no value is rounded on the way.
    const bool integer = (format & SF_FORMAT_SUBMASK) != SF_FORMAT_FLOAT &&
                         (format & SF_FORMAT_SUBMASK) != SF_FORMAT_DOUBLE;
    constexpr std::size_t chunk_frames = 4096;
    std::vector<int> ints;
    std::vector<double> doubles;
    for (std::size_t first = 0; first < frames; first += chunk_frames) {
        const std::size_t count = std::min(chunk_frames, frames - first);
        ints.clear();
        doubles.clear();
        for (std::size_t i = first; i < first + count; ++i) {
            for (int c = 0; c < channels; ++c) {
                const double v = value(i, c);
                doubles.push_back(v);
                ints.push_back(static_cast<int>(std::lround(v * 2147483648.0)));
            }
        }
        const auto wanted = static_cast<sf_count_t>(count);
        const sf_count_t written = integer ? sf_writef_int(sound, ints.data(), wanted)
                                           : sf_writef_double(sound, doubles.data(), wanted);
        if (written != wanted) throw std::runtime_error("cannot write " + path);
    }
    if (sf_close(sound) != 0) throw std::runtime_error("cannot close " + path);
}

// A raw sample on libsndfile's scale, with `low` (0 .. 255) below its top 8 bits.
double widened(uint8_t raw, int low) { return ((raw - 128) * 256 + low) / 32768.0; }

// Low bits that change from sample to sample and between channels.
int noise(std::size_t i, int c) {
    return static_cast<int>((i * 97 + static_cast<std::size_t>(c) * 131) % 256);
}

struct SoundCase {
    const char* what;
    const char* file_name; // the sound file's name in its scratch directory
    int format;
    int channels;
    std::function<double(const std::vector<uint8_t>&, std::size_t, int)> value;
};

std::vector<SoundCase> sound_cases() {
    using Raw = const std::vector<uint8_t>&;
    return {
        {"8-bit WAV", "tape.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1,
         [](Raw r, std::size_t i, int) { return widened(r[i], 0); }},
        {"16-bit WAV", "tape.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1,
         [](Raw r, std::size_t i, int c) { return widened(r[i], noise(i, c)); }},
        {"16-bit stereo WAV, identical channels", "tape.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2,
         [](Raw r, std::size_t i, int) { return widened(r[i], noise(i, 0)); }},
        {"16-bit stereo WAV, different low bits", "tape.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2,
         [](Raw r, std::size_t i, int c) { return widened(r[i], noise(i, c)); }},
        {"24-bit WAVE_EXTENSIBLE", "tape.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, 1,
         [](Raw r, std::size_t i, int c) { return widened(r[i], noise(i, c)); }},
        {"32-bit float WAV", "tape.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1,
         [](Raw r, std::size_t i, int) { return (r[i] - 128) / 128.0; }},
        {"16-bit FLAC", "tape.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1,
         [](Raw r, std::size_t i, int c) { return widened(r[i], noise(i, c)); }},
        {"16-bit stereo AIFF", "tape.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2,
         [](Raw r, std::size_t i, int c) { return widened(r[i], noise(i, c)); }},
        {"8-bit AIFF (signed)", "tape.aif", SF_FORMAT_AIFF | SF_FORMAT_PCM_S8, 1,
         [](Raw r, std::size_t i, int) { return widened(r[i], 0); }},
        {"24-bit FLAC", "tape.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 1,
         [](Raw r, std::size_t i, int c) { return widened(r[i], noise(i, c)); }},
        {"32-bit integer WAV, 3 channels", "tape.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 3,
         [](Raw r, std::size_t i, int c) { return widened(r[i], noise(i, c)); }},
        {"16-bit WAV, 3 channels", "tape.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3,
         [](Raw r, std::size_t i, int c) { return widened(r[i], noise(i, c)); }},
    };
}

void write_sound_case(const SoundCase& c, const std::string& path,
                      const std::vector<uint8_t>& raw) {
    write_sound(path, c.format, c.channels, raw.size(),
                [&](std::size_t i, int ch) { return c.value(raw, i, ch); });
}

// The input name without the extension the converter cuts off (".wav", ".aif", ".raw").
std::string base_of(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && name.size() - dot <= 4 ? name.substr(0, dot) : name;
}

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// One run of the converter on one input in a scratch directory of its own.
struct Conversion {
    RunResult result;
    std::vector<uint8_t> war;  // empty when there is none
    std::vector<uint8_t> p;    // test.p, empty when there is none
    std::vector<uint8_t> input; // the input as it is after the run
    std::vector<std::string> files;
};

Conversion convert(const std::string& name, const std::function<void(const std::string&)>& make) {
    ScratchDir dir;
    make(dir / name);
    Conversion c;
    c.result = run_zx81tape({name}, dir.path());
    const std::string base = base_of(name);
    c.result.out = replace_all(c.result.out, base, "BASE");
    c.result.err = replace_all(c.result.err, base, "BASE");
    if (exists(dir / (base + ".war"))) c.war = read_file(dir / (base + ".war"));
    if (exists(dir / "test.p")) c.p = read_file(dir / "test.p");
    c.input = read_file(dir / name);
    for (const std::string& f : list_dir(dir.path())) {
        c.files.push_back(replace_all(f, base, "BASE"));
    }
    return c;
}

Conversion convert_raw(const std::vector<uint8_t>& raw, const std::string& name = "tape.raw") {
    return convert(name, [&](const std::string& path) { write_file(path, raw); });
}

void expect_same_run(const Conversion& sound, const Conversion& raw) {
    EXPECT_EQ(sound.result.status, raw.result.status);
    EXPECT_EQ(sound.result.out, raw.result.out);
    EXPECT_EQ(sound.result.err, raw.result.err);
    EXPECT_EQ(sound.p, raw.p);
    EXPECT_EQ(sound.war, raw.war);
}

// ---------------------------------------------------------------------------------------------
// Sound files through the converter

TEST(SoundInput, EveryLosslessFormatGivesTheRawTwinsWarAndPFile) {
    const std::vector<uint8_t> raw = recording();
    const Conversion twin = convert_raw(raw);
    ASSERT_EQ(twin.result.status, 0) << twin.result.err;
    ASSERT_FALSE(twin.p.empty());
    ASSERT_EQ(twin.war.size(), raw.size() + 1);
    for (const SoundCase& c : sound_cases()) {
        SCOPED_TRACE(c.what);
        const Conversion sound =
            convert(c.file_name, [&](const std::string& path) { write_sound_case(c, path, raw); });
        expect_same_run(sound, twin);
    }
}

TEST(SoundInput, InvertedChannelsCancelToTheSilenceOfTheRawTwin) {
    const std::vector<uint8_t> raw = recording();
    const Conversion sound = convert("tape.wav", [&](const std::string& path) {
        write_sound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, raw.size(),
                    [&](std::size_t i, int c) {
                        return c == 0 ? widened(raw[i], 0) : -widened(raw[i], 0);
                    });
    });
    const Conversion silence = convert_raw(std::vector<uint8_t>(raw.size(), 128));
    expect_same_run(sound, silence);
    EXPECT_EQ(sound.result.status, 1);
    EXPECT_EQ(sound.result.err, "*** error *** Could not compute 0,1 bit length in samples\n");
}

TEST(SoundInput, ARecordingLongerThanOneBlockGivesTheRawTwinsWarAndPFile) {
    // The bits are measured in the third quarter of the first block, from sample 1,000,000 on,
    // which must fall inside the recording of the program.
    const std::vector<uint8_t> raw = recording(45000.0, 50000.0); // about 2.1 million samples
    ASSERT_GT(raw.size(), block_samples);
    const Conversion twin = convert_raw(raw);
    ASSERT_EQ(twin.result.status, 0) << twin.result.err;
    ASSERT_FALSE(twin.p.empty());
    const Conversion sound = convert("tape.wav", [&](const std::string& path) {
        write_sound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, raw.size(),
                    [&](std::size_t i, int c) { return widened(raw[i], noise(i, c)); });
    });
    expect_same_run(sound, twin);
}

TEST(SoundInput, WavOfUnknownLengthIsReadToItsEnd) {
    // A writer that cannot seek back leaves both lengths at 0xFFFFFFFF.
    const std::vector<uint8_t> raw = recording();
    const Conversion twin = convert_raw(raw);
    const Conversion sound = convert("tape.wav", [&](const std::string& path) {
        write_sound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, raw.size(),
                    [&](std::size_t i, int c) { return widened(raw[i], noise(i, c)); });
        std::vector<uint8_t> bytes = read_file(path);
        ASSERT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
        for (std::size_t i : {4, 5, 6, 7, 40, 41, 42, 43}) bytes[i] = 0xFF;
        write_file(path, bytes);
    });
    expect_same_run(sound, twin);
}

// A recognised file that cannot be decoded fails as an unreadable raw file does, and leaves
// nothing but itself.
void expect_unreadable(const Conversion& c, const std::string& name) {
    const std::string shown = replace_all(name, base_of(name), "BASE");
    EXPECT_EQ(c.result.status, 1);
    EXPECT_EQ(c.result.out, "... creating war file BASE.war\n");
    EXPECT_EQ(c.result.err, " *** error ***   Can't read file " + shown + " \n");
    EXPECT_EQ(c.files, std::vector<std::string>{shown});
}

// The file without its last `bytes` bytes.
std::function<void(std::vector<uint8_t>&)> cut(std::size_t bytes) {
    return [bytes](std::vector<uint8_t>& file) {
        ASSERT_GT(file.size(), bytes);
        file.resize(file.size() - bytes);
    };
}

// The FLAC file without its last frame: it ends cleanly at a frame's sync code (0xFF 0xF8),
// so only the frame count of its header tells that frames are missing.
void cut_last_flac_frame(std::vector<uint8_t>& file) {
    for (std::size_t i = file.size() - 2; i > 42; --i) {
        if (file[i] == 0xFF && file[i + 1] == 0xF8) {
            file.resize(i);
            return;
        }
    }
    FAIL() << "no frame sync code";
}

TEST(SoundInput, TruncatedSoundFilesCannotBeRead) {
    const std::vector<uint8_t> raw = recording();
    struct Case {
        const char* what;
        const char* name;
        int format;
        int channels;
        std::function<void(std::vector<uint8_t>&)> shorten;
    };
    const std::vector<Case> cases = {
        {"16-bit WAV cut in half", "tape.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1,
         cut(raw.size())},
        {"16-bit WAV short of one byte", "tape.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, cut(1)},
        {"8-bit stereo WAV short of one frame", "tape.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 2,
         cut(2)},
        {"float WAV cut", "tape.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, cut(1000)},
        {"AIFF cut", "tape.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 1, cut(1000)},
        {"FLAC cut inside a frame", "tape.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1,
         cut(1000)},
        {"FLAC cut at a frame boundary", "tape.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1,
         cut_last_flac_frame},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Conversion run = convert(c.name, [&](const std::string& path) {
            write_sound(path, c.format, c.channels, raw.size(),
                        [&](std::size_t i, int) { return widened(raw[i], 0); });
            std::vector<uint8_t> bytes = read_file(path);
            c.shorten(bytes);
            write_file(path, bytes);
        });
        expect_unreadable(run, c.name);
    }
}

TEST(SoundInput, WavFilesWithACorruptHeaderCannotBeRead) {
    const std::vector<uint8_t> raw = recording();
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> corrupt;
    };
    const std::vector<Case> cases = {
        {"no channels", [](std::vector<uint8_t>& b) { b[22] = 0; b[23] = 0; }},
        {"unknown encoding", [](std::vector<uint8_t>& b) { b[20] = 0x77; b[21] = 0x77; }},
        {"no sample bits", [](std::vector<uint8_t>& b) { b[34] = 0; b[35] = 0; }},
        {"RIFF and WAVE, then garbage",
         [](std::vector<uint8_t>& b) {
             for (std::size_t i = 12; i < 44; ++i) b[i] = static_cast<uint8_t>(i * 11);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Conversion run = convert("tape.wav", [&](const std::string& path) {
            write_sound(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, raw.size(),
                        [&](std::size_t i, int) { return widened(raw[i], 0); });
            std::vector<uint8_t> bytes = read_file(path);
            ASSERT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "fmt ");
            ASSERT_EQ(bytes[20], 1); // PCM, then channels at 22, sample bits at 34
            c.corrupt(bytes);
            write_file(path, bytes);
        });
        expect_unreadable(run, "tape.wav");
    }
}

TEST(SoundInput, FlacWithCorruptDataCannotBeRead) {
    const std::vector<uint8_t> raw = recording();
    const Conversion run = convert("tape.flac", [&](const std::string& path) {
        write_sound(path, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, raw.size(),
                    [&](std::size_t i, int) { return widened(raw[i], noise(i, 0)); });
        std::vector<uint8_t> bytes = read_file(path);
        for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 16; ++i) bytes[i] ^= 0x5A;
        write_file(path, bytes);
    });
    expect_unreadable(run, "tape.flac");
}

// The war file a raw input gives: its bytes normalised in one block, then the end marker.
std::vector<uint8_t> raw_war(std::vector<uint8_t> bytes) {
    SignalOptions settings;
    PulseCalibration calibration;
    normalise_block(bytes.data(), static_cast<uint32_t>(bytes.size()), settings, calibration);
    bytes.push_back(war_end_marker);
    return bytes;
}

TEST(SoundInput, HeaderlessFilesThatLookLikeSoundFilesAreReadAsRaw) {
    std::vector<uint8_t> riff = recording();
    riff[0] = 'R';
    riff[1] = 'I';
    riff[2] = 'F';
    riff[3] = 'F';
    struct Case {
        const char* what;
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {"begins with RIFF", "tape.wav", riff},
        {"begins with RIFF, raw name", "tape.raw", riff},
        {"named .au", "tape.au", recording()},   // libsndfile would take it for u-law
        {"named .vox", "tape.vox", recording()}, // ... for ADPCM
        {"named .gsm", "tape.gsm", recording()},
        {"empty", "tape.wav", {}},
        {"three bytes", "tape.raw", {'R', 'I', 'F'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Conversion run = convert_raw(c.bytes, c.name);
        EXPECT_EQ(run.war, raw_war(c.bytes));
        EXPECT_EQ(run.input, c.bytes);
    }
}

// A raw recording that starts clipped at full level begins like an MPEG frame header: it is
// read as raw, exactly as its twin that begins with 0xFE (the same war file, the same run), and
// no decoder gets to write a note on the error stream.
TEST(SoundInput, RawRecordingsThatBeginWithAnMpegSyncAreReadAsRaw) {
    for (int second = 0xE0; second <= 0xFF; ++second) {
        SCOPED_TRACE(second);
        std::vector<uint8_t> bytes = {0xFF, static_cast<uint8_t>(second), 0xE6, 0x80};
        const std::vector<uint8_t> tape = recording();
        bytes.insert(bytes.end(), tape.begin(), tape.end());
        std::vector<uint8_t> twin = bytes;
        twin[0] = 0xFE;
        const Conversion run = convert_raw(bytes);
        expect_same_run(run, convert_raw(twin));
        EXPECT_EQ(run.war, raw_war(bytes));
    }
}

// An MP3 of the test recording, as libsndfile writes it (no tag), or nothing when the installed
// libsndfile cannot write MP3.
std::vector<uint8_t> mp3_recording(const std::string& path) {
    SF_INFO info{};
    info.samplerate = 22050;
    info.channels = 1;
    info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    if (!sf_format_check(&info)) return {};
    const std::vector<uint8_t> raw = recording();
    write_sound(path, info.format, 1, raw.size(),
                [&](std::size_t i, int) { return widened(raw[i], 0); });
    return read_file(path);
}

TEST(SoundInput, Mp3IsReadWithOrWithoutAnId3TagAndItsDecoderStaysQuiet) {
    ScratchDir dir;
    const std::vector<uint8_t> plain = mp3_recording(dir / "plain.mp3");
    if (plain.empty()) GTEST_SKIP() << "this libsndfile writes no MP3";
    ASSERT_EQ(plain[0], 0xFF);
    // An ID3v2.3 tag of 16 bytes of padding in front.
    std::vector<uint8_t> tagged = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 16};
    tagged.resize(tagged.size() + 16, 0);
    tagged.insert(tagged.end(), plain.begin(), plain.end());
    // Garbage in the middle of the frames: the decoder resynchronises and would say so.
    std::vector<uint8_t> damaged = plain;
    for (std::size_t i = damaged.size() / 2; i < damaged.size() / 2 + 300; ++i) damaged[i] = 0;
    for (const std::vector<uint8_t>* file : std::vector<const std::vector<uint8_t>*>{&plain, &tagged, &damaged}) {
        write_file(dir / "tape.mp3", *file);
        SampleSource source;
        ASSERT_EQ(open_sample_source(source, dir / "tape.mp3"), SourceOpen::ok);
        EXPECT_NE(source.sound, nullptr);
        close_sample_source(source);

        const Conversion run = convert_raw(*file, "tape.mp3");
        // Only the converter's own lines: a read error, or the summary of unknown bits (the
        // lossy coding smears the pulses).
        std::size_t at = 0;
        while (at < run.result.err.size()) {
            const std::size_t end = run.result.err.find('\n', at);
            const std::string line = run.result.err.substr(at, end - at);
            EXPECT_TRUE(line == " *** error ***   Can't read file BASE.mp3 " ||
                        line.rfind("** aborted because of ", 0) == 0)
                << line;
            at = end == std::string::npos ? end : end + 1;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The source itself

TEST(SampleSource, DecodesInBlocksAcrossTheDecodingBuffer) {
    ScratchDir dir;
    const std::size_t frames = 100000; // more than one decoding buffer of stereo frames
    write_sound(dir / "s.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, frames,
                [](std::size_t i, int c) {
                    return widened(static_cast<uint8_t>(i * 7), noise(i, c));
                });
    SampleSource source;
    ASSERT_EQ(open_sample_source(source, dir / "s.wav"), SourceOpen::ok);
    ASSERT_NE(source.sound, nullptr);
    std::vector<uint8_t> block(30000);
    std::vector<uint8_t> all;
    uint32_t count = 0;
    std::vector<uint32_t> counts;
    do {
        ASSERT_TRUE(read_samples(source, block.data(), 30000, count));
        counts.push_back(count);
        all.insert(all.end(), block.begin(), block.begin() + count);
    } while (count == 30000);
    EXPECT_EQ(counts, (std::vector<uint32_t>{30000, 30000, 30000, 10000}));
    ASSERT_EQ(all.size(), frames);
    for (std::size_t i = 0; i < frames; ++i) {
        ASSERT_EQ(all[i], static_cast<uint8_t>(i * 7)) << "frame " << i;
    }
    ASSERT_TRUE(read_samples(source, block.data(), 30000, count));
    EXPECT_EQ(count, 0u);
    close_sample_source(source);
    EXPECT_EQ(source.sound, nullptr);
}

TEST(SampleSource, RawFilesAreReadByteForByte) {
    ScratchDir dir;
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 1000; ++i) bytes.push_back(static_cast<uint8_t>(i * 13));
    write_file(dir / "r.raw", bytes);
    SampleSource source;
    ASSERT_EQ(open_sample_source(source, dir / "r.raw"), SourceOpen::ok);
    ASSERT_NE(source.raw, nullptr);
    std::vector<uint8_t> block(600);
    uint32_t count = 0;
    ASSERT_TRUE(read_samples(source, block.data(), 600, count));
    ASSERT_EQ(count, 600u);
    EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.end()),
              std::vector<uint8_t>(bytes.begin(), bytes.begin() + 600));
    ASSERT_TRUE(read_samples(source, block.data(), 600, count));
    ASSERT_EQ(count, 400u);
    EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 400),
              std::vector<uint8_t>(bytes.begin() + 600, bytes.end()));
    close_sample_source(source);
}

TEST(SampleSource, AMissingFileCannotBeOpened) {
    ScratchDir dir;
    SampleSource source;
    EXPECT_EQ(open_sample_source(source, dir / "missing.wav"), SourceOpen::unreadable);
    EXPECT_EQ(source.raw, nullptr);
    EXPECT_EQ(source.sound, nullptr);
}

} // namespace
