// The name a program is saved under, as it goes on the tape: 1 to 127 ZX81 character codes,
// the last one with its top bit (0x80) set.
//
//   "HELLO"  ->  0x2D 0x2A 0x31 0x31 0xB4      (0xB4 is 0x34, "O", marked as the last)
//
// Typed characters map to the ZX81's own (program/zx81_charset.h): space " £ $ : ? ( ) > < =
// + - * / ; , . the digits and the letters (small letters as capitals; the ZX81 has none).
// The pound sign is read as UTF-8. Any other character has no ZX81 code and is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr std::size_t tape_name_max = 127;

/// Why a text cannot be a saved name.
enum class TapeNameProblem {
    none,
    empty,
    too_long,          ///< more than `tape_name_max` characters
    missing_character, ///< a character the ZX81 lacks
};

/// Turns `text` into the codes saved on the tape, the last one marked. On a problem `codes` is
/// empty and, for a missing character, `missing` holds its bytes (a whole UTF-8 character, or
/// the one byte that starts no character).
TapeNameProblem tape_name_codes(const std::string& text, std::vector<uint8_t>& codes,
                                std::string& missing);

/// The default name of a program file: its base name without the directory and without the
/// last extension, upper-cased ("games/Hello.p" gives "HELLO").
std::string default_tape_name(const std::string& program_name);
