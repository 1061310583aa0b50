// The P file: the ZX81's memory from address 0x4009 up to E_LINE, exactly as it followed the
// saved name on the tape. No header, no length field, no checksum: its length is the number of
// complete bytes in the bit file less the bytes of the name.
#pragma once

#include <cstdint>
#include <string>

#include "pfile/assembler.h"

/// Builds the P file from the bit file, discarding the first `drop` bytes. Unknown bits are
/// treated by `policy`; under the stopping policy each is reported on standard output and a
/// summary goes to the error stream, and the file is still written. False after an error,
/// which has been reported on the error stream; no P file is left then.
bool make_p_file(const std::string& bit_name, const std::string& p_name, int64_t drop,
                 UnknownBitPolicy policy);
