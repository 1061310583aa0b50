// The ZX81 character set and its keyword tokens.
//
//   0x00-0x3F  characters: space, 10 block graphics, " £ $ : ? ( ) > < = + - * / ; , .,
//              digits 0-9 (0x1C-0x25), letters A-Z (0x26-0x3F)
//   0x40-0x42  the functions RND, INKEY$, PI
//   0x43-0x7F  no character; 0x76 is NEWLINE, 0x7E marks a number's hidden 5-byte form
//   0x80-0xBF  the characters of 0x00-0x3F in inverse video (0x80 is the full black square)
//   0xC0       the quote image "" (a quote inside a string)
//   0xC1-0xFF  keyword tokens, AT to COPY (0xC3 unused)
#pragma once

#include <cstdint>

constexpr uint8_t code_space = 0x00;
constexpr uint8_t code_quote = 0x0B;
constexpr uint8_t code_pound = 0x0C;
constexpr uint8_t code_dot = 0x1B;
constexpr uint8_t code_digit_0 = 0x1C;
constexpr uint8_t code_letter_a = 0x26;
constexpr uint8_t code_letter_e = 0x2A;
constexpr uint8_t code_newline = 0x76;
constexpr uint8_t code_number = 0x7E;
constexpr uint8_t code_inverse = 0x80;
constexpr uint8_t code_quote_image = 0xC0;
constexpr uint8_t code_rem = 0xEA;
constexpr uint8_t code_exp = 0xCE;
constexpr uint8_t code_to = 0xDF;

/// True for the printable characters 0x00-0x3F and their inverses 0x80-0xBF.
inline bool is_character(uint8_t code) {
    return (code & 0x7F) < 0x40;
}
inline bool is_digit_code(uint8_t code) {
    return code >= 0x1C && code <= 0x25;
}
/// True for letters, normal or inverse.
inline bool is_letter_code(uint8_t code) {
    return (code & 0x7F) >= 0x26 && (code & 0x7F) <= 0x3F;
}
/// True for the block graphics 0x01-0x0A, 0x80-0x8A.
inline bool is_block_graphic(uint8_t code) {
    return (code >= 0x01 && code <= 0x0A) || (code >= 0x80 && code <= 0x8A);
}

/// The text of a keyword token (0xC1-0xFF) or function code (0x40-0x42), e.g. "PRINT",
/// "STR$", "**", "<>"; nullptr for every other code, 0xC3 and the quote image included.
const char* keyword_text(uint8_t code);

/// The character a code 0x00-0x3F shows as plain ASCII (' ', '"', '$', ..., '0'-'9', 'A'-'Z');
/// 0 for the block graphics, the pound sign and every code outside 0x00-0x3F.
char ascii_of_code(uint8_t code);

/// The code of a plain ASCII character (the inverse of `ascii_of_code`), or -1 when the ZX81
/// has no such character. Lower-case letters are not mapped.
int code_of_ascii(char c);

/// The character a code stands for in a file name, by its low six bits alone: a digit or a
/// letter as itself (the letter in lower case), anything else as '_', so that a name made of
/// them can stand in any file system.
char file_name_char(uint8_t code);
