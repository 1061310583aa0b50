// Stereo recordings: every channel is decoded on its own, and each channel's programs are
// takes of the programs on the tape. What the channels found is grouped by overlapping time;
// in each group the channel with the most intact programs is chosen, then the one with the
// most programs, then the most certain bits, then the higher total confidence, then the first
// channel. The chosen channel's programs and blocks are handed on, and the other channels'
// programs with them, marked as companions: the merge of takes joins each to the program it
// is a take of, and drops it when it is a take of none.
//
// A group is decided only once no channel can add to it any more, so the programs come out in
// order while the recording is still being read, and only a group's worth is held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "recover/recovered_program.h"

class ChannelChoice {
  public:
    explicit ChannelChoice(int channels);

    /// Takes what channel `channel` found (in order), emptying `found`.
    void take(int channel, std::vector<RecoveredProgram>& found);

    /// Appends the programs of every group that is complete. `settled[c]` is the frame before
    /// which channel c will start nothing more; `finished` means nothing more comes at all.
    void release(const std::vector<int64_t>& settled, bool finished,
                 std::vector<RecoveredProgram>& out);

  private:
    std::vector<std::deque<RecoveredProgram>> queues_;
};
