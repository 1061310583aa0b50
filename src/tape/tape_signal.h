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
#pragma once

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

/// Appends the recording of `bytes` (the name's codes followed by the program, as they go on
/// the tape) to `out`. `clock_us` is the time of the end of `out` and is advanced; start it at
/// 0 for a new recording.
void append_tape_bytes(const TapeSignal& signal, const std::vector<uint8_t>& bytes,
                       double& clock_us, std::vector<uint8_t>& out);

/// The complete recording of a program saved under the name given as ZX81 codes (the last one
/// marked with 0x80).
std::vector<uint8_t> tape_recording(const TapeSignal& signal, const std::vector<uint8_t>& name,
                                    const std::vector<uint8_t>& program);
