// The sound of a ZX81 saving a program.
//
// After the leading silence come the bytes of the saved name and then the bytes of the
// program, each byte 8 bits, most significant first, with no start or stop bits. A bit is a
// burst of pulses and a pause:
//
//     0 bit:  4 pulses  _|~|_|~|_|~|_|~|________________      about 2.5 ms
//     1 bit:  9 pulses  _|~|_|~| ... (9) ... |~|________      about 4.0 ms
//              each pulse 150 us high, 150 us low; then 1300 us of silence
//
// Samples are unsigned 8-bit, silence at 128; the high half of a pulse is 128 + amplitude and
// the low half 128 - amplitude. Every edge falls on the sample nearest its exact time, so the
// lengths stay right on average at any sample rate.
//
// `TapeWalker` gives the recording as a stream of segments (half pulses and pauses, each of one
// level, with their exact times), so that a long recording can be rendered in blocks and with
// any pulse shape; `tape_recording` renders it whole, with square pulses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr double pulse_high_us = 150.0;
constexpr double pulse_low_us = 150.0;
constexpr double bit_pause_us = 1300.0;
constexpr int zero_bit_pulses = 4;
constexpr int one_bit_pulses = 9;

struct TapeSignal {
    int rate = 22050;          // samples per second
    int amplitude = 100;       // peak distance from silence, 1 to 127
    double lead_ms = 0.0;      // silence before the first bit
    double trail_ms = 0.0;     // silence after the last bit's pause
};

/// The level of a stretch of a recording.
enum class TapeLevel : int8_t { low = -1, silent = 0, high = 1 };

/// One stretch of constant level: the lead, half a pulse, the pause after a bit, the trail.
struct TapeSegment {
    double start_us = 0.0;                 // its start, from the start of the recording
    double end_us = 0.0;                   // its end: the next segment's start
    TapeLevel level = TapeLevel::silent;
};

/// Where the walk over a recording stands.
struct TapeWalker {
    const std::vector<uint8_t>* bytes = nullptr; // the name's codes followed by the program
    double lead_ms = 0.0;
    double trail_ms = 0.0;
    double clock_us = 0.0;     // the end of the last segment given
    int part = 0;              // 0 lead, 1 bytes, 2 trail, 3 done
    std::size_t byte = 0;      // the byte being sent
    int bit = 7;               // its bit being sent, most significant first
    int half = 0;              // half pulses of that bit already given; then the pause
};

/// A walker at the start of the recording of `bytes`, which must outlive it.
TapeWalker make_tape_walker(const std::vector<uint8_t>& bytes, double lead_ms, double trail_ms);

/// Gives the next segment and returns true, or returns false after the last one (the trail,
/// given even when it lasts 0 ms).
bool next_tape_segment(TapeWalker& walker, TapeSegment& segment);

/// The length of the recording of `bytes` in microseconds, lead and trail included.
double tape_duration_us(const std::vector<uint8_t>& bytes, double lead_ms, double trail_ms);

/// The complete recording of a program saved under the name given as ZX81 codes (the last one
/// marked with 0x80), square pulses of `signal.amplitude`, in memory: the walker's segments,
/// each held up to the sample nearest its end.
std::vector<uint8_t> tape_recording(const TapeSignal& signal, const std::vector<uint8_t>& name,
                                    const std::vector<uint8_t>& program);
