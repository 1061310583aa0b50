// Writes a long recording for the benchmark: the name BENCH, then one program segment saved
// over and over until the file holds the asked number of samples.
//
//   make_recording OUTPUT MEGABYTES [RATE]
//
// MEGABYTES counts millions of samples (bytes); RATE is samples per second (44100 by default).
// The pulses are not the clean square waves of the tape-signal generator: every half pulse
// starts at a sample near the middle, as a wave that crosses silence does, and every sample
// carries a little noise below the default threshold, so the gap fill has work at every pulse.
// Only the first segment's name matters to the converter; the segments repeat seamlessly
// because each one ends in a bit's pause.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tape/tape_signal.h"

namespace {

// A fixed pseudo-random sequence, so every run writes the same file.
struct Lcg {
    uint32_t state = 12345;
    uint32_t next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
};

// The recording of `bytes` with rounded edges and noise.
std::vector<uint8_t> rough_recording(TapeSignal signal, const std::vector<uint8_t>& bytes,
                                     double lead_ms, Lcg& lcg) {
    signal.lead_ms = lead_ms;
    const std::vector<uint8_t> clean = tape_recording(signal, bytes, {});

    std::vector<uint8_t> out(clean.size());
    int previous = 128;
    for (std::size_t i = 0; i < clean.size(); ++i) {
        int v = clean[i];
        if (v != previous && v != 128) v = 128 + (v - 128) / 8; // the wave crossing the middle
        previous = clean[i];
        v += static_cast<int>(lcg.next() % 13) - 6;             // noise of level 12 at most
        out[i] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
    return out;
}

bool write_all(std::FILE* f, const std::vector<uint8_t>& data, std::size_t size) {
    return std::fwrite(data.data(), 1, size, f) == size;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: make_recording OUTPUT MEGABYTES [RATE]\n", stderr);
        return 1;
    }
    const long long megabytes = std::atoll(argv[2]);
    TapeSignal signal;
    signal.rate = argc > 3 ? std::atoi(argv[3]) : 44100;
    if (megabytes <= 0 || signal.rate < 8000) {
        std::fputs("make_recording: MEGABYTES must be positive and RATE at least 8000\n", stderr);
        return 1;
    }

    Lcg lcg;
    const std::vector<uint8_t> name = {0x27, 0x2A, 0x33, 0x28, 0xAD}; // BENCH
    std::vector<uint8_t> program(4096);
    for (uint8_t& b : program) b = static_cast<uint8_t>(lcg.next());
    const std::vector<uint8_t> head = rough_recording(signal, name, 200.0, lcg);
    const std::vector<uint8_t> segment = rough_recording(signal, program, 0.0, lcg);

    std::FILE* f = std::fopen(argv[1], "wb");
    if (f == nullptr) {
        std::fprintf(stderr, "make_recording: can't create %s\n", argv[1]);
        return 1;
    }
    std::size_t left = static_cast<std::size_t>(megabytes) * 1000000u;
    bool ok = write_all(f, head, head.size() < left ? head.size() : left);
    left -= head.size() < left ? head.size() : left;
    while (ok && left > 0) {
        const std::size_t n = segment.size() < left ? segment.size() : left;
        ok = write_all(f, segment, n);
        left -= n;
    }
    if (std::fclose(f) != 0) ok = false;
    if (!ok) {
        std::fprintf(stderr, "make_recording: can't write %s\n", argv[1]);
        std::remove(argv[1]);
        return 1;
    }
    return 0;
}
