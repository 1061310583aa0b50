// The P file: the ZX81's memory from address 0x4009 up to E_LINE, exactly as it followed the
// saved name on the tape. No header, no length field, no checksum: its length is the number of
// complete bytes in the bit file less the bytes of the name.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "io/stage.h"
#include "pfile/assembler.h"

/// Receives the number of bytes stored so far (cnt) at each unknown bit left out under the
/// stopping policy, as soon as its chunk of the bit file is read.
using LeftOutBitReport = std::function<void(int64_t stored)>;

/// What the P step did.
struct PFileResult {
    StageStatus status = StageStatus::done;
    bool read_whole = false; // the whole bit file was read (the status may still say that the
                             // P file could not be written)
    int64_t bytes = 0;       // bytes of the P file
    int64_t errors = 0;      // unknown bits left out under the stopping policy
};

/// Builds the P file from the bit file, discarding the first `drop` bytes. Unknown bits are
/// treated by `policy`; under the stopping policy each is left out and handed to `report`, and
/// the file is still written. When the step stops, no P file is left.
PFileResult make_p_file(const std::string& bit_name, const std::string& p_name, int64_t drop,
                        UnknownBitPolicy policy, const LeftOutBitReport& report);
