// What the recovery tests share: programs shaped like real ones, and the bursts a perfect
// demodulator would hear from their recording.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "demod/demodulator.h"
#include "recover/recovered_program.h"

/// A P file of exactly `size` bytes (at least 160) as a ZX81 saves it: consistent system
/// variables, a REM line of pseudo-random machine code, a PRINT line, a collapsed display,
/// the variables' end marker. The same seed gives the same bytes.
std::vector<uint8_t> shaped_program(std::size_t size, uint32_t seed = 1);

/// A P file of at least `size` bytes of BASIC lines with many numbers, strings and a display
/// (full or collapsed by the seed), as a ZX81 saves it: most of its bytes are held by the
/// structure. The same seed gives the same bytes.
std::vector<uint8_t> lined_program(std::size_t size, uint32_t seed = 1);

/// The ZX81 codes of a name in plain capitals and digits, the last marked with bit 7.
std::vector<uint8_t> name_codes(const std::string& text);

/// Bursts as heard from a clean recording: every bit certain, 300 us pulses, 1300 us pauses.
struct HeardTape {
    int rate = 22050;
    double speed = 1.0; // pulses and pauses shortened by this factor
    double clock = 0.0; // seconds: where the next burst starts
    std::vector<HeardBit> bits;

    /// The bursts of `bytes`, 8 bits a byte, most significant first.
    void bytes(const std::vector<uint8_t>& bytes);
    /// A program saved under `name`: its name's codes, then its bytes.
    void program(const std::string& name, const std::vector<uint8_t>& program);
    /// Silence.
    void silence(double seconds) { clock += seconds; }
    /// One uncertain burst of `pulses` pulses, such as a click or a stray pulse, followed by a
    /// pause.
    void burst(int pulses);
    /// The frame `seconds` into the recording.
    int64_t frame(double seconds) const;
};

/// Runs the rhythm and the finder over everything heard, split into blocks of `block` bursts.
std::vector<RecoveredProgram> find_programs(const HeardTape& tape,
                                            const std::vector<HeardNoise>& noise = {},
                                            std::size_t block = 1000);
