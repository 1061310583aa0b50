// The demodulator's limits: how far each impairment can go at each sample rate while every
// bit of several random programs still comes back right and certain, how many bits were ever
// certain and wrong (anywhere, also beyond the limits and in damaged recordings), and the
// demodulator's speed.
//
//   demod_limits [--programs N] [--bytes N] [--quick]     the table (make demod-limits)
//   demod_limits probe [options]                           one impairment, bit by bit
//   demod_limits speed RATE [NOISE]                        the speed alone
//
// A level passes when N programs (default 3, random bytes, saved under a short name) all come
// back perfect: each bit heard once, with the right value, certain, and nothing else heard.
// Every walk goes on past its first failure until two levels in a row fail, so that an uneven
// edge shows; the level reported is the last one before the first failure.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "demod_trial.h"
#include "synth/impairments.h"
#include "tape/tape_signal.h"

namespace {

struct Options {
    int programs = 3;
    std::size_t bytes = 2000;
    bool quick = false;
};

// Totals over the whole run, whatever passed.
struct Totals {
    std::size_t trials = 0;
    std::size_t bits = 0;
    std::size_t wrong_certain = 0;
};

Totals totals;

void count(const TrialResult& r) {
    ++totals.trials;
    totals.bits += r.true_bits;
    totals.wrong_certain += r.wrong_certain;
}

// True when every program recorded with `settings` comes back perfect.
// With `unipolar`, square unipolar bursts of as many random bits (high, then silence; the
// settings' rate, amplitude, noise and inversion only) stand in for the program.
bool level_passes(const Options& o, SynthSettings settings, SampleFormat format, double gain,
                  bool unipolar = false) {
    bool all = true;
    for (int p = 0; p < o.programs; ++p) {
        settings.seed = static_cast<uint64_t>(p + 1);
        const uint64_t bytes_seed = static_cast<uint64_t>(p + 1) * 1000 + settings.rate;
        const Recording rec =
            unipolar ? burst_recording(settings.rate, random_bursts(8 * o.bytes, 0.0, bytes_seed),
                                       (settings.invert ? -1 : 1) * settings.amplitude,
                                       settings.noise, settings.seed, settings.lead_ms, 0.0)
                     : synth_recording(settings, random_tape_bytes(o.bytes, bytes_seed), format, gain);
        const TrialResult r = compare_bits(rec.bits, demodulate(rec).bits);
        count(r);
        if (r.wrong_certain > 0) {
            std::fprintf(stderr, "wrong certain: rate %d noise %g dc %g hum %g amp %d speed %g wow %g fade %g shape %d invert %d gain %g seed %d bytes %zu\n",
                         settings.rate, settings.noise, settings.dc, settings.hum, settings.amplitude,
                         settings.speed, settings.wow_depth, settings.fade, (int)settings.shape,
                         settings.invert, gain, p + 1, o.bytes);
        }
        if (!r.perfect()) all = false; // the other programs still count for the honesty total
    }
    return all;
}

struct Walk {
    const char* name;
    std::vector<double> levels;                     // in the order walked
    std::function<void(SynthSettings&, double)> apply;
    SampleFormat format = SampleFormat::u8;
    bool level_in_db = false; // the level is dB below full scale, applied after synthesis
    bool unipolar = false;    // unipolar square bursts instead of a synthesised program
};

// The last level before the first that fails ("-" when the first fails, or the last walked
// when none does), and whether any level after it passed again.
std::string walk_limit(const Options& o, const Walk& w, int rate) {
    std::string last_good = "-";
    bool failed = false;
    int failures_in_row = 0;
    bool passed_again = false;
    char text[32];
    for (double level : w.levels) {
        SynthSettings s;
        s.rate = rate;
        s.lead_ms = 200;
        s.trail_ms = 200;
        w.apply(s, level);
        const double gain = w.level_in_db ? std::pow(10.0, -level / 20.0) * 128.0 / s.amplitude : 1.0;
        const bool ok = level_passes(o, s, w.format, gain, w.unipolar);
        std::snprintf(text, sizeof text, "%g", level);
        if (ok && !failed) last_good = text;
        if (ok && failed) passed_again = true;
        if (!ok) {
            failed = true;
            if (++failures_in_row == 2) break;
        } else {
            failures_in_row = 0;
        }
    }
    return passed_again ? last_good + "*" : last_good;
}

std::vector<double> range(double from, double to, double step) {
    std::vector<double> v;
    for (double x = from; step > 0 ? x <= to + 1e-9 : x >= to - 1e-9; x += step) v.push_back(x);
    return v;
}

void run_table(const Options& o) {
    const std::vector<int> rates = o.quick ? std::vector<int>{11025, 22050, 44100, 96000}
                                           : std::vector<int>{11025, 22050, 44100, 48000, 96000,
                                                              176400, 192000};
    std::vector<Walk> walks;
    walks.push_back({"noise RMS (of 128)", range(8, 120, 4),
                     [](SynthSettings& s, double v) { s.noise = v; }});
    walks.push_back({"noise RMS, tape shape", range(8, 120, 4), [](SynthSettings& s, double v) {
                         s.noise = v;
                         s.shape = PulseShape::tape;
                     }});
    walks.push_back({"DC offset", range(20, 127, 10), [](SynthSettings& s, double v) { s.dc = v; }});
    walks.push_back({"hum 50 Hz peak", range(20, 127, 10),
                     [](SynthSettings& s, double v) { s.hum = v; }});
    walks.push_back({"amplitude (8-bit), down", range(50, 1, -7), [](SynthSettings& s, double v) {
                         s.amplitude = static_cast<int>(v < 1 ? 1 : v);
                     }});
    Walk quiet{"peak (16-bit), dB below full", range(30, 90, 10), [](SynthSettings&, double) {}};
    quiet.format = SampleFormat::s16;
    quiet.level_in_db = true;
    walks.push_back(quiet);
    walks.push_back({"wow depth at 0.7 Hz", range(0.1, 0.5, 0.05), [](SynthSettings& s, double v) {
                         s.wow_depth = v;
                         s.wow_hz = 0.7;
                     }});
    walks.push_back({"fade (share lost)", {0.5, 0.9, 0.95, 0.99}, [](SynthSettings& s, double v) {
                         s.fade = v;
                     }});
    walks.push_back({"speed, slow", range(0.9, 0.5, -0.1), [](SynthSettings& s, double v) {
                         s.speed = v;
                     }});
    walks.push_back({"speed, fast", range(1.2, 2.0, 0.2), [](SynthSettings& s, double v) {
                         s.speed = v;
                     }});
    walks.push_back({"sine shape, noise RMS", range(8, 120, 4), [](SynthSettings& s, double v) {
                         s.noise = v;
                         s.shape = PulseShape::sine;
                     }});
    walks.push_back({"inverted, noise RMS", range(8, 120, 4), [](SynthSettings& s, double v) {
                         s.noise = v;
                         s.invert = true;
                     }});
    Walk unipolar{"unipolar, noise RMS", range(8, 120, 4),
                  [](SynthSettings& s, double v) { s.noise = v; }};
    unipolar.unipolar = true;
    walks.push_back(unipolar);
    Walk unipolar_inverted{"unipolar inverted, noise RMS", range(8, 120, 4),
                           [](SynthSettings& s, double v) {
                               s.noise = v;
                               s.invert = true;
                           }};
    unipolar_inverted.unipolar = true;
    walks.push_back(unipolar_inverted);

    std::printf("%-32s", "impairment");
    for (int rate : rates) std::printf(" %8d", rate);
    std::printf("\n");
    for (const Walk& w : walks) {
        std::printf("%-32s", w.name);
        std::fflush(stdout);
        for (int rate : rates) {
            std::printf(" %8s", walk_limit(o, w, rate).c_str());
            std::fflush(stdout);
        }
        std::printf("\n");
    }
}

// Damage the demodulator must never call certain: bursts of the wrong count, clicks, and the
// edges of dropouts, at several rates and noise levels. Returns the wrong-but-certain bits.
std::size_t honesty_run(int recordings) {
    const int rates[] = {11025, 22050, 44100, 96000};
    const double noises[] = {0, 8, 16, 24};
    std::size_t wrong = 0, bits = 0, damaged = 0, clicked = 0, clicked_certain = 0;
    for (int i = 0; i < recordings; ++i) {
        const int rate = rates[i % 4];
        const double noise = noises[(i / 4) % 4];
        const auto seed = static_cast<uint64_t>(i + 1);
        // Odd bursts among bits.
        Recording r = burst_recording(rate, random_bursts(3000, 0.03, seed), 100, noise, seed);
        // Clicks: a few samples at full scale, here and there.
        NoiseSource source = make_noise_source(seed);
        for (int c = 0; c < 20; ++c) {
            const auto at = static_cast<int64_t>(next_random(source) % r.samples.size());
            const int length = 1 + static_cast<int>(next_random(source) % 12);
            add_click(r, at, length, next_random(source) & 1 ? 1.f : -1.f,
                      pulse_high_us * rate / 1e6);
        }
        const TrialResult t = compare_bits(r.bits, demodulate(r).bits);
        wrong += t.wrong_certain;
        bits += r.bits.size();
        clicked_certain += t.clicked_certain;
        for (const TrueBit& b : r.bits) {
            damaged += b.value > 1;
            clicked += b.clicked;
        }
        if (t.wrong_certain > 0) {
            std::fprintf(stderr, "honesty: %zu wrong certain, rate %d noise %g seed %d\n",
                         t.wrong_certain, rate, noise, i + 1);
        }
        // A dropout cutting bursts, silent or at 5 %.
        SynthSettings s;
        s.rate = rate;
        s.noise = noise;
        s.seed = seed;
        s.lead_ms = 100;
        s.trail_ms = 100;
        s.dropout_at_ms = 300 + static_cast<double>(next_random(source) % 1000);
        s.dropout_ms = 0.5 + static_cast<double>(next_random(source) % 200) / 10.0;
        s.dropout_level = i % 2 ? 0.0 : 0.05;
        Recording d = synth_recording(s, random_tape_bytes(300, seed));
        const auto from = static_cast<int64_t>(s.dropout_at_ms * rate / 1000.0);
        const auto to = static_cast<int64_t>((s.dropout_at_ms + s.dropout_ms) * rate / 1000.0);
        mark_cut(d, from, to);
        const TrialResult td = compare_bits(d.bits, demodulate(d).bits);
        wrong += td.wrong_certain;
        bits += d.bits.size();
        if (td.wrong_certain > 0) {
            std::fprintf(stderr, "honesty: %zu wrong certain in a dropout, rate %d noise %g seed %d\n",
                         td.wrong_certain, rate, noise, i + 1);
        }
    }
    std::printf("honesty: %zu wrong but certain among %zu bursts (%zu of odd counts or cut by a "
                "dropout) in %d recordings; %zu of %zu clicked bursts certain (with the right value)\n",
                wrong, bits, damaged, 2 * recordings, clicked_certain, clicked);
    return wrong;
}

// Demodulates one recording `repeats` times and reports the best speed in processor time.
double measure_speed(const Recording& rec, int repeats) {
    double best = 0.0;
    for (int i = 0; i < repeats; ++i) {
        const std::clock_t t0 = std::clock();
        const Heard heard = demodulate(rec);
        const std::clock_t t1 = std::clock();
        const double rate = rec.samples.size() / (static_cast<double>(t1 - t0) / CLOCKS_PER_SEC);
        if (rate > best) best = rate;
        if (heard.bits.empty()) return 0.0;
    }
    return best / 1e6;
}

struct Probe {
    SynthSettings settings;
    std::size_t size = 2000;
    int trials = 1;
    SampleFormat format = SampleFormat::u8;
    bool verbose = false;
    long bytes_seed = -1; // the walk's program seeds: (p + 1) * 1000 + rate for program p
    int first_trial = 0;
    long noise_seed = 0;
    bool bursts = false; // square bursts made here (see --low) instead of a synthesised program
    double low = -1.0;   // their low halves' level, a share of the amplitude
};

int run_probe(Probe& p) {
    int perfect = 0;
    TrialResult total;
    for (int t = p.first_trial; t < p.first_trial + p.trials; ++t) {
        p.settings.seed = p.noise_seed > 0 ? static_cast<uint64_t>(p.noise_seed) : static_cast<uint64_t>(t + 1);
        const uint64_t seed = p.bytes_seed >= 0
                                  ? static_cast<uint64_t>(p.bytes_seed + t * 1000)
                                  : static_cast<uint64_t>(t + 1);
        const std::vector<uint8_t> bytes = random_tape_bytes(p.size, seed);
        const Recording rec =
            p.bursts ? burst_recording(p.settings.rate, random_bursts(p.size * 8, 0.0, seed),
                                       (p.settings.invert ? -1 : 1) * p.settings.amplitude,
                                       p.settings.noise, p.settings.seed, p.settings.lead_ms, p.low)
                     : synth_recording(p.settings, bytes, p.format);
        const Heard heard = demodulate(rec);
        const TrialResult r = compare_bits(rec.bits, heard.bits);
        perfect += r.perfect();
        total.uncertain += r.uncertain;
        total.wrong_certain += r.wrong_certain;
        total.missed += r.missed;
        total.extra += r.extra;
        std::printf("trial %d: true %zu heard %zu right %zu uncertain %zu wrong %zu missed %zu "
                    "extra %zu noise %zu\n",
                    t + 1, r.true_bits, r.heard_bits, r.right_certain, r.uncertain,
                    r.wrong_certain, r.missed, r.extra, heard.noise.size());
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
            for (std::size_t i = 0; i < heard.bits.size(); ++i) {
                const HeardBit& b = heard.bits[i];
                if (!b.certain) continue;
                // A certain bit: find its true bit and report a mismatch.
                for (const TrueBit& tb : rec.bits) {
                    if (tb.end > b.start && tb.start < b.end) {
                        if (tb.value != b.value) {
                            std::printf("  WRONG bit %zu at %lld..%lld value %d pulses %d (true %lld..%lld %d)\n", i,
                                        (long long)b.start, (long long)b.end, b.value, b.pulses,
                                        (long long)tb.start, (long long)tb.end, tb.value);
                        }
                        break;
                    }
                }
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
        auto num = [&] {
            ++i;
            return std::atof(v);
        };
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
        else if (a == "--walk-seed") p.bytes_seed = static_cast<long>(num());
        else if (a == "--from-trial") p.first_trial = static_cast<int>(num()) - 1;
        else if (a == "--noise-seed") p.noise_seed = static_cast<long>(num());
        else if (a == "--trail") s.trail_ms = num();
        else if (a == "--low") {
            p.bursts = true;
            p.low = num();
        }
        else if (a == "--shape") {
            ++i;
            s.shape = std::strcmp(v, "sine") == 0   ? PulseShape::sine
                      : std::strcmp(v, "tape") == 0 ? PulseShape::tape
                                                    : PulseShape::square;
        } else {
            std::fprintf(stderr, "unknown option %s\n", a.c_str());
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "probe") == 0) {
        Probe p;
        if (!parse_probe(argc, argv, p)) return 2;
        return run_probe(p);
    }
    if (argc > 1 && std::strcmp(argv[1], "honesty") == 0) {
        return honesty_run(argc > 2 ? std::atoi(argv[2]) : 16) == 0 ? 0 : 1;
    }
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
    Options o;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--programs") == 0 && i + 1 < argc) o.programs = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--bytes") == 0 && i + 1 < argc) o.bytes = std::strtoul(argv[++i], nullptr, 10);
        else if (std::strcmp(argv[i], "--quick") == 0) o.quick = true;
        else {
            std::fputs("usage: demod_limits [--programs N] [--bytes N] [--quick] | probe ... | "
                       "speed RATE [NOISE]\n",
                       stderr);
            return 2;
        }
    }
    run_table(o);
    std::printf("\nwrong but certain: %zu bits in %zu recordings (%zu bits)\n", totals.wrong_certain,
                totals.trials, totals.bits);
    for (int rate : {22050, 44100, 96000}) {
        SynthSettings s;
        s.rate = rate;
        s.lead_ms = 100;
        s.trail_ms = 100;
        const Recording rec = synth_recording(s, random_tape_bytes(16000, 1));
        std::printf("speed at %d Hz: %.0f M samples/s\n", rate, measure_speed(rec, 3));
    }
    return totals.wrong_certain == 0 ? 0 : 1;
}
