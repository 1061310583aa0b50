#include "tape/tape_signal.h"

#include <cmath>

namespace {

// Extends `out` with `value` up to the sample nearest to the time `until_us`.
void hold(const TapeSignal& signal, double until_us, uint8_t value, std::vector<uint8_t>& out) {
    const auto end = static_cast<std::size_t>(std::llround(until_us * signal.rate / 1e6));
    if (end > out.size()) out.resize(end, value);
}

} // namespace

void append_tape_bytes(const TapeSignal& signal, const std::vector<uint8_t>& bytes,
                       double& clock_us, std::vector<uint8_t>& out) {
    const auto high = static_cast<uint8_t>(128 + signal.amplitude);
    const auto low = static_cast<uint8_t>(128 - signal.amplitude);
    for (uint8_t byte : bytes) {
        for (int bit = 7; bit >= 0; --bit) {
            const int pulses = (byte >> bit) & 1 ? one_bit_pulses : zero_bit_pulses;
            for (int p = 0; p < pulses; ++p) {
                clock_us += pulse_high_us;
                hold(signal, clock_us, high, out);
                clock_us += pulse_low_us;
                hold(signal, clock_us, low, out);
            }
            clock_us += bit_pause_us;
            hold(signal, clock_us, 128, out);
        }
    }
}

std::vector<uint8_t> tape_recording(const TapeSignal& signal, const std::vector<uint8_t>& name,
                                    const std::vector<uint8_t>& program) {
    std::vector<uint8_t> out;
    double clock_us = signal.lead_ms * 1000.0;
    hold(signal, clock_us, 128, out);
    std::vector<uint8_t> bytes(name);
    bytes.insert(bytes.end(), program.begin(), program.end());
    append_tape_bytes(signal, bytes, clock_us, out);
    clock_us += signal.trail_ms * 1000.0;
    hold(signal, clock_us, 128, out);
    return out;
}
