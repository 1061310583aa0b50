// The P file (.p, and .81, which is the same format): one program, no name.
//
//   offset   size               contents
//   0x0000   E_LINE - 0x4009    the ZX81's memory from 0x4009 up to E_LINE - 1
//                               (E_LINE is the word at offset 0x000B)
//
// A clean file ends with the variables' end marker 0x80, at E_LINE - 1. Files found in the wild
// often carry bytes after E_LINE: the reader leaves them out with a note, and the writer never
// adds any.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "container/container_contents.h"

/// Reads the program of a P file.
ContainerContents read_p(const uint8_t* data, std::size_t size);

/// The bytes of a P file holding `program` (its name is not kept). False, with `problem`
/// set, when the program's length disagrees with its E_LINE.
bool write_p(const SavedProgram& program, std::vector<uint8_t>& out, ProgramProblem& problem);
