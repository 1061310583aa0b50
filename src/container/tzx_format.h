// The TZX tape image (.tzx) with ZX81 programs. Numbers are little-endian; pulse lengths are in
// T-states of a 3.5 MHz clock.
//
//   header   "ZXTape!" 0x1A, major version 1, minor version 20 (10 bytes)
//   blocks   each an ID byte, then the block; blocks defined after version 1.10 start with a
//            4-byte length, so that a reader can skip what it does not know
//
// A ZX81 program is one generalized data block (ID 0x19), laid out as ZX81 writers produce it
// (offsets after the ID):
//
//   0x00  4   block length, not counting these 4 bytes             88 + N
//   0x04  2   pause after the block, ms (0: stop the tape)          5000 written
//   0x06  4   pilot/sync symbols; 0x0A 1: pulses each; 0x0B 1: alphabet    0, 0, 0
//   0x0C  4   data symbols                                          8 x N
//   0x10  1   most pulses per data symbol                           18
//   0x11  1   data alphabet size                                    2
//   0x12  37  symbol 0: flag 0x03 (start high), 18 pulse lengths:
//             530 520 530 520 530 520 530 4689, then ten 0 (a symbol ends at its first 0)
//   0x37  37  symbol 1: flag 0x03, (530 520) x 8, 530, 4689
//   0x5C  N   the tape's bytes, the name and then the P file, one bit a symbol, most
//             significant bit first
//
// so that a file of one program is 103 + N bytes. The reader takes any 0x19 block whose two
// data symbols are 4 and 9 bursts of pulses (7 or 8 pulses, 17 or 18: the gap after a bit may
// be the last pulse or not), whatever their lengths and in either order, with whole bytes of
// data; pilot and sync symbols are skipped.
//
// Older files use a draft of block 0x19 from before version 1.20, whose header differs. What
// the draft shares with 1.20 is what any such block needs: the length after the ID (every block
// defined after 1.10 has it), a pause word, a count of the data symbols in the header, and the
// data last, the tape's bytes one bit a symbol. So a 0x19 block whose fields do not add up to
// its length under the 1.20 layout is read as a draft when a 32-bit number in its first 1024
// bytes after the pause word declares N tape bytes (as 8 x N symbols, or as N) and the block's
// last N bytes are exactly a saved name and a P file (VERSN 0) whose E_LINE ends at the end of
// the block. A note says that a block was read so.
//
// Other blocks are skipped: text, archive information, hardware type, pauses, groups and glue
// quietly; every other block (another machine's data, loops and jumps, unknown IDs) with a
// note.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "container/container_contents.h"

constexpr std::size_t tzx_header_size = 10;
constexpr uint8_t tzx_major = 1;
constexpr uint8_t tzx_minor = 20;
constexpr uint8_t tzx_generalized_data = 0x19;
constexpr uint16_t tzx_default_pause_ms = 5000;

/// True when `data` starts with the TZX signature "ZXTape!" 0x1A.
bool has_tzx_signature(const uint8_t* data, std::size_t size);

/// Reads every ZX81 program of a TZX file.
ContainerContents read_tzx(const uint8_t* data, std::size_t size);

/// The bytes of a TZX file holding `programs` in order, each in a 0x19 block followed by a
/// pause of `pause_ms`. False when a program is unfit (see `write_p81`).
bool write_tzx(const std::vector<SavedProgram>& programs, uint16_t pause_ms,
               std::vector<uint8_t>& out, std::size_t& bad, ProgramProblem& problem);
