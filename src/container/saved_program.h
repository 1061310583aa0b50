// A program as a container keeps it: the name it was saved under and its P file.
//
// On the tape a program is its name followed by the ZX81's memory from 0x4009 up to E_LINE - 1:
//
//   name      1 to 127 ZX81 codes, only the last with bit 7 set ("HELLO": 2D 2A 31 31 B4)
//   P file    E_LINE - 0x4009 bytes; E_LINE is the word at offset 0x0B of the P file
//
// The loader stops at E_LINE, so a program's own E_LINE tells where it ends, and bytes after it
// belong to something else. The smallest P file that holds its own E_LINE is 13 bytes long.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "program/saved_name_text.h"

struct SavedProgram {
    std::vector<uint8_t> name;  // the saved name as ZX81 codes, the last one marked; empty
                                // when the container keeps no name (a P file)
    std::vector<uint8_t> bytes; // the P file: the memory from 0x4009 up to E_LINE - 1
    std::size_t offset = 0;     // where the program starts in the container it was read from
};

constexpr std::size_t e_line_field = 0x0B;           // E_LINE's offset in a P file
constexpr std::size_t p_file_min = e_line_field + 2; // a P file that holds its E_LINE
constexpr std::size_t p_file_max = 0x10000 - 0x4009; // E_LINE 0xFFFF at most

/// What makes a name unfit for a tape.
enum class NameProblem {
    none,
    empty,       ///< no codes at all
    too_long,    ///< more than 127 codes
    unmarked,    ///< the last code lacks bit 7
    marked_early ///< a code before the last has bit 7 set: the name would end there
};

/// Checks the codes of a saved name.
NameProblem check_saved_name(const std::vector<uint8_t>& name);

/// The length of the saved name that starts at `data` (`size` bytes available): the codes up to
/// and including the first with bit 7 set. 0 when no such code comes within 127 bytes or
/// before the end; `cut_short` then tells which (true: the data ended first).
std::size_t saved_name_length(const uint8_t* data, std::size_t size, bool& cut_short);

/// The P file's length that its E_LINE gives, E_LINE - 0x4009, read from the P file that starts
/// at `data`, which must hold at least `p_file_min` bytes. Below `p_file_min` when E_LINE is too
/// low for the file to hold it (then the value is meaningless as a length).
int p_file_length(const uint8_t* data);

/// The E_LINE word of the P file that starts at `data` (at least `p_file_min` bytes).
unsigned e_line_of(const uint8_t* data);

/// What makes a program unfit for a container.
enum class ProgramProblem {
    none,
    name,         ///< the name is unfit (see `check_saved_name`)
    too_short,    ///< fewer than 13 bytes: no E_LINE
    e_line_low,   ///< E_LINE lies below the end of its own field
    wrong_length, ///< the length differs from E_LINE - 0x4009
};

/// Checks a program before it is written: its length against its own E_LINE, and its name
/// when `named` (a container that keeps names).
ProgramProblem check_saved_program(const SavedProgram& program, bool named);

/// Checks every program before they are written together: `none`, or the problem of the first
/// that has one, with its index in `bad`.
ProgramProblem check_saved_programs(const std::vector<SavedProgram>& programs, bool named,
                                    std::size_t& bad);

/// One line saying what is wrong with `program` (no file name, no program number).
std::string program_problem_text(ProgramProblem problem, const SavedProgram& program);
