// One take of a program: a copy saved on the tape, one channel of a stereo recording, or one
// of several recordings of a tape. Every take of a recording is held until the recording (or
// every recording of a merge) has been read, since a copy of a program may come at any time
// after it; so each bit is packed into 8 bytes instead of a `ProgramBit`'s 24:
//
//   offset      uint32  frames from the take's first frame to the bit's start
//   value       uint8   0 or 1
//   pulses      uint8   pulses counted; 0 when they could not be counted
//   confidence  uint8   how sure `value` is: 0 a coin toss .. 255 certain
//   kind        uint8   certain, unclear, joined (two pieces of one burst) or lost
//
// How far a bit of a take can be trusted when takes are compared (`bit_clarity`): a certain
// bit is clear unless it stands right beside a lost or a joined bit or a piece of a burst (an
// unclear one of fewer than 4 pulses), where a burst may have been cut or merged without its
// count showing it; other heard bits are unclear; lost bits say nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "recover/recovered_program.h"

enum class TakeBitKind : uint8_t { certain, unclear, joined, lost };

struct TakeBit {
    uint32_t offset = 0;
    uint8_t value = 0;
    uint8_t pulses = 0;
    uint8_t confidence = 0;
    TakeBitKind kind = TakeBitKind::lost;
};

struct Take {
    RecoveredProgram program; // all but its bits, which are in `bits`
    std::vector<TakeBit> bits;
    int recording = 0; // which recording of a merge, from 0
};

enum class Clarity : uint8_t {
    none,    ///< lost: no burst was heard
    unclear, ///< a burst was heard, but not cleanly enough to stand alone
    clear,   ///< a clean burst with clean neighbours
};

/// Packs `program` (a program, not a block) as a take of recording `recording`.
Take make_take(RecoveredProgram&& program, int recording);

/// Bit `index` of `take` as a program bit again (its end is its start: only the start is kept).
ProgramBit unpack_bit(const Take& take, std::size_t index);

/// The frame at which bit `index` of `take` starts.
inline int64_t bit_frame(const Take& take, std::size_t index) {
    return take.program.start + take.bits[index].offset;
}

/// How far bit `index` of `take` can be trusted.
Clarity bit_clarity(const Take& take, std::size_t index);

/// The confidence of a packed bit, 0.5 to 1.
inline float bit_confidence(const TakeBit& bit) {
    return 0.5f + static_cast<float>(bit.confidence) / 510.0f;
}
