// The zmakebas notation: text that zmakebas (ZX81 mode, -p) turns back into the same codes.
//
// In program code every keyword is written with a space on each side, every other code by the
// per-code table (plain character, block or inverse escape, \{N}); spaces there are dropped
// by zmakebas, so a space code is \{0}. Besides the table, the text must keep clear of what
// zmakebas does to it:
//   - a run of letters that spells a keyword (also with a following $, and GO before TO) has
//     letters escaped, from the first, until no keyword is left;
//   - the pairs <> <= >= ** never touch by accident: a space goes between them;
//   - a digit (or . and a digit) after a non-alphanumeric character starts a number, and
//     zmakebas appends 0x7E and five bytes of its own. Where the file has exactly that, the
//     digits are written alone; where its five bytes differ, as text|value; where no marker
//     follows, the digit is escaped. A character after a number that would lengthen it is
//     escaped;
//   - EXP is \{206} (zmakebas mishandles the keyword text); \: and \. become \{142} and
//     \{155} before ' . : or a space; a pound ending the line is \{12}.
// Strings: the string column of the table, tokens as \{N}, " as \{11} (it cannot occur), inverse
// " as \{139}. REM text: the REM column, after "REM" and one space.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

/// The largest text line zmakebas reads (without its line feed).
constexpr std::size_t zmakebas_line_limit = 2029;

/// The codes of a line (NEWLINE included) beyond which zmakebas stops with "line too big";
/// its buffer holds 4096 bytes, the limit is set a little below with room for its bookkeeping.
constexpr std::size_t zmakebas_codes_limit = 4085;

/// The zmakebas text of one line, without the line number and without line feed.
std::string zmakebas_codes(const uint8_t* codes, std::size_t count);
