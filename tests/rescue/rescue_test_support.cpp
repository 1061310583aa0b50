#include "rescue/rescue_test_support.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include <sndfile.h>

#include "recover/recover_test_support.h"
#include "synth/impairments.h"
#include "synth/synthesiser.h"

namespace {

// A sample in 8-bit steps around silence as unsigned 8-bit (128 added) and as signed 16-bit
// (256 times), rounded and held within range.
uint8_t sample_u8(double value) {
    return static_cast<uint8_t>(std::clamp(std::nearbyint(128.0 + value), 0.0, 255.0));
}
int16_t sample_s16(double value) {
    return static_cast<int16_t>(std::clamp(std::nearbyint(256.0 * value), -32768.0, 32767.0));
}
constexpr double pi = 3.14159265358979323846;
} // namespace

void TestRecording::silence(double seconds) {
    samples.resize(samples.size() + static_cast<std::size_t>(seconds * rate), 0.0);
}

void TestRecording::noise(double seconds, double rms, uint64_t seed) {
    NoiseSource source = make_noise_source(seed);
    const auto count = static_cast<std::size_t>(seconds * rate);
    for (std::size_t i = 0; i < count; ++i)
        samples.push_back(rms * next_gaussian(source));
}

void TestRecording::voice(double seconds, double level) {
    const auto count = static_cast<std::size_t>(seconds * rate);
    double phase = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double syllable = std::fmod(t, 0.25);
        const double envelope = syllable < 0.2 ? std::sin(pi * syllable / 0.2) : 0.0;
        phase += 2 * pi * (150.0 + 30.0 * std::sin(2 * pi * 1.3 * t)) / rate;
        double v = 0.0;
        for (int h = 1; h * 150 < 3000; ++h)
            v += std::sin(h * phase) / h;
        samples.push_back(level * envelope * v / 2.0);
    }
}

void TestRecording::fast_loader(double seconds, uint64_t seed) {
    NoiseSource random = make_noise_source(seed);
    const std::size_t end = samples.size() + static_cast<std::size_t>(seconds * rate);
    const auto half = static_cast<std::size_t>(100e-6 * rate + 0.5);
    const auto pause = static_cast<std::size_t>(400e-6 * rate + 0.5);
    while (samples.size() < end) {
        const int pulses = 1 + static_cast<int>(next_random(random) & 1);
        for (int p = 0; p < pulses; ++p) {
            samples.insert(samples.end(), half, 100.0);
            samples.insert(samples.end(), half, -100.0);
        }
        samples.insert(samples.end(), pause, 0.0);
    }
}

void TestRecording::click(double level) {
    const auto ring = static_cast<std::size_t>(0.002 * rate);
    for (std::size_t i = 0; i < ring; ++i) {
        const double t = static_cast<double>(i) / rate;
        samples.push_back(level * std::exp(-t / 0.0004) * std::cos(2 * pi * 2000.0 * t));
    }
}

void TestRecording::bytes(const std::vector<uint8_t>& bytes) {
    SynthSettings settings;
    settings.rate = rate;
    Synthesiser synth = make_synthesiser(settings, bytes);
    const std::size_t start = samples.size();
    samples.resize(start + static_cast<std::size_t>(synth.total_samples));
    render_samples(synth, samples.data() + start, static_cast<std::size_t>(synth.total_samples));
}

void TestRecording::program(const std::string& name, const std::vector<uint8_t>& bytes,
                            SynthSettings settings, double peak) {
    settings.rate = rate;
    std::vector<uint8_t> tape = name_codes(name);
    tape.insert(tape.end(), bytes.begin(), bytes.end());
    Synthesiser synth = make_synthesiser(settings, tape);
    if (peak > 0.0) synth.gain *= peak / settings.amplitude;
    const std::size_t start = samples.size();
    samples.resize(start + static_cast<std::size_t>(synth.total_samples));
    render_samples(synth, samples.data() + start, static_cast<std::size_t>(synth.total_samples));
}

void TestRecording::append(const std::vector<float>& more, double scale) {
    for (float v : more)
        samples.push_back(scale * v);
}

void TestRecording::impair(double noise_rms, double dc, double hum, uint64_t seed) {
    NoiseSource source = make_noise_source(seed);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        samples[i] += dc + hum * std::sin(2 * pi * 50.0 * t);
        if (noise_rms > 0.0) samples[i] += noise_rms * next_gaussian(source);
    }
}

void write_raw(const std::string& path, const TestRecording& recording) {
    std::vector<uint8_t> bytes(recording.samples.size());
    std::transform(recording.samples.begin(), recording.samples.end(), bytes.begin(), sample_u8);
    write_file(path, bytes);
}

void write_wav(const std::string& path, const std::vector<const TestRecording*>& channels,
               int bits) {
    SF_INFO info{};
    info.samplerate = channels.front()->rate;
    info.channels = static_cast<int>(channels.size());
    info.format = SF_FORMAT_WAV | (bits == 16 ? SF_FORMAT_PCM_16 : SF_FORMAT_PCM_U8);
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) throw std::runtime_error("cannot write " + path);
    std::size_t frames = 0;
    for (const TestRecording* c : channels)
        frames = std::max(frames, c->samples.size());
    std::vector<short> interleaved(frames * channels.size(), 0);
    for (std::size_t c = 0; c < channels.size(); ++c) {
        for (std::size_t i = 0; i < channels[c]->samples.size(); ++i) {
            interleaved[i * channels.size() + c] = sample_s16(channels[c]->samples[i]);
        }
    }
    const auto written = sf_writef_short(file, interleaved.data(), static_cast<sf_count_t>(frames));
    sf_close(file);
    if (written != static_cast<sf_count_t>(frames)) throw std::runtime_error("short write");
}

RunResult run_zx81rescue(const std::vector<std::string>& args, const std::string& cwd) {
    std::vector<std::string> argv{"zx81rescue"};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(ZX81RESCUE_PATH, argv, cwd);
}
