// The readable notation: a program as the ZX81 shows it, in UTF-8.
//
//   keywords      spaced as the ZX81 lists them: statements and THEN, TO, STEP, OR, AND
//                 with a space on both sides, functions (AT ... NOT) with one after, RND,
//                 INKEY$, PI and the symbols ** <= >= <> with none
//   numbers       the digits only; the hidden 0x7E + 5 bytes are left out (in a REM the
//                 bytes are machine code and are all shown)
//   block graphics  Unicode blocks: ▘ ▝ ▀ ▖ ▌ ▞ ▛ ▒ 🮏 🮎 and the inverses █ ▟ ▙ ▄ ▜ ▐ ▚ ▗
//   🮐 🮑 🮒 inverse text  in square brackets, a run sharing one pair: [HELLO] others "" for
//   the quote image, £ for the pound sign, \{n} for codes with no text
#pragma once

#include <cstdint>
#include <string>

#include "program/p_file_model.h"

/// The readable text of a character code (0x00-0x3F, 0x80-0xBF) without brackets: an
/// inverse letter gives the letter. Empty for every other code.
std::string readable_character(uint8_t code);

/// One program line, without line feed: the number right-aligned in four columns, a space,
/// then the codes.
std::string readable_line(const PFileModel& model, const ProgramLine& line);

/// The characters at `offset`, `count` of them, in the readable notation (codes that are not
/// characters as \{n}), padded with spaces to `width` characters of screen.
std::string readable_characters(const std::vector<uint8_t>& bytes, std::size_t offset,
                                std::size_t count, std::size_t width);
