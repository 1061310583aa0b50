// Where each recovered program goes, and writing it there.
//
//   DIR/NAME.p      the P file; NAME is the saved name made safe (`file_stem`)
//   DIR/NAME-2.p    a different program of the same name found earlier in this run took
//                   NAME.p; a byte-identical one is not written again (the report says so)
//   DIR/NAME.bit    with --bits: the program's bits, name included, in zx81tape's bit-file
//                   format: '0', '1', '?' (a bit that nothing decided: no take heard it
//                   clearly and the structure did not settle it), 64 a line, CR LF between
//                   lines and none at the end
//
// A file that exists from before is never replaced without --force: when its bytes are
// those of the program it is simply kept, otherwise the program is not written and the
// report says why. A recording is never written over. Every file is written under a
// temporary name and renamed when complete.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "recover/recovered_program.h"

/// What happened to one program's files.
struct ProgramFilesResult {
    std::string p_file;   // the P file written, or kept because it was already the same
    std::string bit_file; // the bit file written (or kept), with --bits
    std::string same_as;  // a byte-identical program written earlier in this run
    std::string problem;  // why a file was not written; empty when all is well
};

/// The bit file's text for a program's bits.
std::string bit_file_text(const std::vector<ProgramBit>& bits);

/// The directory a program of `recording` goes in: `output_dir`, or the recording's own.
std::string output_directory(const std::string& output_dir, const std::string& recording);

/// Writes the programs of a run. Safe to use from several threads at once.
class ProgramFiles {
  public:
    /// `recordings`: every recording of the run, none of which is ever written over.
    ProgramFiles(bool force, bool bits, std::vector<std::string> recordings)
        : force_(force), bits_(bits), recordings_(std::move(recordings)) {}

    /// Writes `program` into `directory`.
    ProgramFilesResult write(const std::string& directory, const RecoveredProgram& program);

  private:
    bool is_recording(const std::string& name) const;
    std::string write_file(const std::string& name, const std::string& bytes) const;

    bool force_;
    bool bits_;
    std::vector<std::string> recordings_;
    std::mutex mutex_;
    std::map<std::string, std::vector<uint8_t>> written_; // P files of this run, by name
};
