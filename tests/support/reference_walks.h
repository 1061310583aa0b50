// The converter's walks written the plain way, one sample or one character at a time, for
// the tests that hold the fast versions to them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "signal/calibration.h"

/// Every sample becomes on (0xF0) when its level reaches `threshold`, otherwise off.
std::vector<uint8_t> threshold_reference(std::vector<uint8_t> block, int32_t threshold);

/// The gap fill: an off run closed by an on sample at index i is filled when it is shorter
/// than nfill / 4 and i is greater than nfill / 4.
void fill_gaps_reference(std::vector<uint8_t>& block, int32_t longest_pause);

/// The classifier over a whole war file: one character per bit, and the sample index of
/// every unknown bit in `unknown`.
std::string classify_reference(const std::vector<uint8_t>& war, const PulseCalibration& cal,
                               int32_t tolerance_divisor, std::vector<int64_t>& unknown);

/// The bits of the bytes, first bit most significant, as '0' and '1'.
std::string bits_of(const std::vector<uint8_t>& bytes);

/// Bit characters laid out as a bit file: 64 a line, CR LF between lines.
std::string bit_file_text(const std::string& bits);
