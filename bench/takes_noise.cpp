// How much two takes add against noise: `make rescue-takes`.
//
//   takes_noise RATE TRIALS LEVEL[,LEVEL...] PROGRAM.p...
//
// For each noise level (white noise of that RMS in 8-bit steps, the pulses' peak at 100, as
// zx81synth --noise gives it), every program is recorded TRIALS times twice over, each take
// with noise of its own seed (zx81synth's signal, half a second of silence on each side, raw
// 8-bit samples at RATE). Each take is decoded alone as zx81rescue decodes a recording (the
// rate given), and the two takes of a trial are merged as zx81rescue --merge merges them.
// A take alone fails when its program is not intact with the exact bytes; a merge fails when
// its program is not intact or repaired with the exact bytes. One line per level:
//
//   noise 30.0: one take fails 21 of 200 (10.5 %), two takes merged fail 0 of 100 (0.0 %)
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "recover/recording_decoder.h"
#include "recover/take.h"
#include "recover/take_merge.h"
#include "synth/synthesiser.h"

namespace {

// The codes of the name NOISE, the last marked.
const std::vector<uint8_t> saved_name = {0x33, 0x34, 0x2E, 0x38, 0xAA};

bool read_program(const char* name, std::vector<uint8_t>& bytes) {
    std::FILE* in = std::fopen(name, "rb");
    if (in == nullptr) return false;
    for (int c; (c = std::fgetc(in)) != EOF;)
        bytes.push_back(static_cast<uint8_t>(c));
    std::fclose(in);
    return !bytes.empty();
}

// Records `program` with noise of `rms` and `seed` into the raw file `path`.
bool record(const std::string& path, const std::vector<uint8_t>& program, int rate, double rms,
            uint64_t seed) {
    SynthSettings settings;
    settings.rate = rate;
    settings.lead_ms = 500.0;
    settings.trail_ms = 500.0;
    settings.noise = rms;
    settings.seed = seed;
    std::vector<uint8_t> tape = saved_name;
    tape.insert(tape.end(), program.begin(), program.end());
    Synthesiser synth = make_synthesiser(settings, tape);
    std::vector<double> samples(static_cast<std::size_t>(synth.total_samples));
    render_samples(synth, samples.data(), samples.size());
    std::vector<uint8_t> bytes(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        bytes[i] = raw_sample(samples[i]);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && written;
}

// The takes found on a recording, as recording `index` of a merge.
std::vector<Take> takes_of(const std::string& path, int rate, int index) {
    DecodeOptions options;
    options.raw_rate = rate;
    std::vector<Take> takes;
    DecodeSink sink;
    sink.program = [&](RecoveredProgram&& program) {
        if (program.verdict != Verdict::not_a_program) {
            takes.push_back(make_take(std::move(program), index));
        }
    };
    decode_recording(path, options, sink);
    return takes;
}

bool exact(const RecoveredProgram& p, const std::vector<uint8_t>& program, bool repaired_too) {
    const bool sure =
        p.verdict == Verdict::intact || (repaired_too && p.verdict == Verdict::repaired);
    return sure && p.name == saved_name && p.bytes == program;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fputs("usage: takes_noise RATE TRIALS LEVEL[,LEVEL...] PROGRAM.p...\n", stderr);
        return 2;
    }
    const int rate = std::atoi(argv[1]);
    const int trials = std::atoi(argv[2]);
    std::vector<double> levels;
    for (const char* p = argv[3]; *p != '\0';) {
        char* end = nullptr;
        levels.push_back(std::strtod(p, &end));
        if (end == p) return 2;
        p = *end == ',' ? end + 1 : end;
    }
    std::vector<std::vector<uint8_t>> programs;
    for (int i = 4; i < argc; ++i) {
        programs.emplace_back();
        if (!read_program(argv[i], programs.back())) {
            std::fprintf(stderr, "takes_noise: cannot read %s\n", argv[i]);
            return 1;
        }
    }
    const char* tmp = std::getenv("TMPDIR");
    const std::string base = std::string(tmp != nullptr ? tmp : "/tmp") + "/takes_noise_" +
                             std::to_string(static_cast<long>(getpid()));
    const std::string first = base + "_1.raw", second = base + "_2.raw";

    for (double level : levels) {
        int alone = 0, alone_failed = 0, merged = 0, merged_failed = 0;
        for (const std::vector<uint8_t>& program : programs) {
            for (int trial = 0; trial < trials; ++trial) {
                const auto seed = static_cast<uint64_t>(2 * trial + 1);
                if (!record(first, program, rate, level, seed) ||
                    !record(second, program, rate, level, seed + 1)) {
                    std::fputs("takes_noise: cannot write the recordings\n", stderr);
                    return 1;
                }
                std::vector<Take> takes = takes_of(first, rate, 0);
                std::vector<Take> more = takes_of(second, rate, 1);
                for (const std::vector<Take>* one : {&takes, &more}) {
                    ++alone;
                    bool found = false;
                    for (const RecoveredProgram& p : settle_takes(*one))
                        found = found || exact(p, program, false);
                    alone_failed += found ? 0 : 1;
                }
                for (Take& take : more)
                    takes.push_back(std::move(take));
                ++merged;
                bool found = false;
                for (const RecoveredProgram& p : settle_takes(takes))
                    found = found || exact(p, program, true);
                merged_failed += found ? 0 : 1;
            }
        }
        std::printf("noise %.1f: one take fails %d of %d (%.1f %%), two takes merged fail %d of "
                    "%d (%.1f %%)\n",
                    level, alone_failed, alone, 100.0 * alone_failed / alone, merged_failed, merged,
                    100.0 * merged_failed / merged);
        std::fflush(stdout);
    }
    std::remove(first.c_str());
    std::remove(second.c_str());
    return 0;
}
