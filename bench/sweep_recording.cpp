// One recording for the robustness sweep (scripts/rescue_sweep.sh): a program saved under the
// name SWEEP, half a second of silence on each side, with the impairments asked for, over the
// whole recording. zx81synth's own impairments, with levels finer than its whole steps.
//
//   sweep_recording PROGRAM.p OUTPUT RATE BITS [KEY=VALUE]...
//
// OUTPUT ending in .wav is a mono WAV file of BITS (8 or 16) bits, anything else raw unsigned
// 8-bit samples. Keys: peak (the pulses' peak in 8-bit steps, default 100), noise (RMS), dc,
// hum (peak, 50 Hz), speed, wow (depth), wowhz (default 0.5), fade, shape (square, sine,
// tape), seed.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sndfile.h>

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

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fputs("usage: sweep_recording PROGRAM.p OUTPUT RATE BITS [KEY=VALUE]...\n", stderr);
        return 2;
    }
    std::FILE* in = std::fopen(argv[1], "rb");
    if (in == nullptr) return 1;
    std::vector<uint8_t> bytes = {0x38, 0x3C, 0x2A, 0x2A, 0xB5}; // SWEEP
    for (int c; (c = std::fgetc(in)) != EOF;)
        bytes.push_back(static_cast<uint8_t>(c));
    std::fclose(in);

    SynthSettings settings;
    settings.rate = std::atoi(argv[3]);
    settings.lead_ms = 500.0;
    settings.trail_ms = 500.0;
    const int bits = std::atoi(argv[4]);
    double peak = 100.0;
    for (int i = 5; i < argc; ++i) {
        const char* eq = std::strchr(argv[i], '=');
        if (eq == nullptr) return 2;
        const std::string key(argv[i], static_cast<std::size_t>(eq - argv[i]));
        const double value = std::atof(eq + 1);
        if (key == "peak")
            peak = value;
        else if (key == "noise")
            settings.noise = value;
        else if (key == "dc")
            settings.dc = value;
        else if (key == "hum")
            settings.hum = value;
        else if (key == "speed")
            settings.speed = value;
        else if (key == "wow")
            settings.wow_depth = value;
        else if (key == "wowhz")
            settings.wow_hz = value;
        else if (key == "fade")
            settings.fade = value;
        else if (key == "seed")
            settings.seed = static_cast<uint64_t>(value);
        else if (key == "shape") {
            const std::string shape(eq + 1);
            settings.shape = shape == "tape"   ? PulseShape::tape
                             : shape == "sine" ? PulseShape::sine
                                               : PulseShape::square;
        } else {
            return 2;
        }
    }
    Synthesiser synth = make_synthesiser(settings, bytes);
    synth.gain *= peak / settings.amplitude;
    std::vector<double> samples(static_cast<std::size_t>(synth.total_samples));
    render_samples(synth, samples.data(), samples.size());

    const std::string out = argv[2];
    const bool wav = out.size() > 4 && out.compare(out.size() - 4, 4, ".wav") == 0;
    SF_INFO info{};
    info.samplerate = settings.rate;
    info.channels = 1;
    info.format = wav ? (SF_FORMAT_WAV | (bits == 16 ? SF_FORMAT_PCM_16 : SF_FORMAT_PCM_U8))
                      : (SF_FORMAT_RAW | SF_FORMAT_PCM_U8);
    SNDFILE* file = sf_open(out.c_str(), SFM_WRITE, &info);
    if (file == nullptr) return 1;
    std::vector<short> values(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        // 8-bit output as the synthesiser rounds it; 16-bit at its full resolution.
        values[i] = bits == 16 ? sample_s16(samples[i])
                               : static_cast<short>((sample_u8(samples[i]) - 128) * 256);
    }
    const bool ok = sf_writef_short(file, values.data(), static_cast<sf_count_t>(values.size())) ==
                    static_cast<sf_count_t>(values.size());
    return sf_close(file) == 0 && ok ? 0 : 1;
}
