// The integrity check: everything in a P file's structure that a damaged tape would upset.
//
//   file length     E_LINE - 0x4009 (shorter: truncated; longer: trailing bytes)
//   pointers        0x407D <= D_FILE < VARS < E_LINE, all inside the file; DF_CC inside the
//                   display file; NXTLIN at a line or at D_FILE; VERSN 0
//   program lines   numbers 1..9999 ascending; length fields ending on the NEWLINE; every
//                   number marker 0x7E followed by 5 bytes before the NEWLINE; the lines
//                   ending exactly at D_FILE
//   display file    25 NEWLINEs, rows of at most 32 characters, ending where VARS starts
//   variables       the 0x80 end marker right before E_LINE
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "program/p_file_model.h"

struct Finding {
    std::size_t offset = 0; // file offset of the damage
    std::string message;    // what is wrong
};

/// Every finding in the file, ordered by offset; empty for a sound file.
std::vector<Finding> check_p_file(const PFileModel& model);

/// Why the file cannot be a ZX81 program at all, or empty when it may be one (sound or
/// damaged): it is too short to hold the system variables, or its E_LINE, which sets the
/// program's length, points outside it. A sound file, a text file or an empty file fails here.
/// The integrity check above says what is damaged in a file that passes.
std::string not_a_program_reason(const PFileModel& model);
