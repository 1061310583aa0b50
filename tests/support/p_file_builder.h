// Builds a ZX81 P file from BASIC lines, as a ZX81 would have saved it.
//
//   0x4009  system variables (116 bytes), consistent with what follows
//   0x407D  program lines: number (2 bytes, big-endian), length (2 bytes, little-endian,
//           counting the codes and the NEWLINE), codes, NEWLINE
//   D_FILE  display file: NEWLINE, then 24 rows each ending in NEWLINE; collapsed (a row
//           holds only what was printed on it) or full (every row 32 characters)
//   VARS    variables, then the 0x80 end marker
//   E_LINE  the end of the file: length = E_LINE - 0x4009
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct BasicLine {
    int number = 10;            // line number, stored big-endian (1..9999 on a ZX81)
    std::vector<uint8_t> codes; // the line's codes without the final NEWLINE
};

struct BuildOptions {
    bool full_display = false;                // 24 rows of 32 characters, else collapsed
    std::vector<std::vector<uint8_t>> screen; // character codes of the first rows on screen
    std::vector<uint8_t> variables;           // the variables area without its 0x80 marker
    int autostart = -1;                       // line to run after loading; -1 none
    uint8_t margin = 55;                      // MARGIN: 55 on a PAL machine, 31 on NTSC
};

/// A line from text in the notation of `encode_basic_text` ("PRINT \"HELLO\"", "GOTO 10").
/// Throws std::invalid_argument when the text cannot be encoded: meant for fixed texts in
/// tests and examples.
BasicLine text_line(int number, const std::string& text);

/// A REM line whose text is `bytes` as they are (machine code, any codes).
BasicLine rem_line(int number, const std::vector<uint8_t>& bytes);

/// The P file of `lines`, in the order given. Screen rows beyond 24 and characters beyond 32
/// in a row are dropped.
std::vector<uint8_t> build_p_file(const std::vector<BasicLine>& lines,
                                  const BuildOptions& options = {});
