// The sound-file twins of a raw recording for the benchmark (see bench/bench.sh), and the
// decoder's own time.
//
//   sound_twin RAW OUTPUT FORMAT    writes RAW as a sound file whose every frame the converter
//                                   reduces to the raw sample it came from, so that both give
//                                   the same war file. FORMAT:
//                                     wav16s   16-bit stereo WAV, the low bits of each channel
//                                              filled with a pattern of their own
//                                     flac16s  the same as FLAC
//                                     wav24    24-bit mono WAV, low bits filled
//                                     float    32-bit float mono WAV
//   sound_twin --decode FILE        decodes FILE through libsndfile as the converter does
//                                   (integers as shorts or ints, anything else as doubles)
//                                   and throws the samples away
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sndfile.h>

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "sound_twin: %s\n", message.c_str());
    return 1;
}

int decode(const char* name) {
    SF_INFO info{};
    SNDFILE* sound = sf_open(name, SFM_READ, &info);
    if (sound == nullptr) return fail(std::string("can't read ") + name);
    const int sub = info.format & SF_FORMAT_SUBMASK;
    const sf_count_t frames = 65536 / info.channels;
    std::vector<short> shorts(65536);
    std::vector<int> ints(65536);
    std::vector<double> doubles(65536);
    sf_count_t got;
    do {
        if (sub == SF_FORMAT_PCM_16 || sub == SF_FORMAT_PCM_S8 || sub == SF_FORMAT_PCM_U8) {
            got = sf_readf_short(sound, shorts.data(), frames);
        } else if (sub == SF_FORMAT_PCM_24 || sub == SF_FORMAT_PCM_32) {
            got = sf_readf_int(sound, ints.data(), frames);
        } else {
            got = sf_readf_double(sound, doubles.data(), frames);
        }
    } while (got == frames);
    sf_close(sound);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--decode") == 0) return decode(argv[2]);
    if (argc != 4) return fail("usage: sound_twin RAW OUTPUT wav16s|flac16s|wav24|float");
    const std::string format = argv[3];
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = format == "wav16s" || format == "flac16s" ? 2 : 1;
    if (format == "wav16s") info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    else if (format == "flac16s") info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    else if (format == "wav24") info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    else if (format == "float") info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    else return fail("unknown format " + format);

    std::FILE* raw = std::fopen(argv[1], "rb");
    if (raw == nullptr) return fail(std::string("can't read ") + argv[1]);
    SNDFILE* out = sf_open(argv[2], SFM_WRITE, &info);
    if (out == nullptr) {
        std::fclose(raw);
        return fail(std::string("can't create ") + argv[2]);
    }
    std::vector<unsigned char> block(1 << 16);
    std::vector<int> ints(2 * block.size());
    std::vector<float> floats(block.size());
    bool ok = true;
    std::size_t got;
    uint32_t pattern = 1;
    while (ok && (got = std::fread(block.data(), 1, block.size(), raw)) > 0) {
        const auto frames = static_cast<sf_count_t>(got);
        if (format == "float") {
            for (std::size_t i = 0; i < got; ++i) floats[i] = (block[i] - 128) / 128.0f;
            ok = sf_writef_float(out, floats.data(), frames) == frames;
            continue;
        }
        // On libsndfile's 32-bit integer scale: the raw sample in the top 8 bits, below it
        // low bits that the averaging and the rounding down drop again.
        for (std::size_t i = 0; i < got; ++i) {
            for (int c = 0; c < info.channels; ++c) {
                pattern = pattern * 1664525u + 1013904223u;
                const int low = format == "wav24" ? static_cast<int>(pattern >> 16) & 0xFF00
                                                  : static_cast<int>(pattern >> 16) & 0xFF0000;
                ints[i * info.channels + c] = static_cast<int>((block[i] - 128) * (1u << 24)) + low;
            }
        }
        ok = sf_writef_int(out, ints.data(), frames) == frames;
    }
    if (std::ferror(raw)) ok = false;
    std::fclose(raw);
    if (sf_close(out) != 0) ok = false;
    return ok ? 0 : fail(std::string("can't write ") + argv[2]);
}
