// The bits of a recording classified while the war step still holds each block in memory, so
// that the bit file can be written without reading the war file back.
//
// The war step hands every normalised block to `record_block`; the bit step then writes the
// bit file from the record (`make_bit_file_from_record`) exactly as classifying the war file
// would have written it, every unknown bit reported in its place. The record keeps two bits of
// memory per bit and the positions of the unknown bits, both with a limit: a recording whose
// bits would pass it, or whose bit lengths are not known after its first block, gives up the
// record, and the bit step classifies the war file as usual.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bits/classifier.h"

/// The most bits and unknown bits a record keeps (1 MiB of packed bits, 512 KiB of positions).
constexpr int64_t record_max_bits = int64_t{4} << 20;
constexpr std::size_t record_max_unknown = std::size_t{1} << 16;

struct BitRecord {
    int32_t tolerance_divisor = 3; // as the bit step will classify (never 0)
    bool following = true;         // false once the record gave up
    bool started = false;          // the first block has been classified
    BitClassifier classifier;      // set up from the calibration after the first block
    std::vector<uint8_t> packed;   // four bits a byte, first in the low two bits: 0, 1, 3 for '?'
    int64_t bits = 0;
    std::vector<int64_t> unknown;  // war-file positions of the unknown bits
};

/// Classifies one normalised block of the war step. `calibration` is the calibration after
/// the block; the record gives up when it is not complete after the first block, or at a limit.
void record_block(BitRecord& record, const uint8_t* block, std::size_t size,
                  const PulseCalibration& calibration);

/// The war file's end marker, which closes the last bit: call once after the last block.
void record_end(BitRecord& record);

/// Appends the bit-file text of the record's bits [first, first + count) to `out`: `first` is a
/// multiple of 64 and the line break before each later line of 64 included.
void recorded_text(const BitRecord& record, int64_t first, int64_t count, std::string& out);
