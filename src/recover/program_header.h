// The start of a program on tape: what the ZX81's loader reads before it knows how much is
// coming, and what makes a stretch of bits worth taking as a program.
//
//   name      1 to 127 codes, the last with bit 7 set (the first code with bit 7 ends it)
//   0x00      VERSN    0 on a ZX81
//   0x03      D_FILE   the display file: after the program lines (from 0x407D on)
//   0x07      VARS     the variables: after the display file's 25 NEWLINEs at least
//   0x0B      E_LINE   the end of the saved memory: the loader stops there
//
// A BASIC program has all four in order: 0x407D <= D_FILE, D_FILE + 25 <= VARS < E_LINE,
// with a display file of at most 793 bytes (25 NEWLINEs and 24 rows of 32). A small
// machine-code program for the 1K machine may load over the system variables on purpose; then
// only its E_LINE is known to matter (0x4016 to 0x4400: E_LINE itself is loaded, and it all
// fits in 1K), and the recording has to confirm it (`HeaderKind::overlay`).
#pragma once

#include <cstddef>
#include <cstdint>

/// The longest name a ZX81 saves.
constexpr std::size_t max_name_length = 127;

/// The bytes after the name that the header check needs: VERSN up to E_LINE's high byte.
constexpr std::size_t header_bytes_after_name = 13;

enum class HeaderKind : uint8_t {
    not_a_start, ///< no name, or system variables no program has
    need_more,   ///< the bytes end before the check could be made
    basic,       ///< a name and system variables in order, as in every BASIC program
    overlay,     ///< a name and a usable E_LINE only: a program that overlays its variables
};

struct ProgramHeader {
    HeaderKind kind = HeaderKind::not_a_start;
    std::size_t name_length = 0;   // codes in the name
    uint16_t e_line = 0;           // E_LINE as saved
    std::size_t program_bytes = 0; // E_LINE - 0x4009: the bytes after the name
};

/// Reads the name and system variables at the start of `bytes` (the bytes of the tape from a
/// possible start on).
ProgramHeader read_program_header(const uint8_t* bytes, std::size_t count);
