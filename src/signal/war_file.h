// The war file: the recording reduced to on and off.
//
//   offset 0 .. N-1   one byte per raw sample (per frame of a sound file, see
//                     sound/sample_source.h): 0x00 off (pause), 0xF0 on (signal)
//   offset N          0xFF, the end marker; readers take any non-zero byte as on, so it acts
//                     as one last on sample that closes the final bit
//
// N is the number of raw samples, so the war file of a raw input is always one byte longer
// than the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "io/stage.h"
#include "signal/normaliser.h"

/// Receives the measurement of each block as soon as the block is normalised.
using BlockReport = std::function<void(const BlockMeasurement& measured)>;

/// Receives each block as it goes into the war file, while it is still in memory.
using NormalisedBlock = std::function<void(const uint8_t* block, std::size_t size)>;

/// Converts the recording (a raw file or a sound file) into the war file block by block,
/// measuring `calibration` on the way and handing every block's measurement to `report` and,
/// when given, the block itself to `observe`. When the step stops, no war file is left.
StageStatus make_war_file(const std::string& raw_name, const std::string& war_name,
                          const SignalOptions& options, PulseCalibration& calibration,
                          const BlockReport& report, const NormalisedBlock& observe = {});
