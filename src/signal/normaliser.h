// From raw samples to on/off samples.
//
// A raw sample is unsigned 8-bit, silence near 128. Its level is its distance from the middle,
// doubled: 2v - 256 above the middle, 254 - 2v below it (0 and 255 give 254, 127 and 128 give
// 0). A sample whose level reaches the threshold is on (0xF0), any other is off (0x00):
//
//   raw   128 200  60 190  70 128 128 128 128 128 200  55 ...
//   war   00  F0  F0  F0  F0  00  00  00  00  00  F0  F0 ...
//
// The wave of a burst crosses the middle, so a burst still holds short off stretches after the
// threshold; the gap fill closes every off stretch shorter than a quarter of `nfill`, the
// longest pause measured between two bits, so that each bit becomes one burst and one pause.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/settings.h"
#include "signal/calibration.h"

constexpr uint8_t sample_on = 0xF0;
constexpr uint8_t sample_off = 0x00;
constexpr uint8_t war_end_marker = 0xFF;
constexpr uint32_t block_samples = 2000000;

/// The level of a raw sample: 0 at the middle of the scale, 254 at either end.
inline int32_t sample_level(uint8_t v) { return v >= 128 ? 2 * v - 256 : 254 - 2 * v; }

/// Replaces every sample by 0xF0 when its level is at least `threshold`, otherwise by 0x00.
/// An empty block (`size` 0) is left alone; `block` may then be null.
void threshold_block(uint8_t* block, std::size_t size, int32_t threshold);

/// The longest off run in the measurement window that an on sample inside the window closes
/// (counted from the window's start when it began before it); 0 when there is none.
int32_t measure_nfill(const uint8_t* block, uint32_t bread);

/// Turns to on every off run that an on sample at index i closes, when the run is shorter than
/// `nfill` / 4 and i is greater than `nfill` / 4. Runs at the block's start and end stay.
void fill_gaps(uint8_t* block, std::size_t size, int32_t nfill);

/// Thresholds and gap-fills one block in place, measuring `nfill` while it is still 0 and
/// calibrating the bit lengths while one of them is still 0. The lines the measurements write
/// (the verbose line, the two calibration lines) are appended to `report`.
void normalise_block(uint8_t* block, uint32_t bread, const RunSettings& settings,
                     PulseCalibration& calibration, std::string& report);
