// Writes the seed corpora of the fuzz targets: command lines, and recordings made by the
// tape-signal generator at a few rates and levels, as raw samples, war data and bit text.
//
//   make_fuzz_seeds DIR    creates DIR/options, DIR/normaliser, DIR/classifier, DIR/bit_readers,
//                          DIR/sound_reader, DIR/container, DIR/program_finder
#include <algorithm>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include <sndfile.h>

#include "bits/bit_file.h"
#include "bits/classifier.h"
#include "container/p81_format.h"
#include "container/tzx_format.h"
#include "program/system_variables.h"
#include "signal/normaliser.h"
#include "tape/tape_signal.h"

namespace {

bool write_seed(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0) ok = false;
    if (!ok) std::fprintf(stderr, "make_fuzz_seeds: can't write %s\n", name.c_str());
    return ok;
}

void put_i32(std::vector<uint8_t>& out, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void put_u16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

// A short program: the name "seed" (last code marked) and a few bytes of every value class.
std::vector<uint8_t> seed_recording(int rate, int amplitude) {
    TapeSignal signal;
    signal.rate = rate;
    signal.amplitude = amplitude;
    signal.lead_ms = 20;
    signal.trail_ms = 20;
    const std::vector<uint8_t> name{0x38, 0x2A, 0x2A, 0x29 | 0x80};
    std::vector<uint8_t> program{0x00, 0xFF, 0x55, 0xAA, 0x76, 0x80, 0x01, 0x7F};
    for (int i = 0; i < 16; ++i) program.push_back(static_cast<uint8_t>(i * 37));
    return tape_recording(signal, name, program);
}

// A string literal with its zero bytes.
// A short piece of the recording as a sound file of the given format.
bool write_sound_seed(const std::string& name, const std::vector<uint8_t>& raw, int rate,
                      int format) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = format;
    SNDFILE* sound = sf_open(name.c_str(), SFM_WRITE, &info);
    if (sound == nullptr) return false;
    std::vector<short> samples;
    for (std::size_t i = 0; i < raw.size() && i < 4000; ++i) {
        samples.push_back(static_cast<short>((raw[i] - 128) * 256));
    }
    const bool written = sf_writef_short(sound, samples.data(), static_cast<sf_count_t>(samples.size())) ==
                         static_cast<sf_count_t>(samples.size());
    return sf_close(sound) == 0 && written;
}

template <std::size_t N> std::string literal(const char (&text)[N]) {
    return std::string(text, N - 1);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_fuzz_seeds DIR\n", stderr);
        return 1;
    }
    const std::string dir = argv[1];
    for (const char* sub : {"", "/options", "/normaliser", "/classifier", "/bit_readers",
                            "/sound_reader", "/container", "/program_finder"}) {
        mkdir((dir + sub).c_str(), 0777);
    }
    bool ok = true;

    const std::vector<std::string> command_lines{
        literal("tape.raw\0n=30\0k=3"),
        literal("dir/prog.bit\0-r\0-c\0-ffoo.p"),
        literal("a:b\\c.P\0-i\0-o\0-z\0-l\0-m\0-b\0-p"),
        literal("x.wav\0n=-2147483649\0k=+99999999999\0-f\0-q\0q=1"),
    };
    int index = 0;
    for (const std::string& line : command_lines) {
        ok &= write_seed(dir + "/options/seed" + std::to_string(index++),
                         std::vector<uint8_t>(line.begin(), line.end()));
    }

    index = 0;
    for (int rate : {11025, 22050, 44100}) {
        for (int amplitude : {20, 100}) {
            const std::vector<uint8_t> raw = seed_recording(rate, amplitude);
            const std::string suffix = std::to_string(index++);

            std::vector<uint8_t> normaliser;
            put_i32(normaliser, 30);
            normaliser.push_back(static_cast<uint8_t>(index % 4 << 1));
            normaliser.insert(normaliser.end(), raw.begin(), raw.end());
            ok &= write_seed(dir + "/normaliser/seed" + suffix, normaliser);

            SignalOptions settings;
            PulseCalibration calibration;
            std::vector<uint8_t> war(raw);
            normalise_block(war.data(), static_cast<uint32_t>(war.size()), settings, calibration);
            war.push_back(war_end_marker);
            std::vector<uint8_t> classifier;
            put_i32(classifier, calibration.longest_pause);
            put_i32(classifier, calibration.zero_length);
            put_i32(classifier, calibration.one_length);
            put_i32(classifier, 3);
            put_u16(classifier, static_cast<uint16_t>(war.size() / 3));
            classifier.insert(classifier.end(), war.begin(), war.end());
            ok &= write_seed(dir + "/classifier/seed" + suffix, classifier);

            BitClassifier c = make_classifier(calibration, 3);
            std::string bits;
            std::vector<int64_t> unknown;
            classify_block(c, war.data(), war.size(), bits, unknown);
            BitLine line;
            std::string text;
            for (char bit : bits) put_bit_char(line, text, bit);
            std::vector<uint8_t> readers;
            readers.push_back(static_cast<uint8_t>(index % 3));
            put_u16(readers, 4);
            put_u16(readers, static_cast<uint16_t>(text.size() / 2));
            readers.insert(readers.end(), text.begin(), text.end());
            ok &= write_seed(dir + "/bit_readers/seed" + suffix, readers);

            // Sound files of the recording, written by libsndfile itself.
            const int formats[] = {SF_FORMAT_WAV | SF_FORMAT_PCM_U8, SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                                   SF_FORMAT_AIFF | SF_FORMAT_PCM_16, SF_FORMAT_FLAC | SF_FORMAT_PCM_16};
            for (int f = 0; f < 4; ++f) {
                ok &= write_sound_seed(dir + "/sound_reader/seed" + suffix + "-" + std::to_string(f),
                                       raw, rate, formats[f]);
            }
        }
    }
#include "container/p81_format.h"
#include "container/tzx_format.h"
#include "program/system_variables.h"
    return ok ? 0 : 1;
}
