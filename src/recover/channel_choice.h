// Stereo recordings: every channel is decoded on its own, and for each program the better
// take is kept. What the channels found is grouped by overlapping time; in each group the
// channel with the most intact programs wins, then the one with the most programs, then the
// most certain bits, then the higher total confidence, then the first channel.
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
