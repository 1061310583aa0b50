// A whole recording into programs: the stage that reads the file.
//
//   sound file or raw bytes -> frames (full resolution) -> one or more channels
//     -> per channel: demodulator -> rhythm -> program finder   (a thread per channel)
//     -> the better channel per program -> the caller, program by program
//
// The file is read a block at a time and every program is handed on as soon as it is decided,
// so memory does not grow with the length of the recording. A raw file's rate is measured from
// its pulses (`RateProbe`) unless the caller gives it; the probe reads the start of the file,
// which is then read again from the beginning (a pipe's start is kept in memory instead, up to
// 4 Mi samples).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "recover/recovered_program.h"

/// Which channels of a recording are decoded.
enum class ChannelMode : uint8_t {
    automatic, ///< each channel on its own; per program the better one
    left,      ///< the first channel only
    right,     ///< the second channel only (the first in a mono recording)
    mix,       ///< the channels averaged
};

struct DecodeOptions {
    ChannelMode channels = ChannelMode::automatic;
    int raw_rate = 0; // frames per second of a raw recording; 0: measure it
};

enum class DecodeStatus : uint8_t {
    ok,
    unreadable,  ///< cannot be opened, or a sound file that cannot be decoded
    no_memory,   ///< the buffers could not be allocated
    read_failed, ///< reading or decoding failed part-way (what came before is handed on)
    bad_rate,    ///< a sound file's rate is outside 8000 to 384000 Hz
};

/// The rates a recording may have.
constexpr int lowest_rate = 8000;
constexpr int highest_rate = 384000;

struct RecordingInfo {
    DecodeStatus status = DecodeStatus::ok;
    bool raw = false;             // headerless 8-bit samples
    int rate = 0;                 // frames per second
    bool rate_measured = false;   // a raw recording's rate, measured from its pulses
    bool rate_unknown = false;    // measured, but no pulses were found: a default was used
    int channels = 1;             // channels in the file
    int64_t frames = 0;           // frames read
    int64_t frames_expected = -1; // frames the file holds, when known beforehand
};

/// What a decoding hands on while it runs. Each function may be empty; all are called from
/// the thread that called `decode_recording`.
struct DecodeSink {
    std::function<void(const RecordingInfo&)> started; // once the rate is known
    std::function<void(RecoveredProgram&&)> program;   // each program or block, in order
    std::function<void(int64_t frames, int64_t expected)> progress; // after each block
};

/// The rate assumed for a raw recording in which no pulses could be measured.
constexpr int fallback_raw_rate = 22050;

/// Decodes the recording `name` and hands on what it finds.
RecordingInfo decode_recording(const std::string& name, const DecodeOptions& options,
                               const DecodeSink& sink);
