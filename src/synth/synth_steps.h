// The steps of a zx81synth run: read PROGRAM, make the bytes each of its programs puts on the
// tape, render their recording block by block into the output. Each says what went wrong in a
// one-line message; the run prints it.
//
// A recording of several programs (from a .p81 or .tzx file) is each program's recording as a
// run on that program alone makes it, lead and trail included, one after another with the
// silence of `--gap` between two: the gap is rendered as a recording of no bytes, so it keeps
// the offset, hum and noise of the rest.
//
//   | lead | program 1 | trail | gap | lead | program 2 | trail | gap | ... |
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

/// The largest bare P file accepted: more than a ZX81's whole memory, so that a recording or
/// some other large file given by mistake is refused at once instead of becoming hours of
/// sound. A .p81 or .tzx file may hold many programs; it is read up to `container_file_max`.
constexpr std::size_t program_max = 65536;

/// How a step ended.
enum class SynthStep {
    done,
    failed,    ///< a file that cannot be read or written, or a program that cannot be recorded
    bad_usage, ///< the options ask for something the files do not allow (a name, --name)
};

/// Reads the whole of PROGRAM: up to `program_max` bytes, or up to `container_file_max` when
/// its start says that it may be a .p81 or .tzx file. False, with a one-line `message`, when it
/// cannot, or when it is larger.
bool read_program(const std::string& name, std::vector<uint8_t>& bytes, std::string& message);

/// The programs PROGRAM holds, as they go on the tape.
struct TapePrograms {
    std::vector<std::vector<uint8_t>> tapes; // per program: its saved name's codes, then itself
    std::vector<std::string> notes;          // "offset 0x...: ..." for what else the file holds
};

/// What `file` (the bytes of PROGRAM) puts on the tape: a bare P file, as plain bytes, under
/// `--name` or the name its file name suggests; every program of a .p81 or .tzx file under its
/// own saved name. `failed` for a bare P file larger than `program_max` and for a container
/// that is damaged or holds no program; `bad_usage` for a name the ZX81 cannot save and for
/// `--name` with a container.
SynthStep tape_programs(const SynthSettings& settings, const std::vector<uint8_t>& file,
                        TapePrograms& programs, std::string& message);

/// Renders and writes the recording of `tapes`. False, with a one-line `message`, when it
/// could not be written; OUTPUT is left as it was then.
bool write_recording(const SynthSettings& settings, const std::vector<std::vector<uint8_t>>& tapes,
                     std::string& message);
