// Round trips through the demodulator: a recording whose bits are known, demodulated, and what
// came back compared bit by bit. Shared by the demodulator's tests and its measurement program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "demod/demodulator.h"
#include "synth/synth_settings.h"

/// A burst as it was recorded, in frames of the recording.
struct TrueBit {
    int64_t start = 0;    // its first edge
    int64_t end = 0;      // just after its last pulse
    uint8_t value = 0;    // 0 or 1; 2 for a burst that is no bit (a wrong pulse count, cut)
    bool clicked = false; // a click changed it (its value is still the bit it was)
};

struct Recording {
    int rate = 22050;
    std::vector<float> samples; // one channel, full scale +-1.0
    std::vector<TrueBit> bits;
};

/// How a recording's samples are stored before the demodulator sees them.
enum class SampleFormat { u8, s16, f32 };

/// The recording zx81synth makes of `bytes` (the name's codes, then the program) with
/// `settings`, every sample times `gain`, stored as `format` (8-bit: (v - 128) / 128; 16-bit:
/// v / 32768) and read back.
Recording synth_recording(const SynthSettings& settings, const std::vector<uint8_t>& bytes,
                          SampleFormat format = SampleFormat::u8, double gain = 1.0);

/// Square bursts with the given pulse counts (4 and 9 are bits, anything else is damage), each
/// followed by the usual pause, after `lead_ms` of silence; `amplitude` and the RMS of white
/// `noise` in 8-bit steps; stored as 8-bit samples. The low half of each pulse lies at `low`
/// times the amplitude: -1 for the usual pulses, 0 for unipolar ones (high, then silence).
Recording burst_recording(int rate, const std::vector<int>& pulses, double amplitude,
                          double noise, uint64_t seed, double lead_ms = 20.0, double low = -1.0);

/// A random stream of `count` bursts: mostly bits (4 or 9 pulses), and with probability
/// `damaged` one of 1, 2, 3, 5, 6, 7, 8, 10 or 11 pulses instead.
std::vector<int> random_bursts(std::size_t count, double damaged, uint64_t seed);

/// Adds a click: `length` samples of `value` (full scale 1.0) from frame `at`. A true bit is
/// clicked when the click moves, by a third of full scale or more, at least half as many of its
/// samples as a half pulse (`half_pulse` samples) holds.
void add_click(Recording& recording, int64_t at, int length, float value, double half_pulse);

/// Marks the true bits that overlap frames [from, to) without lying wholly inside as damaged
/// (a dropout's edges cut them).
void mark_cut(Recording& recording, int64_t from, int64_t to);

/// Demodulates the samples, `block` frames at a time.
Heard demodulate(const Recording& recording, std::size_t block = 65536);

struct TrialResult {
    std::size_t true_bits = 0;
    std::size_t heard_bits = 0;
    std::size_t right_certain = 0; // a true bit heard once, its value right, certain
    std::size_t uncertain = 0;     // a true bit heard, not certain
    std::size_t wrong_certain = 0; // certain, but not a true bit heard once with that value
    std::size_t missed = 0;        // true bits nobody heard
    std::size_t extra = 0;         // bits heard where there was none (or a second time)
    std::size_t clicked_certain = 0; // clicked bits heard certain (with their right value)

    /// Every true bit heard once, right and certain, and nothing else heard.
    bool perfect() const {
        return right_certain == true_bits && heard_bits == true_bits && wrong_certain == 0;
    }
};

/// Matches every heard bit with the true bit it overlaps most and counts the outcomes.
TrialResult compare_bits(const std::vector<TrueBit>& truth, const std::vector<HeardBit>& heard);

/// Random bytes for a program of `size` bytes (the last one 0x80), after a short name.
std::vector<uint8_t> random_tape_bytes(std::size_t size, uint64_t seed);
