#include "recover/take.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

TakeBitKind kind_of(const ProgramBit& bit) {
    switch (bit.origin) {
    case BitOrigin::lost:
        return TakeBitKind::lost;
    case BitOrigin::joined:
        return TakeBitKind::joined;
    case BitOrigin::heard:
        break;
    }
    return bit.certain ? TakeBitKind::certain : TakeBitKind::unclear;
}

// A lost or a joined bit, or a piece of a burst too short to be one: a burst may be
// missing, cut or merged around it.
bool gap_like(const TakeBit& bit) {
    return bit.kind == TakeBitKind::lost || bit.kind == TakeBitKind::joined ||
           (bit.kind == TakeBitKind::unclear && bit.pulses < 4);
}

} // namespace

Take make_take(RecoveredProgram&& program, int recording) {
    Take take;
    take.recording = recording;
    take.bits.reserve(program.bits.size());
    constexpr int64_t most = std::numeric_limits<uint32_t>::max();
    for (const ProgramBit& bit : program.bits) {
        TakeBit packed;
        packed.offset =
            static_cast<uint32_t>(std::clamp<int64_t>(bit.start - program.start, 0, most));
        packed.value = bit.value & 1;
        packed.pulses = bit.pulses;
        const float sure = std::clamp((bit.confidence - 0.5f) * 510.0f, 0.0f, 255.0f);
        packed.confidence = static_cast<uint8_t>(std::lround(sure));
        packed.kind = kind_of(bit);
        take.bits.push_back(packed);
    }
    program.bits = std::vector<ProgramBit>();
    take.program = std::move(program);
    return take;
}

ProgramBit unpack_bit(const Take& take, std::size_t index) {
    const TakeBit& packed = take.bits[index];
    ProgramBit bit;
    bit.start = bit_frame(take, index);
    bit.end = bit.start;
    bit.value = packed.value;
    bit.pulses = packed.pulses;
    bit.confidence = packed.kind == TakeBitKind::certain ? 1.0f : bit_confidence(packed);
    bit.certain = packed.kind == TakeBitKind::certain;
    bit.origin = packed.kind == TakeBitKind::lost     ? BitOrigin::lost
                 : packed.kind == TakeBitKind::joined ? BitOrigin::joined
                                                      : BitOrigin::heard;
    return bit;
}

Clarity bit_clarity(const Take& take, std::size_t index) {
    const TakeBit& bit = take.bits[index];
    if (bit.kind == TakeBitKind::lost) return Clarity::none;
    if (bit.kind != TakeBitKind::certain) return Clarity::unclear;
    const bool before = index > 0 && gap_like(take.bits[index - 1]);
    const bool after = index + 1 < take.bits.size() && gap_like(take.bits[index + 1]);
    return before || after ? Clarity::unclear : Clarity::clear;
}
