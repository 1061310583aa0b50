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

#include <string>

#include "signal/normaliser.h"
#include "signal/calibration.h"

/// Converts the recording (a raw file or a sound file) into the war file block by block, measuring `calibration` on the
/// way. False after an error, which has been reported on the error stream; no war file is
/// left then.
bool make_war_file(const std::string& raw_name, const std::string& war_name,
                   const SignalOptions& options, PulseCalibration& calibration);
