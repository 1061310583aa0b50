// BASIC lines written as text, turned into the codes a ZX81 stores.
//
// The text reads as a ZX81 listing does:
//   - keywords in upper case become their tokens where no letter touches them ("PRINT",
//     "GOTO", "STR$", "**", "<>"; also RND, INKEY$ and PI);
//   - outside strings spaces only separate and are dropped;
//   - a number (a digit, or '.' and a digit, not following a letter or digit) keeps its digits
//     and gains the 0x7E marker and its five-byte form;
//   - "..." is a string: characters as they are, "" inside it is the quote image;
//   - after REM (and one space) the rest of the line is characters, spaces included;
//   - lower-case letters are inverse letters, "£" is the pound sign, and \{N} (decimal) is the
//     code N as it is, anywhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// Appends the codes of one line's text (no line number, no NEWLINE) to `codes`. False when
/// the text holds a character the ZX81 lacks, a bad \{N} or a number out of range; `error`
/// then says which and where.
bool encode_basic_text(const std::string& text, std::vector<uint8_t>& codes, std::string& error);
