// Aligning two takes of one program bit by bit.
//
// Two takes of a program hold the same bits, so they line up by position, except where one of
// them is damaged: a gap in the signal whose lost bits were counted one or two too many or too
// few, a burst split in two and heard as two bits, two bursts heard as one. So the alignment
// follows the diagonal and steps off it only at such places:
//
//   first   0 1 1 0 1 0 0 1 1 0 1 ...          a clean take
//   second  0 1 1 ? ? ? ? ? 1 0 1 ...          a gap: 5 bits taken as lost where 4 were
//                     ^ one lost bit too many: left out of the alignment
//
// It is a least-cost path (dynamic programming) in a band around the diagonal, as wide as the
// lost bits make a miscount possible. Matching two bits costs nothing when they agree or when
// either was lost, a little when one of them is unclear, and much when both were heard
// clearly and differ: a clash. A bit without a partner costs little at a damaged place of
// either take and much anywhere else, where it counts as a clash too. Takes of one program
// align without a clash; two programs that only share a name and a length do not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "recover/take.h"

/// What the alignment sees of one bit.
struct AlignedBit {
    uint8_t value = 0;
    Clarity clarity = Clarity::none;
};

/// One step of an alignment: a bit of the first sequence, of the second, or of both paired.
struct AlignmentStep {
    int32_t first = -1;  // index in the first sequence; -1: none
    int32_t second = -1; // index in the second sequence; -1: none
};

struct Alignment {
    std::vector<AlignmentStep> steps; // every bit of both sequences, in order
    std::size_t clashes = 0;     // pairs heard clearly and differing; lone bits at clean places
    int32_t first_clash = -1;    // index in the first sequence of the first clash
    std::size_t clear_pairs = 0; // pairs heard clearly in both and agreeing
};

/// Aligns `second` to `first`. Both start at the same bit; either may end early (a take cut
/// short) or run on with bursts that are not the program's (left as lone steps at the end).
Alignment align_bits(const std::vector<AlignedBit>& first, const std::vector<AlignedBit>& second);
