// Repair from structure: the bits no take heard clearly, decided where the layout every saved
// BASIC program has allows only one reading.
//
//   0x4009  VERSN 0; D_FILE, DF_CC, VARS and E_LINE pointing into the file in their order:
//           0x407D <= D_FILE < DF_CC < VARS < E_LINE = 0x4009 + the program's length
//   0x407D  lines up to D_FILE: a number below 10000 (big-endian), a length (little-endian),
//           codes, and the NEWLINE (0x76) exactly where the length says; outside strings and
//           REM text, a number is its digits, 0x7E and five bytes before the NEWLINE, and
//           those five bytes hold the value of the digits
//   D_FILE  the display file: a NEWLINE, then 24 rows of at most 32 characters, each ending
//           in a NEWLINE (an expanded one: 24 rows of 32), up to VARS
//   VARS    the variables, ending in 0x80 at E_LINE - 1
//   name    its last character alone has bit 7 set
//
// Nothing else is assumed: REM text, strings, the variables and the characters on the screen
// may hold anything, so a bit there is never decided from the structure; nor are the lowest
// bits of a number's five bytes, which the ZX81's own arithmetic may round differently.
//
// The bits that may be wrong (open) form sites: runs of open bits. A site is read every way
// it can be: each open bit as 0 or 1, and a site with lost bits also one bit shorter or longer
// (the gap's bits miscounted; the bits after it move, and the end of the program with them).
// Every combination of the sites' readings is tried on the whole program, up to a few
// thousand; a site is decided only when every combination that fits the structure reads it
// the same way. When none fits, or more combinations than that would be needed, nothing is
// decided.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "recover/recovered_program.h"

/// Where a P file first breaks the structure above, if it does.
struct StructureBreak {
    bool broken = false;
    std::size_t offset = 0; // the byte where it shows
    std::string reason;     // in plain words (only when asked for)
};

/// Checks `bytes` (a P file, E_LINE - 0x4009 bytes long) against the structure above.
StructureBreak find_structure_break(const std::vector<uint8_t>& bytes, bool explain = true);

/// What a repair from structure decided.
struct RepairOutcome {
    std::size_t sites = 0;  // sites decided
    int64_t bits_added = 0; // bits the decided sites added (negative: took away)
};

/// Decides what the structure can of the bits of `program` marked in `open` (one entry per
/// bit; bits that are not certain must be open). A decided bit becomes certain, a decided site
/// may change the number of bits, and `name`, `bytes` and `decisions` follow.
RepairOutcome repair_from_structure(RecoveredProgram& program, const std::vector<uint8_t>& open);
