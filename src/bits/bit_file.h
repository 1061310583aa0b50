// The bit file: one character per bit on the tape, in recorded order.
//
//   '0'  a 0 bit            '1'  a 1 bit            '?'  a bit of unknown length
//
// 64 characters to a line; a line break (CR LF, the same bytes on every system) comes before
// the 65th, 129th, ... character, so the file never ends with a line break. Readers skip every
// character other than '0', '1' and '?', so any line breaks, or none, read the same. Groups of
// eight bits, first bit most significant, are the bytes on the tape.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "bits/bit_record.h"
#include "io/stage.h"
#include "signal/calibration.h"

constexpr int bit_line_length = 64;

/// The column of the bit-file line being written.
struct BitLine {
    int column = 0;
};

/// Appends one bit character to `out`, preceded by a line break when the line is full.
inline void put_bit_char(BitLine& line, std::string& out, char bit) {
    if (line.column == bit_line_length) {
        out += "\r\n";
        line.column = 0;
    }
    out += bit;
    ++line.column;
}

/// Receives the war-file index (nsample) of an unknown bit as soon as its block is classified.
using UnknownBitReport = std::function<void(int64_t position)>;

/// What the bit step did.
struct BitFileResult {
    StageStatus status = StageStatus::done;
    int64_t bits = 0;    // bits written
    int64_t unknown = 0; // of which '?'
};

/// Classifies the war file into the bit file, handing every unknown bit to `report`.
/// `tolerance_divisor` must not be 0. When the step stops, no bit file is left.
BitFileResult make_bit_file(const std::string& war_name, const std::string& bit_name,
                            const PulseCalibration& calibration, int32_t tolerance_divisor,
                            const UnknownBitReport& report);

/// Writes the bit file from a record that followed the whole war step (`record.following`),
/// handing its unknown bits to `report` once the bit file is open: the same file, the same
/// reports and the same status as `make_bit_file` on that war file.
BitFileResult make_bit_file_from_record(const BitRecord& record, const std::string& bit_name,
                                        const UnknownBitReport& report);
