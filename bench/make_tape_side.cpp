// Writes a long recording as a user's tape side gives it, for zx81rescue's benchmark: real-size
// BASIC programs (4 to 16 KB) one after the other, each after a few seconds of silence, with
// tape-shaped pulses, a little noise and hum, and silence after the last one that fits in the
// minutes asked.
//
//   make_tape_side OUTPUT MINUTES [RATE] [raw|wav16]
//
// wav16 (the default) is a 16-bit stereo WAV file, the left channel a little louder than the
// right and each with noise of its own; raw is headerless unsigned 8-bit mono, the samples
// zx81tape reads. The same arguments give the same file. Rendered a block at a time: memory
// stays constant however long the recording.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sndfile.h>

#include "program/system_variables.h"
#include "synth/impairments.h"
#include "synth/synthesiser.h"

namespace {

// A sample in 8-bit steps around silence as signed 16-bit (256 times), rounded and held within
// range.
int16_t sample_s16(double value) {
    return static_cast<int16_t>(std::clamp(std::nearbyint(256.0 * value), -32768.0, 32767.0));
}

// A BASIC program of `size` bytes: system variables in order, one REM line of pseudo-random
// machine code, a collapsed display file, no variables.
std::vector<uint8_t> basic_program(std::size_t size, uint32_t seed) {
    const std::size_t line_bytes = size - system_variables_size - 25 - 1;
    std::vector<uint8_t> p(size, 0);
    const uint32_t d_file = program_address + static_cast<uint32_t>(line_bytes);
    const uint32_t vars = d_file + 25;
    put_le16(p, sysvar::d_file, static_cast<uint16_t>(d_file));
    put_le16(p, sysvar::df_cc, static_cast<uint16_t>(d_file + 1));
    put_le16(p, sysvar::vars, static_cast<uint16_t>(vars));
    put_le16(p, sysvar::e_line, static_cast<uint16_t>(vars + 1));
    put_le16(p, sysvar::nxtlin, static_cast<uint16_t>(d_file));
    p[sysvar::margin] = margin_pal;
    std::size_t at = system_variables_size;
    p[at] = 0;
    p[at + 1] = 10; // line 10
    put_le16(p, at + 2, static_cast<uint16_t>(line_bytes - 4));
    p[at + 4] = 0xEA; // REM
    uint32_t x = seed;
    for (std::size_t i = at + 5; i + 1 < at + line_bytes; ++i) {
        x = x * 1103515245u + 12345u;
        p[i] = static_cast<uint8_t>(x >> 16);
        if (p[i] == 0x76) p[i] = 0;
    }
    p[at + line_bytes - 1] = 0x76;
    std::fill(p.begin() + d_file - p_file_origin, p.begin() + vars - p_file_origin, 0x76);
    p.back() = 0x80;
    return p;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: make_tape_side OUTPUT MINUTES [RATE] [raw|wav16]\n", stderr);
        return 1;
    }
    const double minutes = std::atof(argv[2]);
    const int rate = argc > 3 ? std::atoi(argv[3]) : 44100;
    const bool raw = argc > 4 && std::strcmp(argv[4], "raw") == 0;
    if (minutes <= 0 || rate < 8000 || rate > 192000) {
        std::fputs("make_tape_side: MINUTES must be positive, RATE 8000 to 192000\n", stderr);
        return 1;
    }
    const auto total = static_cast<int64_t>(minutes * 60.0 * rate);

    SF_INFO info{};
    info.samplerate = rate;
    info.channels = raw ? 1 : 2;
    info.format = raw ? (SF_FORMAT_RAW | SF_FORMAT_PCM_U8) : (SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    SNDFILE* out = sf_open(argv[1], SFM_WRITE, &info);
    if (out == nullptr) {
        std::fprintf(stderr, "make_tape_side: can't create %s\n", argv[1]);
        return 1;
    }

    constexpr std::size_t block = 65536;
    std::vector<double> left(block);
    std::vector<short> frames(block * 2);
    NoiseSource noise = make_noise_source(99);
    int64_t written = 0;
    bool ok = true;
    for (uint32_t n = 0; ok && written < total; ++n) {
        SynthSettings settings;
        settings.rate = rate;
        settings.shape = PulseShape::tape;
        settings.noise = 2.0;
        settings.hum = 1.0;
        settings.lead_ms = 3000.0;
        settings.trail_ms = 500.0;
        settings.speed = 1.0 + 0.01 * static_cast<int>(n % 5) - 0.02;
        settings.seed = n + 1;
        const std::string name = "PROGRAM" + std::to_string(n + 1);
        std::vector<uint8_t> bytes;
        for (char c : name) {
            bytes.push_back(static_cast<uint8_t>(c >= 'A' ? c - 'A' + 0x26 : c - '0' + 0x1C));
        }
        bytes.back() |= 0x80;
        const std::vector<uint8_t> program = basic_program(4096 * (1 + n % 4), n + 1);
        bytes.insert(bytes.end(), program.begin(), program.end());
        Synthesiser synth = make_synthesiser(settings, bytes);
        if (written + synth.total_samples > total) {
            // The rest is silence: a tape side ends with the last program that fits.
            settings.noise = 0.0;
            settings.lead_ms = 0.0;
            settings.trail_ms = 1000.0 * static_cast<double>(total - written) / rate;
            bytes.clear();
            synth = make_synthesiser(settings, bytes);
        }
        for (int64_t done = 0; ok && done < synth.total_samples && written < total;) {
            const auto count = static_cast<std::size_t>(std::min<int64_t>(
                {static_cast<int64_t>(block), synth.total_samples - done, total - written}));
            render_samples(synth, left.data(), count);
            for (std::size_t i = 0; i < count; ++i) {
                frames[2 * i] = sample_s16(left[i]);
                frames[2 * i + 1] = sample_s16(0.8 * left[i] + 2.0 * next_gaussian(noise));
            }
            if (raw) {
                for (std::size_t i = 0; i < count; ++i)
                    frames[i] = frames[2 * i];
            }
            ok = sf_writef_short(out, frames.data(), static_cast<sf_count_t>(count)) ==
                 static_cast<sf_count_t>(count);
            done += static_cast<int64_t>(count);
            written += static_cast<int64_t>(count);
        }
    }
    if (sf_close(out) != 0) ok = false;
    if (!ok) {
        std::fprintf(stderr, "make_tape_side: can't write %s\n", argv[1]);
        std::remove(argv[1]);
        return 1;
    }
    return 0;
}
