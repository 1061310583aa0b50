#include "tape/tape_signal.h"

#include <cmath>

namespace {

// Extends `out` with `value` up to the sample nearest to the time `until_us`.
void hold(const TapeSignal& signal, double until_us, uint8_t value, std::vector<uint8_t>& out) {
    const auto end = static_cast<std::size_t>(std::llround(until_us * signal.rate / 1e6));
    if (end > out.size()) out.resize(end, value);
}

} // namespace

TapeWalker make_tape_walker(const std::vector<uint8_t>& bytes, double lead_ms, double trail_ms) {
    TapeWalker walker;
    walker.bytes = &bytes;
    walker.lead_ms = lead_ms;
    walker.trail_ms = trail_ms;
    return walker;
}

bool next_tape_segment(TapeWalker& w, TapeSegment& segment) {
    segment.start_us = w.clock_us;
    switch (w.part) {
    case 0:
        w.clock_us += w.lead_ms * 1000.0;
        segment.level = TapeLevel::silent;
        w.part = w.bytes->empty() ? 2 : 1;
        break;
    case 1: {
        const int pulses = ((*w.bytes)[w.byte] >> w.bit) & 1 ? one_bit_pulses : zero_bit_pulses;
        if (w.half < 2 * pulses) {
            const bool high = w.half % 2 == 0;
            w.clock_us += high ? pulse_high_us : pulse_low_us;
            segment.level = high ? TapeLevel::high : TapeLevel::low;
            ++w.half;
            break;
        }
        w.clock_us += bit_pause_us;
        segment.level = TapeLevel::silent;
        w.half = 0;
        if (--w.bit < 0) {
            w.bit = 7;
            if (++w.byte == w.bytes->size()) w.part = 2;
        }
        break;
    }
    case 2:
        w.clock_us += w.trail_ms * 1000.0;
        segment.level = TapeLevel::silent;
        w.part = 3;
        break;
    default:
        return false;
    }
    segment.end_us = w.clock_us;
    return true;
}

double tape_duration_us(const std::vector<uint8_t>& bytes, double lead_ms, double trail_ms) {
    TapeWalker walker = make_tape_walker(bytes, lead_ms, trail_ms);
    TapeSegment segment;
    while (next_tape_segment(walker, segment)) {
    }
    return walker.clock_us;
}

std::vector<uint8_t> tape_recording(const TapeSignal& signal, const std::vector<uint8_t>& name,
                                    const std::vector<uint8_t>& program) {
    std::vector<uint8_t> bytes(name);
    bytes.insert(bytes.end(), program.begin(), program.end());
    const auto high = static_cast<uint8_t>(128 + signal.amplitude);
    const auto low = static_cast<uint8_t>(128 - signal.amplitude);
    TapeWalker walker = make_tape_walker(bytes, signal.lead_ms, signal.trail_ms);
    std::vector<uint8_t> out;
    TapeSegment segment;
    while (next_tape_segment(walker, segment)) {
        const uint8_t value = segment.level == TapeLevel::high  ? high
                              : segment.level == TapeLevel::low ? low
                                                                : 128;
        hold(signal, segment.end_us, value, out);
    }
    return out;
}
