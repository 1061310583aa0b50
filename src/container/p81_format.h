// The .p81 file: programs as they were saved on tape, name and all, one after another.
//
//   offset        size              contents
//   0             n (1 to 127)      the saved name, ZX81 codes, only the last with bit 7 set
//   n             E_LINE - 0x4009   the P file (E_LINE is the word at offset n + 0x0B)
//   n + length    ...               the next program's name, and so on to the end of the file
//
// Nothing but the programs' own E_LINEs tells where one ends and the next begins, so one wrong
// length makes the rest of the file unreadable: the writer checks every program against its
// E_LINE first, and the reader takes bytes left over after a program as the start of another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "container/container_contents.h"

/// Reads every program of a .p81 file. An empty file holds no program.
ContainerContents read_p81(const uint8_t* data, std::size_t size);

/// The bytes of a .p81 file holding `programs` in order. False when a program is unfit (its
/// name, or its length against its E_LINE): `bad` is its index and `problem` says why, and
/// `out` is left empty.
bool write_p81(const std::vector<SavedProgram>& programs, std::vector<uint8_t>& out,
               std::size_t& bad, ProgramProblem& problem);
