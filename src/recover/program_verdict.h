// The verdict on a program. The ZX81 saves no checksum, so the bits themselves are the check:
//
//   intact    every bit certain (a clean burst of exactly 4 or 9 pulses, in rhythm), nothing
//             lost, nothing stray, the data reached E_LINE, and what followed confirms it
//   damaged   anything else; every finding says where (frame, byte offset) and what
//
// The P-file structure check runs on every program. Its findings are damage on a damaged
// program, where they help to find the bytes that went wrong, and notes on a program whose
// bits are all certain: small machine-code programs break the usual layout on purpose.
#pragma once

#include "recover/recovered_program.h"

/// Adds a finding for every byte with unclear bits and the structure check's findings to
/// those already in `program` (lost bits, strays, an early end), orders them, and sets the
/// verdict. `program.bits`, `name` and `bytes` must be filled.
void judge_program(RecoveredProgram& program);

/// Places a finding at byte `tape_byte` of the tape (the name's first byte is 0): a P-file
/// offset, or a character of the name.
void place_finding(RecoveryFinding& finding, std::size_t tape_byte, std::size_t name_length);

/// Places a decision at byte `tape_byte` of the tape, as `place_finding` places a finding.
void place_decision(Decision& decision, std::size_t tape_byte, std::size_t name_length);

/// The bytes of `bits`, 8 to a byte, most significant first; bits short of a whole byte at
/// the end are left out.
std::vector<uint8_t> bytes_of_bits(const std::vector<ProgramBit>& bits);
