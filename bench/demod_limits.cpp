// The demodulator's limits: how far each impairment can go before a bit comes back wrong or
// uncertain, the wrong-but-certain bits seen anywhere, and the speed.
//
//   demod_limits [probe OPTIONS]
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "demod_trial.h"

namespace {

struct Probe {
    SynthSettings settings;
    std::size_t size = 2000;
    int trials = 1;
    SampleFormat format = SampleFormat::u8;
    bool verbose = false;
};

int run_probe(Probe& p) {
    int perfect = 0;
    TrialResult total;
    for (int t = 0; t < p.trials; ++t) {
        p.settings.seed = static_cast<uint64_t>(t + 1);
        const std::vector<uint8_t> bytes = random_tape_bytes(p.size, static_cast<uint64_t>(t + 1));
        const Recording rec = synth_recording(p.settings, bytes, p.format);
        const auto t0 = std::chrono::steady_clock::now();
        const Heard heard = demodulate(rec);
        const auto t1 = std::chrono::steady_clock::now();
        const TrialResult r = compare_bits(rec.bits, heard.bits);
        perfect += r.perfect();
        total.true_bits += r.true_bits;
        total.heard_bits += r.heard_bits;
        total.right_certain += r.right_certain;
        total.uncertain += r.uncertain;
        total.wrong_certain += r.wrong_certain;
        total.missed += r.missed;
        total.extra += r.extra;
        const double secs = std::chrono::duration<double>(t1 - t0).count();
        std::printf("trial %d: true %zu heard %zu right %zu uncertain %zu wrong %zu missed %zu "
                    "extra %zu noise %zu  %.1f Msamples/s\n",
                    t + 1, r.true_bits, r.heard_bits, r.right_certain, r.uncertain,
                    r.wrong_certain, r.missed, r.extra, heard.noise.size(),
                    rec.samples.size() / secs / 1e6);
        if (p.verbose) {
            std::size_t k = 0;
            for (const HeardBit& b : heard.bits) {
                if (!b.certain) {
                    std::printf("  bit %zu at %lld..%lld value %d pulses %d conf %.2f\n", k,
                                static_cast<long long>(b.start), static_cast<long long>(b.end),
                                b.value, b.pulses, b.confidence);
                }
                ++k;
            }
            for (const HeardNoise& n : heard.noise) {
                std::printf("  noise %lld..%lld\n", static_cast<long long>(n.start),
                            static_cast<long long>(n.end));
            }
        }
    }
    std::printf("perfect %d of %d; uncertain %zu missed %zu extra %zu wrong-certain %zu\n", perfect,
                p.trials, total.uncertain, total.missed, total.extra, total.wrong_certain);
    return 0;
}

bool parse_probe(int argc, char** argv, Probe& p) {
    SynthSettings& s = p.settings;
    s.lead_ms = 100;
    s.trail_ms = 100;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : "";
        auto num = [&] { ++i; return std::atof(v); };
        if (a == "--rate") s.rate = static_cast<int>(num());
        else if (a == "--noise") s.noise = num();
        else if (a == "--size") p.size = static_cast<std::size_t>(num());
        else if (a == "--trials") p.trials = static_cast<int>(num());
        else if (a == "--amp") s.amplitude = static_cast<int>(num());
        else if (a == "--dc") s.dc = num();
        else if (a == "--hum") s.hum = num();
        else if (a == "--speed") s.speed = num();
        else if (a == "--wow") s.wow_depth = num();
        else if (a == "--wowhz") s.wow_hz = num();
        else if (a == "--fade") s.fade = num();
        else if (a == "--invert") s.invert = true;
        else if (a == "--lead") s.lead_ms = num();
        else if (a == "--16") p.format = SampleFormat::s16;
        else if (a == "--float") p.format = SampleFormat::f32;
        else if (a == "-v") p.verbose = true;
        else if (a == "--shape") {
            ++i;
            s.shape = std::strcmp(v, "sine") == 0 ? PulseShape::sine
                      : std::strcmp(v, "tape") == 0 ? PulseShape::tape : PulseShape::square;
        } else {
            std::fprintf(stderr, "unknown option %s\n", a.c_str());
            return false;
        }
    }
    return true;
}

// Demodulates one recording `repeats` times and reports the best speed.
double measure_speed(const Recording& rec, int repeats) {
    double best = 0.0;
    for (int i = 0; i < repeats; ++i) {
        // Processor time, not wall time: other work on the machine does not count.
        const std::clock_t t0 = std::clock();
        const Heard heard = demodulate(rec);
        const std::clock_t t1 = std::clock();
        const double rate = rec.samples.size() / (static_cast<double>(t1 - t0) / CLOCKS_PER_SEC);
        if (rate > best) best = rate;
        if (heard.bits.empty()) return 0.0;
    }
    return best / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], "speed") == 0) {
        SynthSettings s;
        s.rate = std::atoi(argv[2]);
        s.lead_ms = 100;
        s.trail_ms = 100;
        if (argc > 3) s.noise = std::atof(argv[3]);
        const Recording rec = synth_recording(s, random_tape_bytes(16000, 1));
        std::printf("%d Hz: %.1f M samples/s\n", s.rate, measure_speed(rec, 5));
        return 0;
    }
    if (argc > 1 && std::strcmp(argv[1], "probe") == 0) {
        Probe p;
        if (!parse_probe(argc, argv, p)) return 2;
        return run_probe(p);
    }
    std::fputs("usage: demod_limits probe [options]\n", stderr);
    return 2;
}
