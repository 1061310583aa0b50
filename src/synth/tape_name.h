// The name a program is saved under, as it goes on the tape: 1 to 127 ZX81 character codes,
// the last one with its top bit (0x80) set.
//
//   "HELLO"  ->  0x2D 0x2A 0x31 0x31 0xB4      (0xB4 is 0x34, "O", marked as the last)
//
// Typed characters map to the ZX81's own: space " £ $ : ? ( ) > < = + - * / ; , . the digits
// and the letters (small letters as capitals; the ZX81 has none). The pound sign is read as
// UTF-8. Any other character has no ZX81 code and is refused.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr std::size_t tape_name_max = 127;

/// The ZX81 code of a typed character (a letter in either case), or -1 when it has none.
/// The pound sign is not a single byte and is handled by `tape_name_codes`.
int zx81_code(char c);

/// Turns `text` into the codes saved on the tape, the last one marked. False, with a one-line
/// `message`, when the text is empty, longer than 127 characters, or holds a character the
/// ZX81 lacks (the message names it).
bool tape_name_codes(const std::string& text, std::vector<uint8_t>& codes, std::string& message);

/// The default name of a program file: its base name without the directory and without the
/// last extension, upper-cased ("games/Hello.p" gives "HELLO").
std::string default_tape_name(const std::string& program_name);
