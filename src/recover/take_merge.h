// Several takes of one program merged into one: the copies a recording holds (same name, same
// length), the channels of a stereo recording, and several recordings of one tape.
//
// Sorting the takes into programs: takes in tape order; a take joins the first program of its
// name and length whose takes it aligns with without a clash (`align_bits`: no bit both heard
// clearly that differs, no bit too many or too few where both were clean); otherwise it starts
// a program of its own, so two different programs saved under one name stay apart. A take of
// another channel that joins no program of the chosen channel is dropped.
//
// Merging one program's takes: the takes are aligned one after the other to what the earlier
// ones made (columns, one per bit of the program). A column stays when a take heard a clear
// bit in it, or when no take clearly says that there is no bit there (its bits on both sides
// clear and next to each other); then each bit is decided by the takes' confidences:
//
//   some take heard it clearly   that value: decided (takes never clash, by their sorting)
//   only unclear bursts          the likelier value, their log-odds summed: not decided
//   lost in every take           0: not decided
//
// Bits still undecided are then repaired from the structure where it allows only one
// reading (`repair_from_structure`), and the program judged:
//
//   intact    every take alone was intact, so nothing had to be decided
//   repaired  every bit decided, some by another take or by the structure (each listed)
//   damaged   some bits still undecided (each finding listed)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "recover/take.h"

/// The takes of one program and how they line up.
struct TakeGroup {
    std::vector<std::size_t> members;          // indices into the takes, the first in tape order
    std::vector<std::vector<int32_t>> columns; // per member: its bit in each column, or -1
};

/// A take kept apart from a program of its name and length because they differ.
struct TakeClash {
    std::size_t take = 0;  // the take kept apart
    std::size_t other = 0; // the first take of the program it differs from
    std::size_t bits = 0;  // bits that both heard clearly and that differ (at least)
    int64_t offset = -1;   // the byte of the P file where they first differ; -1: in the name
};

struct TakePlan {
    std::vector<TakeGroup> groups; // in tape order
    std::vector<TakeClash> clashes;
};

/// Sorts `takes` (programs, not blocks) into programs.
TakePlan plan_takes(const std::vector<Take>& takes);

/// The program that the takes of `group` hold: merged, repaired where the structure allows,
/// judged; `takes` and `decisions` filled.
RecoveredProgram settle_group(const std::vector<Take>& takes, const TakeGroup& group);

/// Every program of `takes`, settled, in tape order.
std::vector<RecoveredProgram> settle_takes(const std::vector<Take>& takes);

/// Why takes from `names.size()` recordings are not recordings of one tape, or an empty text
/// when they are: every recording that holds programs shares one with another recording.
std::string merge_refusal(const std::vector<Take>& takes, const TakePlan& plan,
                          const std::vector<std::string>& names);
