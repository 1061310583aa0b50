// The steps of a zx81synth run: read the program, make the bytes that go on the tape, render
// their recording block by block into the output. Each returns what went wrong as a one-line
// message; the run prints it.
//
// The output is written under a temporary name beside OUTPUT and renamed when complete, so a
// failed or interrupted run leaves OUTPUT as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "synth/synth_settings.h"

/// Samples rendered and written at a time.
constexpr std::size_t synth_block_samples = 65536;

/// The largest program accepted: more than a ZX81's whole memory, so that a recording or some
/// other large file given by mistake is refused at once instead of becoming hours of sound.
constexpr std::size_t program_max = 65536;

/// Reads the whole of a program file. False, with a one-line `message`, when it cannot or
/// when it is larger than `program_max`.
bool read_program(const std::string& name, std::vector<uint8_t>& bytes, std::string& message);

/// The bytes that go on the tape: the name's codes, then the program. False, with a one-line
/// `message`, when the name (given or made from the file name) has no ZX81 form.
bool tape_bytes(const SynthSettings& settings, const std::vector<uint8_t>& program,
                std::vector<uint8_t>& bytes, std::string& message);

/// Renders and writes the recording. False, with a one-line `message`, when it could not be
/// written; OUTPUT is left as it was then.
bool write_recording(const SynthSettings& settings, const std::vector<uint8_t>& bytes,
                     std::string& message);
